#pragma once
// The post format built a second time, straight from docs/strong-posts.md on
// raw libsodium calls, so that tests can check the library against it and
// craft posts the library would never write.

#include <sodium.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "strong/StrongKey.h"
#include "strong/StrongPost.h"

namespace velotan::testing {

using Bytes = std::vector<unsigned char>;

inline Bytes AsBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline std::array<unsigned char, 32> KeyedHash(const strong::StrongKey& key, const Bytes& message) {
    std::array<unsigned char, 32> out{};
    crypto_generichash(out.data(), out.size(), message.data(), message.size(), key.bytes.data(),
                       key.bytes.size());
    return out;
}

inline std::array<unsigned char, 32> ReferenceCommit(const strong::StrongKey& key,
                                                     const std::array<unsigned char, 24>& nonce) {
    Bytes message = AsBytes("QL2-commit");
    message.insert(message.end(), nonce.begin(), nonce.end());
    return KeyedHash(key, message);
}

inline std::array<unsigned char, 32> ReferenceAeadKey(const strong::StrongKey& key) {
    return KeyedHash(key, AsBytes("QL2-encrypt"));
}

inline std::string Base64Url(const Bytes& bytes) {
    constexpr int variant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), variant), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes.data(), bytes.size(), variant);
    out.resize(out.size() - 1);
    return out;
}

// "心情：QL2:" + base64url(nonce ‖ commit ‖ AEAD(plain)), with `commit` as
// given and the AEAD under `aeadKey`: any plaintext, padded or not.
inline std::string CraftPost(const std::array<unsigned char, 24>& nonce,
                             const std::array<unsigned char, 32>& commit,
                             const std::array<unsigned char, 32>& aeadKey, const Bytes& plain) {
    Bytes ad = AsBytes("QL2");
    ad.insert(ad.end(), commit.begin(), commit.end());
    Bytes payload(nonce.begin(), nonce.end());
    payload.insert(payload.end(), commit.begin(), commit.end());
    Bytes cipher(plain.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(cipher.data(), &length, plain.data(), plain.size(),
                                               ad.data(), ad.size(), nullptr, nonce.data(),
                                               aeadKey.data());
    payload.insert(payload.end(), cipher.begin(), cipher.end());
    return "心情：QL2:" + Base64Url(payload);
}

// The post exactly as the format says, from key, nonce and mood.
inline std::string ReferenceSeal(const strong::StrongKey& key,
                                 const std::array<unsigned char, 24>& nonce,
                                 std::string_view mood) {
    Bytes plain = AsBytes(mood);
    plain.resize(mood.size() + 32);
    size_t padded = 0;
    sodium_pad(&padded, plain.data(), mood.size(), 32, plain.size());
    plain.resize(padded);
    return CraftPost(nonce, ReferenceCommit(key, nonce), ReferenceAeadKey(key), plain);
}

// The payload part of a post, after "心情：QL2:".
inline std::string PayloadOf(const std::string& post) {
    return post.substr(strong::kPostPrefix.size());
}

inline strong::StrongKey KeyOfBytes(unsigned char first) {
    strong::StrongKey key;
    for (size_t i = 0; i < key.bytes.size(); ++i)
        key.bytes[i] = static_cast<unsigned char>(first + i);
    return key;
}

}  // namespace velotan::testing
