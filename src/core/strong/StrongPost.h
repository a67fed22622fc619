#pragma once
// Strong posts: "心情：QL2:" + base64url-nopad(nonce ‖ commit ‖ ciphertext ‖ tag),
// XChaCha20-Poly1305-IETF under a key derived from the user's StrongKey, with
// a key commitment so that at most one key opens a post. docs/strong-posts.md
// describes the format in full, with test vectors.
//
// Pure computation on libsodium: no files, so it builds for the web page too.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "strong/StrongKey.h"

namespace velotan::strong {

// The longest mood, in UTF-8 bytes: 32,766 characters of three bytes each,
// as many as the editor and the compatible cipher take.
inline constexpr size_t kMaxStrongMoodChars = 32766;
inline constexpr size_t kMaxStrongMoodBytes = 3 * kMaxStrongMoodChars;
// The mood is padded to a multiple of this many bytes, so a post shows its
// length only to within it.
inline constexpr size_t kPadBlock = 32;
inline constexpr size_t kNonceBytes = 24;
inline constexpr size_t kCommitBytes = 32;
inline constexpr size_t kTagBytes = 16;
// nonce + commit + tag: a payload is this plus a multiple of kPadBlock.
inline constexpr size_t kPayloadOverhead = kNonceBytes + kCommitBytes + kTagBytes;
// The padded mood of kMaxStrongMoodBytes, and the payload that carries it.
inline constexpr size_t kMaxPaddedBytes = (kMaxStrongMoodBytes / kPadBlock + 1) * kPadBlock;
inline constexpr size_t kMaxPayloadBytes = kPayloadOverhead + kMaxPaddedBytes;

inline constexpr std::string_view kPostPrefix = "心情：QL2:";

// The post for `moodUtf8` (the editor's text, CR LF as it is), with a fresh
// random nonce. nullopt when the mood is longer than kMaxStrongMoodBytes or
// is not valid UTF-8.
std::optional<std::string> SealPost(const StrongKey& key, std::string_view moodUtf8);

// The same with a given nonce: for the test vectors only. A nonce must never
// be used twice with one key.
std::optional<std::string> SealPostWithNonce(const StrongKey& key, std::string_view moodUtf8,
                                             std::span<const unsigned char, kNonceBytes> nonce);

// True when the text holds a strong post marker of any version: "心情", a
// colon (half- or full-width, blanks allowed around it), "QL" and a version
// number, and a colon again. Legacy posts never have one.
bool HoldsStrongPost(std::string_view text);

enum class OpenStatus {
    Opened,        // one key opened it; mood and keyIndex are set
    NoPost,        // no strong post marker in the text
    NewerVersion,  // QL3 or later: a newer version of the program is needed
    Malformed,     // no payload of a possible length, or not base64url
    TooLong,       // longer than the longest mood allows; no key was tried
    NoKeyOpens,    // no key opens it (or it was changed on the way)
};

struct OpenResult {
    OpenStatus status = OpenStatus::NoPost;
    std::string mood;     // UTF-8; empty unless Opened
    size_t keyIndex = 0;  // index into `keys` of the key that opened it
};

// Finds the strong post in `text` (a whole page's worth of text around it is
// fine) and tries every key. A key runs the decryption only when its
// commitment matches; the mood must unpad and be valid UTF-8. No partial
// text ever comes back.
OpenResult OpenPost(std::string_view text, std::span<const StrongKey> keys);

// Chinese, for the windows and velotan-cli; empty for Opened.
std::string OpenStatusMessage(OpenStatus status);

}  // namespace velotan::strong
