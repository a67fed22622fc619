#pragma once
// The key of a strong post: 32 random bytes that a user gives to friends in
// person. Its text form, "QLK1:" + base64url without padding of K ‖ C, where
// C is the first 4 bytes of BLAKE2b-256("QLK1" ‖ K), is what travels on paper,
// in a QR code or in a chat; the checksum catches a mistyped or cut key.
//
// Pure computation on libsodium: no files, so it builds for the web page too.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velotan::strong {

inline constexpr size_t kKeyBytes = 32;
inline constexpr size_t kKeyChecksumBytes = 4;
inline constexpr std::string_view kKeyTextPrefix = "QLK1:";
// "QLK1:" and 48 characters of base64url (36 bytes).
inline constexpr size_t kKeyTextLength = 5 + 48;

struct StrongKey {
    std::array<unsigned char, kKeyBytes> bytes{};
    bool operator==(const StrongKey&) const = default;
};

// False when libsodium cannot start (no random source); nothing here works
// then. Every function below calls it itself.
bool StrongReady();

// 32 bytes from randombytes_buf.
StrongKey NewStrongKey();

// "QLK1:" + base64url-nopad(K ‖ C).
std::string KeyText(const StrongKey& key);

enum class KeyTextError {
    None,              // the text is a key
    Empty,             // nothing but blanks
    WrongPrefix,       // does not start with "QLK1:" (or names a newer key form)
    BadCharacters,     // a character that base64url does not have
    WrongLength,       // cut or too long
    ChecksumMismatch,  // a character changed
};

struct ParsedKey {
    std::optional<StrongKey> key;  // set exactly when error is None
    KeyTextError error = KeyTextError::None;
};

// Reads a key text. Blanks and line breaks around it, and inside it where a
// chat program wrapped it (spaces, U+3000, NBSP, zero-width characters), are
// ignored.
ParsedKey ParseKeyText(std::string_view text);

// Chinese, naming the reason, for the windows and velotan-cli.
std::string KeyTextErrorMessage(KeyTextError error);

}  // namespace velotan::strong
