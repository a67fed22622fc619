#include "Minisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/AnsiTextFile.h"

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

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// BLAKE2b-512 of the file, read piece by piece.
std::optional<std::array<unsigned char, crypto_generichash_BYTES_MAX>> HashFile(
    const std::filesystem::path& path) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    std::vector<unsigned char> buffer(1 << 16);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        crypto_generichash_update(&state, buffer.data(), n);
    if (std::ferror(file.get()))
        return std::nullopt;
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

SignatureCheck VerifyMinisign(const std::filesystem::path& file, std::string_view minisig,
                              const MinisignKey& key) {
    const std::vector<std::string_view> lines = Lines(minisig);
    if (lines.size() < 4 || lines[0].substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix ||
        lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix)
        return SignatureCheck::Malformed;
    const auto signatureLine = DecodeBase64(lines[1], kSignatureLineBytes);
    const auto globalSignature = DecodeBase64(lines[3], kSignatureBytes);
    if (!signatureLine || !globalSignature || (*signatureLine)[0] != 'E')
        return SignatureCheck::Malformed;
    const unsigned char algorithm = (*signatureLine)[1];
    if (algorithm != 'D' && algorithm != 'd')
        return SignatureCheck::Malformed;
    if (!std::equal(key.keyId.begin(), key.keyId.end(), signatureLine->begin() + kAlgorithmBytes))
        return SignatureCheck::OtherKey;
    const unsigned char* signature = signatureLine->data() + kAlgorithmBytes + kKeyIdBytes;

    int verified = -1;
    if (algorithm == 'D') {
        const auto hash = HashFile(file);
        if (!hash)
            return SignatureCheck::Unverifiable;
        verified =
            crypto_sign_verify_detached(signature, hash->data(), hash->size(), key.key.data());
    } else {
        // The legacy form signs the whole file, so it has to be in memory.
        const auto bytes = platform::ReadFileBytes(file);
        if (!bytes)
            return SignatureCheck::Unverifiable;
        verified = crypto_sign_verify_detached(
            signature, reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size(),
            key.key.data());
    }
    if (verified != 0)
        return SignatureCheck::FileChanged;

    // The trusted comment is signed together with the signature.
    const std::string_view comment = lines[2].substr(kTrustedPrefix.size());
    std::vector<unsigned char> message(signature, signature + kSignatureBytes);
    message.insert(message.end(), comment.begin(), comment.end());
    if (crypto_sign_verify_detached(globalSignature->data(), message.data(), message.size(),
                                    key.key.data()) != 0)
        return SignatureCheck::CommentChanged;
    return SignatureCheck::Good;
}

}  // namespace velotan::update
