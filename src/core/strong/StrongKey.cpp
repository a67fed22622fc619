#include "strong/StrongKey.h"

#include <sodium.h>

#include <algorithm>

#include "strong/StrongText.h"

namespace velotan::strong {
namespace {

constexpr std::string_view kChecksumDomain = "QLK1";
constexpr size_t kKeyTextBytes = kKeyBytes + kKeyChecksumBytes;
constexpr size_t kKeyBodyLength = kKeyTextLength - kKeyTextPrefix.size();

std::array<unsigned char, kKeyChecksumBytes> Checksum(const StrongKey& key) {
    unsigned char hash[crypto_generichash_BYTES];
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, sizeof hash);
    crypto_generichash_update(&state,
                              reinterpret_cast<const unsigned char*>(kChecksumDomain.data()),
                              kChecksumDomain.size());
    crypto_generichash_update(&state, key.bytes.data(), key.bytes.size());
    crypto_generichash_final(&state, hash, sizeof hash);
    std::array<unsigned char, kKeyChecksumBytes> out;
    std::copy(hash, hash + kKeyChecksumBytes, out.begin());
    return out;
}

// "QLK1" and a colon, half- or full-width (a Chinese input method types the
// latter); its length, else 0.
size_t PrefixLength(std::string_view text) {
    const std::string_view word = kKeyTextPrefix.substr(0, kKeyTextPrefix.size() - 1);
    if (text.substr(0, word.size()) != word)
        return 0;
    const size_t colon = ColonLength(text, word.size());
    return colon ? word.size() + colon : 0;
}

}  // namespace

bool StrongReady() {
    // sodium_init is safe to call again and from several threads.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

StrongKey NewStrongKey() {
    StrongReady();
    StrongKey key;
    randombytes_buf(key.bytes.data(), key.bytes.size());
    return key;
}

std::string KeyText(const StrongKey& key) {
    StrongReady();
    unsigned char raw[kKeyTextBytes];
    std::copy(key.bytes.begin(), key.bytes.end(), raw);
    const auto sum = Checksum(key);
    std::copy(sum.begin(), sum.end(), raw + kKeyBytes);
    constexpr int variant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
    char b64[sodium_base64_ENCODED_LEN(kKeyTextBytes, variant)];
    sodium_bin2base64(b64, sizeof b64, raw, sizeof raw, variant);
    sodium_memzero(raw, sizeof raw);
    std::string text(kKeyTextPrefix);
    text += b64;
    sodium_memzero(b64, sizeof b64);
    return text;
}

ParsedKey ParseKeyText(std::string_view text) {
    StrongReady();
    // Blanks anywhere go: a chat program may have wrapped the key.
    std::string compact;
    compact.reserve(std::min(text.size(), size_t{256}));
    for (size_t pos = 0; pos < text.size();) {
        if (const size_t blank = BlankLength(text, pos)) {
            pos += blank;
        } else {
            compact.push_back(text[pos++]);
        }
    }
    if (compact.empty())
        return {std::nullopt, KeyTextError::Empty};
    const size_t prefix = PrefixLength(compact);
    if (prefix == 0)
        return {std::nullopt, KeyTextError::WrongPrefix};
    const std::string_view body = std::string_view(compact).substr(prefix);
    for (char c : body) {
        if (!IsBase64UrlChar(c))
            return {std::nullopt, KeyTextError::BadCharacters};
    }
    if (body.size() != kKeyBodyLength)
        return {std::nullopt, KeyTextError::WrongLength};
    unsigned char raw[kKeyTextBytes];
    size_t rawLength = 0;
    const char* end = nullptr;
    if (sodium_base642bin(raw, sizeof raw, body.data(), body.size(), nullptr, &rawLength, &end,
                          sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
        rawLength != kKeyTextBytes || end != body.data() + body.size()) {
        // 48 characters always carry 36 bytes; only a last character with
        // stray low bits ends here, and that is a changed character.
        sodium_memzero(raw, sizeof raw);
        return {std::nullopt, KeyTextError::ChecksumMismatch};
    }
    StrongKey key;
    std::copy(raw, raw + kKeyBytes, key.bytes.begin());
    const auto sum = Checksum(key);
    const bool match = sodium_memcmp(sum.data(), raw + kKeyBytes, kKeyChecksumBytes) == 0;
    sodium_memzero(raw, sizeof raw);
    if (!match)
        return {std::nullopt, KeyTextError::ChecksumMismatch};
    return {key, KeyTextError::None};
}

std::string KeyTextErrorMessage(KeyTextError error) {
    switch (error) {
        case KeyTextError::None:
            return "";
        case KeyTextError::Empty:
            return "没有输入钥匙。";
        case KeyTextError::WrongPrefix:
            return "这不是强加密钥匙：强加密钥匙以“QLK1:”开头。";
        case KeyTextError::BadCharacters:
            return "钥匙里有不该有的字符：“QLK1:”之后只有英文字母、数字、“-”和“_”。";
        case KeyTextError::WrongLength:
            return "钥匙的长度不对，可能少抄或多抄了字符：“QLK1:”之后应有 48 个字符。";
        case KeyTextError::ChecksumMismatch:
            return "钥匙的校验不符，可能有字符抄错了。";
    }
    return "";
}

}  // namespace velotan::strong
