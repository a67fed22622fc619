// The key commitment: one post can fit the AEAD of two keys (Poly1305 is no
// commitment), and without the commitment a writer holding both keys could
// show each friend a different mood. These tests craft such posts, check with
// raw libsodium that the AEAD really opens under both keys, and check that
// the reader refuses them all the same.
//
// Crafting needs arithmetic modulo 2^130 - 5, Poly1305's field: a few lines
// here, for the tests only.

#include <gtest/gtest.h>

#include <cstdint>

#include "StrongTestSupport.h"
#include "strong/StrongPost.h"

namespace {

using namespace velotan::strong;
using velotan::testing::AsBytes;
using velotan::testing::Bytes;
using velotan::testing::CraftPost;
using velotan::testing::KeyOfBytes;
using velotan::testing::ReferenceAeadKey;
using velotan::testing::ReferenceCommit;

using u64 = uint64_t;
using u128 = unsigned __int128;
using Block = std::array<unsigned char, 16>;
using Key32 = std::array<unsigned char, 32>;
using Nonce = std::array<unsigned char, 24>;

// An element of GF(2^130 - 5), as three 64-bit limbs, kept below p.
struct Fe {
    u64 w[3] = {0, 0, 0};
};

constexpr Fe kP = {{~u64{0} - 4, ~u64{0}, 3}};

bool Less(const Fe& a, const Fe& b) {
    for (int i = 2; i >= 0; --i) {
        if (a.w[i] != b.w[i])
            return a.w[i] < b.w[i];
    }
    return false;
}

Fe SubRaw(const Fe& a, const Fe& b) {  // a >= b
    Fe r;
    u64 borrow = 0;
    for (int i = 0; i < 3; ++i) {
        const u128 d = u128(a.w[i]) - b.w[i] - borrow;
        r.w[i] = u64(d);
        borrow = u64(d >> 64) ? 1 : 0;
    }
    return r;
}

// Reduces a value of up to 6 limbs, using 2^130 = 5 (mod p).
Fe Reduce(const u64 t[6]) {
    u64 lo[3] = {t[0], t[1], t[2] & 3};
    u64 hi[4];
    for (int k = 0; k < 4; ++k)
        hi[k] = (t[2 + k] >> 2) | (k + 3 < 6 ? t[3 + k] << 62 : 0);
    // lo + 5 * hi, in 4 limbs.
    u64 s[4];
    u128 carry = 0;
    for (int k = 0; k < 4; ++k) {
        carry += u128(k < 3 ? lo[k] : 0) + u128(hi[k]) * 5;
        s[k] = u64(carry);
        carry >>= 64;
    }
    // Now below 2^137 or so: fold once more.
    const u64 top = (s[2] >> 2) | (s[3] << 62);
    Fe r = {{s[0], s[1], s[2] & 3}};
    u128 c = u128(r.w[0]) + u128(top) * 5;
    r.w[0] = u64(c);
    c = u128(r.w[1]) + (c >> 64);
    r.w[1] = u64(c);
    r.w[2] += u64(c >> 64);
    while (!Less(r, kP))
        r = SubRaw(r, kP);
    return r;
}

Fe Add(const Fe& a, const Fe& b) {
    u64 t[6] = {0, 0, 0, 0, 0, 0};
    u128 carry = 0;
    for (int i = 0; i < 3; ++i) {
        carry += u128(a.w[i]) + b.w[i];
        t[i] = u64(carry);
        carry >>= 64;
    }
    return Reduce(t);
}

Fe Sub(const Fe& a, const Fe& b) {
    return Add(a, SubRaw(kP, b));
}

Fe Mul(const Fe& a, const Fe& b) {
    u64 t[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        u64 carry = 0;
        for (int j = 0; j < 3; ++j) {
            const u128 cur = u128(a.w[i]) * b.w[j] + t[i + j] + carry;
            t[i + j] = u64(cur);
            carry = u64(cur >> 64);
        }
        t[i + 3] = carry;
    }
    return Reduce(t);
}

Fe Pow(Fe base, const Fe& exponent) {
    Fe result = {{1, 0, 0}};
    for (int bit = 0; bit < 130; ++bit) {
        if ((exponent.w[bit / 64] >> (bit % 64)) & 1)
            result = Mul(result, base);
        base = Mul(base, base);
    }
    return result;
}

Fe Inverse(const Fe& a) {
    return Pow(a, SubRaw(kP, Fe{{2, 0, 0}}));
}

Fe FromBytes(const unsigned char* bytes, size_t n, bool highBit) {
    Fe r;
    for (size_t i = 0; i < n; ++i)
        r.w[i / 8] |= u64(bytes[i]) << (8 * (i % 8));
    if (highBit)
        r.w[2] |= 1;  // + 2^128
    return r;
}

// Poly1305's r (clamped) and s from the one-time key.
struct PolyKey {
    Fe r, s;
};

PolyKey ClampedKey(const Key32& key) {
    Block r;
    std::copy(key.begin(), key.begin() + 16, r.begin());
    for (int i : {3, 7, 11, 15})
        r[i] &= 15;
    for (int i : {4, 8, 12})
        r[i] &= 252;
    return {FromBytes(r.data(), 16, false), FromBytes(key.data() + 16, 16, false)};
}

// What XChaCha20-Poly1305-IETF does with an AEAD key and a nonce: the
// Poly1305 key and the keystream that the plaintext is XORed with.
struct Stream {
    Key32 subkey;
    std::array<unsigned char, 12> nonce{};
};

Stream StreamFor(const Key32& aeadKey, const Nonce& nonce) {
    Stream s;
    crypto_core_hchacha20(s.subkey.data(), nonce.data(), aeadKey.data(), nullptr);
    std::copy(nonce.begin() + 16, nonce.end(), s.nonce.begin() + 4);
    return s;
}

Key32 PolyKeyBytes(const Stream& s) {
    Key32 out{};
    crypto_stream_chacha20_ietf(out.data(), out.size(), s.nonce.data(), s.subkey.data());
    return out;
}

Bytes Xor(const Stream& s, const Bytes& in) {
    Bytes out(in.size());
    crypto_stream_chacha20_ietf_xor_ic(out.data(), in.data(), in.size(), s.nonce.data(), 1,
                                       s.subkey.data());
    return out;
}

// The blocks Poly1305 authenticates: AD, padding, ciphertext, padding, the
// two lengths.
std::vector<Block> MacBlocks(const Bytes& ad, const Bytes& cipher) {
    Bytes m = ad;
    m.resize((m.size() + 15) / 16 * 16);
    m.insert(m.end(), cipher.begin(), cipher.end());
    m.resize((m.size() + 15) / 16 * 16);
    for (u64 length : {u64(ad.size()), u64(cipher.size())}) {
        for (int i = 0; i < 8; ++i)
            m.push_back(static_cast<unsigned char>(length >> (8 * i)));
    }
    std::vector<Block> blocks(m.size() / 16);
    for (size_t i = 0; i < blocks.size(); ++i)
        std::copy(m.begin() + 16 * i, m.begin() + 16 * (i + 1), blocks[i].begin());
    return blocks;
}

// The value of block `free` that makes both keys give the same tag, if the
// equation has a solution that is a block; nullopt otherwise (try again with
// other bytes elsewhere).
std::optional<Block> SolveBlock(const std::vector<Block>& blocks, size_t free, const PolyKey& k1,
                                const PolyKey& k2) {
    // h_k = sum of (block_i + 2^128) r_k^(n - i); the tags agree when
    // h_1 + s_1 = h_2 + s_2.
    const size_t n = blocks.size();
    Fe a1, a2;
    for (size_t i = 0; i < n; ++i) {
        if (i == free)
            continue;
        const Fe m = FromBytes(blocks[i].data(), 16, true);
        const Fe e = {{n - i, 0, 0}};
        a1 = Add(a1, Mul(m, Pow(k1.r, e)));
        a2 = Add(a2, Mul(m, Pow(k2.r, e)));
    }
    const Fe e = {{n - free, 0, 0}};
    const Fe denominator = Sub(Pow(k1.r, e), Pow(k2.r, e));
    const Fe x = Mul(Add(Sub(a2, a1), Sub(k2.s, k1.s)), Inverse(denominator));
    // x = block + 2^128 with a 16-byte block: 2^128 <= x < 2^129.
    if (x.w[2] != 1)
        return std::nullopt;
    Block out;
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<unsigned char>(x.w[i / 8] >> (8 * (i % 8)));
    return out;
}

Bytes AdFor(const Key32& commit) {
    Bytes ad = AsBytes("QL2");
    ad.insert(ad.end(), commit.begin(), commit.end());
    return ad;
}

bool AeadOpens(const Key32& aeadKey, const Nonce& nonce, const Key32& commit,
               const Bytes& cipherAndTag) {
    const Bytes ad = AdFor(commit);
    Bytes plain(cipherAndTag.size());
    unsigned long long length = 0;
    return crypto_aead_xchacha20poly1305_ietf_decrypt(
               plain.data(), &length, nullptr, cipherAndTag.data(), cipherAndTag.size(), ad.data(),
               ad.size(), nonce.data(), aeadKey.data()) == 0;
}

struct Crafted {
    Nonce nonce;
    Key32 commit;
    Bytes cipherAndTag;
    std::string post;
};

std::string PostOf(const Nonce& nonce, const Key32& commit, const Bytes& cipherAndTag) {
    Bytes payload(nonce.begin(), nonce.end());
    payload.insert(payload.end(), commit.begin(), commit.end());
    payload.insert(payload.end(), cipherAndTag.begin(), cipherAndTag.end());
    return "心情：QL2:" + velotan::testing::Base64Url(payload);
}

// A post whose AEAD opens under both keys' AEAD keys. With `commitOf` set,
// it commits to that key and the first ciphertext block is solved for; else
// its commitment is solved for (and fits neither key), which leaves the
// ciphertext free: under key 2 it then holds `mood2`, properly padded.
Crafted Craft(const StrongKey& key1, const StrongKey& key2, const StrongKey* commitOf,
              const std::string& mood2) {
    const Key32 aead1 = ReferenceAeadKey(key1), aead2 = ReferenceAeadKey(key2);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        Crafted c;
        randombytes_buf(c.nonce.data(), c.nonce.size());
        const Stream s1 = StreamFor(aead1, c.nonce), s2 = StreamFor(aead2, c.nonce);
        const PolyKey p1 = ClampedKey(PolyKeyBytes(s1)), p2 = ClampedKey(PolyKeyBytes(s2));
        Bytes plain2 = AsBytes(mood2);
        plain2.resize(32);
        size_t padded = 0;
        sodium_pad(&padded, plain2.data(), mood2.size(), 32, 32);
        Bytes cipher = Xor(s2, plain2);
        size_t free;
        if (commitOf) {
            c.commit = ReferenceCommit(*commitOf, c.nonce);
            free = 3;  // the first ciphertext block, after the three AD blocks
        } else {
            randombytes_buf(c.commit.data(), c.commit.size());
            free = 1;  // commit bytes 13..28: the second AD block
        }
        std::vector<Block> blocks = MacBlocks(AdFor(c.commit), cipher);
        const auto solved = SolveBlock(blocks, free, p1, p2);
        if (!solved)
            continue;
        if (commitOf) {
            std::copy(solved->begin(), solved->end(), cipher.begin());
        } else {
            std::copy(solved->begin(), solved->end(), c.commit.begin() + 13);
        }
        const Key32 polyKey1 = PolyKeyBytes(s1);
        Bytes mac;
        for (const Block& b : MacBlocks(AdFor(c.commit), cipher))
            mac.insert(mac.end(), b.begin(), b.end());
        Block tag;
        crypto_onetimeauth_poly1305(tag.data(), mac.data(), mac.size(), polyKey1.data());
        c.cipherAndTag = cipher;
        c.cipherAndTag.insert(c.cipherAndTag.end(), tag.begin(), tag.end());
        // The tags agree only when no reduction modulo p came between them.
        if (!AeadOpens(aead1, c.nonce, c.commit, c.cipherAndTag) ||
            !AeadOpens(aead2, c.nonce, c.commit, c.cipherAndTag))
            continue;
        c.post = PostOf(c.nonce, c.commit, c.cipherAndTag);
        return c;
    }
    ADD_FAILURE() << "no post fits both keys";
    return {};
}

TEST(CommitmentTest, FieldArithmetic) {
    const Fe seven = {{7, 0, 0}};
    EXPECT_EQ(Mul(seven, Inverse(seven)).w[0], 1u);
    // 2^130 = 5.
    const Fe twoTo65 = {{0, 2, 0}};
    const Fe five = Mul(twoTo65, twoTo65);
    EXPECT_EQ(five.w[0], 5u);
    EXPECT_EQ(five.w[1], 0u);
    EXPECT_EQ(five.w[2], 0u);
    EXPECT_EQ(Sub(seven, Fe{{9, 0, 0}}).w[0], kP.w[0] - 2);
}

TEST(CommitmentTest, APostFittingTwoKeysButNeitherCommitmentIsRefused) {
    const StrongKey key1 = KeyOfBytes(1), key2 = KeyOfBytes(100);
    const std::string mood2 = "只给朋友二看";
    const Crafted c = Craft(key1, key2, nullptr, mood2);
    ASSERT_FALSE(c.post.empty());
    // Without the commitment, key 2 would read a mood of its own in it.
    const Key32 aead2 = ReferenceAeadKey(key2);
    const Bytes ad = AdFor(c.commit);
    Bytes plain(c.cipherAndTag.size());
    unsigned long long length = 0;
    ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                  plain.data(), &length, nullptr, c.cipherAndTag.data(), c.cipherAndTag.size(),
                  ad.data(), ad.size(), c.nonce.data(), aead2.data()),
              0);
    size_t moodLength = 0;
    ASSERT_EQ(sodium_unpad(&moodLength, plain.data(), length, 32), 0);
    EXPECT_EQ(std::string(plain.begin(), plain.begin() + moodLength), mood2);

    const std::vector<StrongKey> keys = {key1, key2};
    for (const auto& tried : {keys, std::vector<StrongKey>{key2}, std::vector<StrongKey>{key1}}) {
        const OpenResult opened = OpenPost(c.post, tried);
        EXPECT_EQ(opened.status, OpenStatus::NoKeyOpens);
        EXPECT_TRUE(opened.mood.empty());
    }
}

TEST(CommitmentTest, OnlyTheCommittedKeyMayRunTheDecryption) {
    // The post commits to key 1, and its AEAD opens under key 2 too: key 2
    // never gets to decrypt it. (Key 1 finds no mood in it: the solved block
    // is noise.)
    const StrongKey key1 = KeyOfBytes(1), key2 = KeyOfBytes(100);
    const Crafted c = Craft(key1, key2, &key1, "给朋友二");
    ASSERT_FALSE(c.post.empty());
    const OpenResult byKey2 = OpenPost(c.post, std::vector<StrongKey>{key2});
    EXPECT_EQ(byKey2.status, OpenStatus::NoKeyOpens);
    EXPECT_TRUE(byKey2.mood.empty());
    const OpenResult byBoth = OpenPost(c.post, std::vector<StrongKey>{key2, key1});
    EXPECT_NE(byBoth.status, OpenStatus::Opened);
    EXPECT_TRUE(byBoth.mood.empty());
}

}  // namespace
