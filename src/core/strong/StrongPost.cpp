#include "strong/StrongPost.h"

#include <sodium.h>

#include <algorithm>
#include <vector>

#include "strong/StrongText.h"

namespace velotan::strong {
namespace {

constexpr std::string_view kMoodWord = "心情";
constexpr std::string_view kVersionWord = "QL";
constexpr unsigned kVersion = 2;
constexpr std::string_view kCommitDomain = "QL2-commit";
constexpr std::string_view kEncryptDomain = "QL2-encrypt";
constexpr std::string_view kAdPrefix = "QL2";
constexpr size_t kAdBytes = 3 + kCommitBytes;
constexpr int kBase64 = sodium_base64_VARIANT_URLSAFE_NO_PADDING;

static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == kNonceBytes);
static_assert(crypto_aead_xchacha20poly1305_ietf_ABYTES == kTagBytes);
static_assert(crypto_aead_xchacha20poly1305_ietf_KEYBYTES == kKeyBytes);
static_assert(crypto_generichash_KEYBYTES == kKeyBytes);

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// BLAKE2b-256 keyed with K of "QL2-commit" ‖ nonce.
void Commit(const StrongKey& key, const unsigned char* nonce, unsigned char* out) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, key.bytes.data(), key.bytes.size(), kCommitBytes);
    crypto_generichash_update(&state, Bytes(kCommitDomain), kCommitDomain.size());
    crypto_generichash_update(&state, nonce, kNonceBytes);
    crypto_generichash_final(&state, out, kCommitBytes);
}

// The AEAD key: BLAKE2b-256 keyed with K of "QL2-encrypt".
void AeadKey(const StrongKey& key, unsigned char* out) {
    crypto_generichash(out, kKeyBytes, Bytes(kEncryptDomain), kEncryptDomain.size(),
                       key.bytes.data(), key.bytes.size());
}

// "QL2" ‖ commit.
void AssociatedData(const unsigned char* commit, unsigned char* ad) {
    std::copy(kAdPrefix.begin(), kAdPrefix.end(), ad);
    std::copy(commit, commit + kCommitBytes, ad + kAdPrefix.size());
}

// Base64url characters that carry `bytes` bytes, without padding.
constexpr size_t EncodedLength(size_t bytes) {
    return (4 * bytes + 2) / 3;
}

struct Marker {
    unsigned version = 0;  // saturates at a large value
    size_t payload = 0;    // where the payload run starts
};

// "QL", digits, blanks, colon at `pos`: the version and the end.
std::optional<Marker> VersionAt(std::string_view text, size_t pos) {
    if (text.substr(pos, kVersionWord.size()) != kVersionWord)
        return std::nullopt;
    pos += kVersionWord.size();
    const size_t digits = pos;
    unsigned version = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        version = std::min(version * 10 + static_cast<unsigned>(text[pos] - '0'), 1000000u);
        ++pos;
    }
    if (pos == digits)
        return std::nullopt;
    pos = SkipBlanks(text, pos);
    const size_t colon = ColonLength(text, pos);
    if (!colon)
        return std::nullopt;
    return Marker{version, pos + colon};
}

// The first "心情", colon, "QL<digits>", colon in the text. A name or a remark
// before the post may say 心情： too, so markers without a version are passed by.
std::optional<Marker> FindMarker(std::string_view text) {
    for (size_t at = text.find(kMoodWord); at != std::string_view::npos;
         at = text.find(kMoodWord, at + 1)) {
        size_t pos = SkipBlanks(text, at + kMoodWord.size());
        const size_t colon = ColonLength(text, pos);
        if (!colon)
            continue;
        if (auto marker = VersionAt(text, SkipBlanks(text, pos + colon)))
            return marker;
    }
    return std::nullopt;
}

std::optional<std::string> Seal(const StrongKey& key, std::string_view mood,
                                const unsigned char* nonce) {
    if (!StrongReady() || mood.size() > kMaxStrongMoodBytes || !IsValidUtf8(mood))
        return std::nullopt;
    // nonce ‖ commit ‖ ciphertext ‖ tag, the ciphertext as long as the padded mood.
    const size_t paddedMax = (mood.size() / kPadBlock + 1) * kPadBlock;
    std::vector<unsigned char> padded(paddedMax);
    std::copy(mood.begin(), mood.end(), padded.begin());
    size_t paddedLength = 0;
    if (sodium_pad(&paddedLength, padded.data(), mood.size(), kPadBlock, padded.size()) != 0)
        return std::nullopt;
    std::vector<unsigned char> payload(kPayloadOverhead + paddedLength);
    unsigned char* commit = payload.data() + kNonceBytes;
    std::copy(nonce, nonce + kNonceBytes, payload.begin());
    Commit(key, nonce, commit);
    unsigned char ad[kAdBytes];
    AssociatedData(commit, ad);
    unsigned char aeadKey[kKeyBytes];
    AeadKey(key, aeadKey);
    unsigned long long cipherLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(commit + kCommitBytes, &cipherLength, padded.data(),
                                               paddedLength, ad, sizeof ad, nullptr, nonce,
                                               aeadKey);
    sodium_memzero(aeadKey, sizeof aeadKey);
    sodium_memzero(padded.data(), padded.size());

    std::string post(kPostPrefix);
    const size_t prefix = post.size();
    post.resize(prefix + sodium_base64_ENCODED_LEN(payload.size(), kBase64));
    sodium_bin2base64(post.data() + prefix, post.size() - prefix, payload.data(), payload.size(),
                      kBase64);
    post.resize(prefix + EncodedLength(payload.size()));  // the terminating NUL goes
    return post;
}

// The mood in `payload` if `key` opens it.
enum class Attempt { WrongKey, Opened, BadContent };
Attempt TryKey(const StrongKey& key, const std::vector<unsigned char>& payload,
               std::vector<unsigned char>& plain, std::string& mood) {
    const unsigned char* nonce = payload.data();
    const unsigned char* commit = nonce + kNonceBytes;
    unsigned char expected[kCommitBytes];
    Commit(key, nonce, expected);
    // The decryption runs only under the key the post commits to.
    if (sodium_memcmp(expected, commit, kCommitBytes) != 0)
        return Attempt::WrongKey;
    unsigned char ad[kAdBytes];
    AssociatedData(commit, ad);
    unsigned char aeadKey[kKeyBytes];
    AeadKey(key, aeadKey);
    const unsigned char* cipher = commit + kCommitBytes;
    const size_t cipherLength = payload.size() - kNonceBytes - kCommitBytes;
    unsigned long long plainLength = 0;
    const int opened = crypto_aead_xchacha20poly1305_ietf_decrypt(
        plain.data(), &plainLength, nullptr, cipher, cipherLength, ad, sizeof ad, nonce, aeadKey);
    sodium_memzero(aeadKey, sizeof aeadKey);
    if (opened != 0)
        return Attempt::WrongKey;
    size_t moodLength = 0;
    Attempt result = Attempt::BadContent;
    if (sodium_unpad(&moodLength, plain.data(), plainLength, kPadBlock) == 0) {
        const std::string_view text(reinterpret_cast<const char*>(plain.data()), moodLength);
        if (IsValidUtf8(text)) {
            mood.assign(text);
            result = Attempt::Opened;
        }
    }
    sodium_memzero(plain.data(), plain.size());
    return result;
}

}  // namespace

std::optional<std::string> SealPost(const StrongKey& key, std::string_view moodUtf8) {
    if (!StrongReady())
        return std::nullopt;
    // Random, never derived from the text: the same mood gives a new post.
    unsigned char nonce[kNonceBytes];
    randombytes_buf(nonce, sizeof nonce);
    return Seal(key, moodUtf8, nonce);
}

std::optional<std::string> SealPostWithNonce(const StrongKey& key, std::string_view moodUtf8,
                                             std::span<const unsigned char, kNonceBytes> nonce) {
    return Seal(key, moodUtf8, nonce.data());
}

bool HoldsStrongPost(std::string_view text) {
    return FindMarker(text).has_value();
}

OpenResult OpenPost(std::string_view text, std::span<const StrongKey> keys) {
    OpenResult result;
    const auto marker = FindMarker(text);
    if (!marker) {
        result.status = OpenStatus::NoPost;
        return result;
    }
    if (marker->version != kVersion) {
        result.status =
            marker->version > kVersion ? OpenStatus::NewerVersion : OpenStatus::Malformed;
        return result;
    }
    if (!StrongReady()) {
        result.status = OpenStatus::NoKeyOpens;
        return result;
    }
    // Mail and chat programs wrap long lines; text glued after the payload
    // falls away when the run is cut back to a length a post can have.
    const std::string run = Base64UrlRun(text, marker->payload);
    const size_t runBytes = run.size() * 3 / 4;
    if (runBytes < kPayloadOverhead + kPadBlock) {
        result.status = OpenStatus::Malformed;
        return result;
    }
    const size_t payloadBytes =
        kPayloadOverhead + (runBytes - kPayloadOverhead) / kPadBlock * kPadBlock;
    if (payloadBytes > kMaxPayloadBytes) {
        result.status = OpenStatus::TooLong;
        return result;
    }
    std::vector<unsigned char> payload(payloadBytes);
    size_t decoded = 0;
    const char* end = nullptr;
    const size_t chars = EncodedLength(payloadBytes);
    if (sodium_base642bin(payload.data(), payload.size(), run.data(), chars, nullptr, &decoded,
                          &end, kBase64) != 0 ||
        decoded != payloadBytes || end != run.data() + chars) {
        result.status = OpenStatus::Malformed;
        return result;
    }
    std::vector<unsigned char> plain(payloadBytes - kPayloadOverhead);
    bool badContent = false;
    for (size_t i = 0; i < keys.size(); ++i) {
        switch (TryKey(keys[i], payload, plain, result.mood)) {
            case Attempt::Opened:
                result.status = OpenStatus::Opened;
                result.keyIndex = i;
                return result;
            case Attempt::BadContent:
                badContent = true;
                break;
            case Attempt::WrongKey:
                break;
        }
    }
    result.status = badContent ? OpenStatus::Malformed : OpenStatus::NoKeyOpens;
    return result;
}

std::string OpenStatusMessage(OpenStatus status) {
    switch (status) {
        case OpenStatus::Opened:
            return "";
        case OpenStatus::NoPost:
            return "没有找到强加密的心情：它以“心情：QL2:”开头。";
        case OpenStatus::NewerVersion:
            return "这条心情由更新版本的青岚心情加密器加密，请先更新程序。";
        case OpenStatus::Malformed:
            return "这条强加密的心情不完整或已损坏，无法读取。";
        case OpenStatus::TooLong:
            return "这条强加密的心情比最长的心情还长，不予读取。";
        case OpenStatus::NoKeyOpens:
            return "您持有的钥匙都打不开这条心情；它也可能在传递中被改动过。";
    }
    return "";
}

}  // namespace velotan::strong
