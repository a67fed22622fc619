#include "Minisign.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace velotan::update {

namespace {

constexpr size_t kAlgorithmBytes = 2;
constexpr size_t kKeyIdBytes = 8;
constexpr size_t kSignatureBytes = crypto_sign_BYTES;  // 64
constexpr size_t kSignatureLineBytes = kAlgorithmBytes + kKeyIdBytes + kSignatureBytes;
constexpr size_t kPublicKeyLineBytes = kAlgorithmBytes + kKeyIdBytes + crypto_sign_PUBLICKEYBYTES;
constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Exactly `size` bytes from standard base64 that has nothing else in it but
// blanks (around it, as an INI value or a line may carry them).
std::optional<std::vector<unsigned char>> DecodeBase64(std::string_view text, size_t size) {
    if (!SodiumReady() || text.empty())
        return std::nullopt;
    std::vector<unsigned char> bytes(size);
    size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), " \t\r\n", &length,
                          &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size() || length != size)
        return std::nullopt;
    return bytes;
}

// The lines of the .minisig without their line ends (LF or CR LF).
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// BLAKE2b-512 of the file open at `fd`, read piece by piece from its start:
// an installer of any size takes one buffer of memory.
std::optional<std::array<unsigned char, crypto_generichash_BYTES_MAX>> HashFile(int fd) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    std::vector<unsigned char> buffer(1 << 16);
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        crypto_generichash_update(&state, buffer.data(), static_cast<size_t>(n));
        offset += n;
    }
    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash_final(&state, hash.data(), hash.size());
    return hash;
}

}  // namespace

std::optional<MinisignKey> ParseMinisignKey(std::string_view base64) {
    const auto bytes = DecodeBase64(base64, kPublicKeyLineBytes);
    if (!bytes || (*bytes)[0] != 'E' || (*bytes)[1] != 'd')
        return std::nullopt;
    MinisignKey key;
    std::copy_n(bytes->begin() + kAlgorithmBytes, kKeyIdBytes, key.keyId.begin());
    std::copy_n(bytes->begin() + kAlgorithmBytes + kKeyIdBytes, key.key.size(), key.key.begin());
    return key;
}

SignatureCheck VerifyMinisign(int fd, std::string_view minisig, const MinisignKey& key,
                              std::string* trustedComment) {
    const std::vector<std::string_view> lines = Lines(minisig);
    if (lines.size() < 4 || lines[0].substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix ||
        lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix)
        return SignatureCheck::Malformed;
    const auto signatureLine = DecodeBase64(lines[1], kSignatureLineBytes);
    const auto globalSignature = DecodeBase64(lines[3], kSignatureBytes);
    if (!signatureLine || !globalSignature || (*signatureLine)[0] != 'E')
        return SignatureCheck::Malformed;
    const unsigned char algorithm = (*signatureLine)[1];
    if (algorithm == 'd')
        return SignatureCheck::LegacyForm;
    if (algorithm != 'D')
        return SignatureCheck::Malformed;
    if (!std::equal(key.keyId.begin(), key.keyId.end(), signatureLine->begin() + kAlgorithmBytes))
        return SignatureCheck::OtherKey;
    const unsigned char* signature = signatureLine->data() + kAlgorithmBytes + kKeyIdBytes;

    const auto hash = HashFile(fd);
    if (!hash)
        return SignatureCheck::Unverifiable;
    if (crypto_sign_verify_detached(signature, hash->data(), hash->size(), key.key.data()) != 0)
        return SignatureCheck::FileChanged;

    // The trusted comment is signed together with the signature.
    const std::string_view comment = lines[2].substr(kTrustedPrefix.size());
    std::vector<unsigned char> message(signature, signature + kSignatureBytes);
    message.insert(message.end(), comment.begin(), comment.end());
    if (crypto_sign_verify_detached(globalSignature->data(), message.data(), message.size(),
                                    key.key.data()) != 0)
        return SignatureCheck::CommentChanged;
    if (trustedComment)
        *trustedComment = std::string(comment);
    return SignatureCheck::Good;
}

SignatureCheck VerifyMinisign(const std::filesystem::path& file, std::string_view minisig,
                              const MinisignKey& key, std::string* trustedComment) {
    // A file that cannot be opened reads as one that cannot be read (-1).
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    const SignatureCheck check = VerifyMinisign(fd, minisig, key, trustedComment);
    if (fd >= 0)
        ::close(fd);
    return check;
}

}  // namespace velotan::update
