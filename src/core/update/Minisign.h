#pragma once
// Checking a file against a minisign signature: the .minisig file that
// `minisign -S` writes beside it, and the public key line that `minisign -G`
// writes. Publishers sign with the stock tool; nothing of ours is needed on
// their side.
//
// A .minisig holds four lines: an untrusted comment, the signature (base64 of
// the algorithm "Ed" or "ED", the key id and an Ed25519 signature), the
// trusted comment, and the global signature over the signature and the
// trusted comment. "ED" signs the BLAKE2b-512 hash of the file, the legacy
// "Ed" the file itself. Only "ED" is taken: the algorithm bytes are not
// signed, so a legacy signature could be passed off as one of a 64-byte file
// that holds the hash of the signed one, and it would need the whole file in
// memory.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velotan::update {

struct MinisignKey {
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 32> key{};
};

// The base64 line of a minisign public key (it starts with "RW"); blanks
// around it are ignored. Nothing when the text is not one.
std::optional<MinisignKey> ParseMinisignKey(std::string_view base64);

enum class SignatureCheck {
    Good,            // made by this key for exactly this file and comment
    Malformed,       // not a minisign signature
    OtherKey,        // made with another key
    FileChanged,     // the signature does not fit the file (one of them changed)
    CommentChanged,  // the trusted comment or the global signature was changed
    Unverifiable,    // the file could not be read
    LegacyForm,      // the legacy "Ed" form, which is not taken
};

// Checks the file open at `fd` (read from its start, whatever its offset)
// against the bytes of its .minisig. On Good, `trustedComment` (when given)
// receives the signed comment.
SignatureCheck VerifyMinisign(int fd, std::string_view minisig, const MinisignKey& key,
                              std::string* trustedComment = nullptr);
// The same for the file at `file`.
SignatureCheck VerifyMinisign(const std::filesystem::path& file, std::string_view minisig,
                              const MinisignKey& key, std::string* trustedComment = nullptr);

}  // namespace velotan::update
