// Strong posts: sealing, the reading rules, and everything a reader must
// refuse.

#include <gtest/gtest.h>

#include "StrongTestSupport.h"
#include "strong/StrongPost.h"

namespace {

using namespace velotan::strong;
using velotan::testing::AsBytes;
using velotan::testing::Bytes;
using velotan::testing::CraftPost;
using velotan::testing::KeyOfBytes;
using velotan::testing::PayloadOf;
using velotan::testing::ReferenceAeadKey;
using velotan::testing::ReferenceCommit;
using velotan::testing::ReferenceSeal;

using Nonce = std::array<unsigned char, kNonceBytes>;

std::string Repeat(std::string_view unit, size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += unit;
    return out;
}

Nonce CountingNonce(unsigned char first) {
    Nonce nonce;
    for (size_t i = 0; i < nonce.size(); ++i)
        nonce[i] = static_cast<unsigned char>(first + i);
    return nonce;
}

OpenResult Open(std::string_view text, const StrongKey& key) {
    return OpenPost(text, std::span<const StrongKey>(&key, 1));
}

struct Mood {
    std::string name;
    std::string text;
};

TEST(StrongPostTest, RoundTripsFromOneToTheLongestMood) {
    const std::vector<Mood> moods = {
        {"one ASCII character", "a"},
        {"one Chinese character", "好"},
        {"one emoji", "🙂"},
        {"CR LF", "今天\r\n很好\r\n"},
        {"mixed", "心情：今天“很好”。\r\nSecond line 🙂🙃, 第二行……"},
        {"31 bytes", std::string(31, 'x')},
        {"32 bytes", std::string(32, 'x')},
        {"33 bytes", std::string(33, 'x')},
        {"1,000 Chinese characters", Repeat("青岚", 500)},
        {"32,766 ASCII characters", std::string(32766, 'q')},
        {"32,766 Chinese characters", Repeat("岚", 32766)},
        {"32,766 characters of emoji (16,383 pairs)", Repeat("🙂", 16383)},
        {"32,766 characters of CR LF", Repeat("\r\n", 16383)},
    };
    const StrongKey key = NewStrongKey();
    for (const Mood& mood : moods) {
        const auto post = SealPost(key, mood.text);
        ASSERT_TRUE(post) << mood.name;
        const OpenResult opened = Open(*post, key);
        ASSERT_EQ(opened.status, OpenStatus::Opened) << mood.name;
        EXPECT_EQ(opened.mood, mood.text) << mood.name;
    }
}

TEST(StrongPostTest, TheLongestMoodIsTheLimit) {
    const StrongKey key = NewStrongKey();
    EXPECT_TRUE(SealPost(key, Repeat("岚", kMaxStrongMoodChars)));
    EXPECT_TRUE(SealPost(key, std::string(kMaxStrongMoodBytes, 'a')));
    EXPECT_FALSE(SealPost(key, std::string(kMaxStrongMoodBytes + 1, 'a')));
    EXPECT_FALSE(SealPost(key, Repeat("岚", kMaxStrongMoodChars + 1)));
}

TEST(StrongPostTest, OnlyValidUtf8IsSealed) {
    const StrongKey key = NewStrongKey();
    for (const std::string& bad : {std::string("\xFF"), std::string("a\xE5\xB2"),
                                   std::string("\xED\xA0\x80"), std::string("\xC0\xAF")}) {
        EXPECT_FALSE(SealPost(key, bad));
    }
    EXPECT_TRUE(SealPost(key, ""));
}

TEST(StrongPostTest, APostIsMarkerAndPayloadOfAPossibleLength) {
    const StrongKey key = NewStrongKey();
    const std::string post = *SealPost(key, "今天很好");
    ASSERT_EQ(post.substr(0, kPostPrefix.size()), kPostPrefix);
    const std::string payload = PayloadOf(post);
    EXPECT_EQ(payload.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos);
    // 72 + 32 bytes in base64url without padding.
    EXPECT_EQ(payload.size(), (4 * 104 + 2) / 3);
    EXPECT_EQ(post.find("解密钥匙"), std::string::npos);
    // A random nonce: the same mood never gives the same post.
    EXPECT_NE(*SealPost(key, "今天很好"), post);
}

TEST(StrongPostTest, SealingFollowsTheFormatExactly) {
    const StrongKey key = KeyOfBytes(0);
    const Nonce nonce = CountingNonce(0x40);
    for (const std::string& mood : {std::string(""), std::string("今天很好"),
                                    std::string("心情\r\n🙂"), Repeat("岚", 100)}) {
        EXPECT_EQ(SealPostWithNonce(key, mood, nonce), ReferenceSeal(key, nonce, mood)) << mood;
    }
}

struct Vector {
    std::string mood;
    std::string post;
};

// The test vectors of docs/strong-posts.md: key 00 01 .. 1f, nonce 40 41 .. 57.
TEST(StrongPostTest, TestVectors) {
    const StrongKey key = KeyOfBytes(0);
    const Nonce nonce = CountingNonce(0x40);
    const std::vector<Vector> vectors = {
#include "StrongVectors.inc"
    };
    ASSERT_FALSE(vectors.empty());
    for (const Vector& v : vectors) {
        EXPECT_EQ(SealPostWithNonce(key, v.mood, nonce), v.post) << v.mood;
        const OpenResult opened = Open(v.post, key);
        EXPECT_EQ(opened.status, OpenStatus::Opened) << v.mood;
        EXPECT_EQ(opened.mood, v.mood);
    }
}

TEST(StrongPostTest, PostsShowTheLengthOnlyToWithin32Bytes) {
    const StrongKey key = NewStrongKey();
    const size_t one = SealPost(key, "a")->size();
    EXPECT_EQ(SealPost(key, std::string(31, 'a'))->size(), one);
    EXPECT_EQ(SealPost(key, "好")->size(), one);
    EXPECT_EQ(SealPost(key, "")->size(), one);
    // The 32nd byte needs a second block: the pad byte always goes in.
    EXPECT_GT(SealPost(key, std::string(32, 'a'))->size(), one);
    EXPECT_EQ(SealPost(key, std::string(32, 'a'))->size(),
              SealPost(key, std::string(63, 'a'))->size());
}

struct Surrounding {
    std::string name;
    std::function<std::string(const std::string& post)> make;
};

// Wraps the payload every `width` characters with `brk`.
std::string Wrap(const std::string& post, size_t width, const std::string& brk) {
    std::string out(kPostPrefix);
    const std::string payload = PayloadOf(post);
    for (size_t i = 0; i < payload.size(); i += width) {
        if (i)
            out += brk;
        out += payload.substr(i, width);
    }
    return out;
}

TEST(StrongPostTest, PostsAreFoundInTheTextAroundThem) {
    const std::vector<Surrounding> cases = {
        {"as it is", [](const std::string& p) { return p; }},
        {"with a name before and words after",
         [](const std::string& p) { return "小明 说：\r\n" + p + "\r\n转发 12 评论 3"; }},
        {"a remark with 心情： before it",
         [](const std::string& p) { return "今天的心情：不错。" + p; }},
        {"text glued after it", [](const std::string& p) { return p + "今天"; }},
        {"letters glued after it", [](const std::string& p) { return p + " abc"; }},
        // Up to 41 characters always fall short of another block.
        {"41 letters glued after it",
         [](const std::string& p) { return p + std::string(41, 'A'); }},
        {"half-width colons", [](const std::string& p) { return "心情:QL2:" + PayloadOf(p); }},
        {"full-width second colon",
         [](const std::string& p) { return "心情：QL2：" + PayloadOf(p); }},
        {"blanks around the colons",
         [](const std::string& p) { return "心情 ：\u3000QL2 : " + PayloadOf(p); }},
        {"wrapped by a mail program", [](const std::string& p) { return Wrap(p, 76, "\r\n"); }},
        {"wrapped with U+3000", [](const std::string& p) { return Wrap(p, 20, "\u3000"); }},
        {"wrapped with NBSP", [](const std::string& p) { return Wrap(p, 7, "\u00A0"); }},
        {"zero-width characters",
         [](const std::string& p) { return Wrap(p, 5, "\u200B\u200C\u200D\u2060\uFEFF"); }},
        {"a line break after the marker",
         [](const std::string& p) { return "心情：QL2:\n" + PayloadOf(p) + "\n"; }},
    };
    const StrongKey key = NewStrongKey();
    const std::string mood = "心情：今天“很好”\r\n🙂";
    const std::string post = *SealPost(key, mood);
    for (const Surrounding& c : cases) {
        const std::string text = c.make(post);
        EXPECT_TRUE(HoldsStrongPost(text)) << c.name;
        const OpenResult opened = Open(text, key);
        EXPECT_EQ(opened.status, OpenStatus::Opened) << c.name;
        EXPECT_EQ(opened.mood, mood) << c.name;
    }
}

TEST(StrongPostTest, TextGluedBeyondABlockIsNotCutAway) {
    // The run is cut back only to the longest possible length; 43 letters
    // more make one block more, and the post no longer opens.
    const StrongKey key = NewStrongKey();
    const OpenResult opened = Open(*SealPost(key, "a") + std::string(43, 'A'), key);
    EXPECT_NE(opened.status, OpenStatus::Opened);
    EXPECT_TRUE(opened.mood.empty());
}

struct Marked {
    std::string text;
    OpenStatus status;
    bool holds;
};

TEST(StrongPostTest, MarkersAndVersions) {
    const StrongKey key = NewStrongKey();
    const std::string payload = PayloadOf(*SealPost(key, "好"));
    const std::vector<Marked> cases = {
        {"", OpenStatus::NoPost, false},
        {"今天很好", OpenStatus::NoPost, false},
        {"心情：~!@UUA{~解密钥匙：~!UGA@", OpenStatus::NoPost, false},
        {"心情QL2:" + payload, OpenStatus::NoPost, false},
        {"心情：QL:" + payload, OpenStatus::NoPost, false},
        {"心情：QL2" + payload, OpenStatus::NoPost, false},
        {"心情：ql2:" + payload, OpenStatus::NoPost, false},
        {"心情：QL3:" + payload, OpenStatus::NewerVersion, true},
        {"心情：QL10:" + payload, OpenStatus::NewerVersion, true},
        {"心情：QL99999999999999999999:" + payload, OpenStatus::NewerVersion, true},
        {"心情：QL1:" + payload, OpenStatus::Malformed, true},
        {"心情：QL2:", OpenStatus::Malformed, true},
        {"心情：QL2:" + payload.substr(0, 100), OpenStatus::Malformed, true},
        {"心情：QL2:" + payload, OpenStatus::Opened, true},
    };
    for (const Marked& c : cases) {
        EXPECT_EQ(HoldsStrongPost(c.text), c.holds) << c.text;
        const OpenResult opened = Open(c.text, key);
        EXPECT_EQ(opened.status, c.status) << c.text;
        EXPECT_EQ(opened.mood.empty(), c.status != OpenStatus::Opened) << c.text;
        EXPECT_EQ(OpenStatusMessage(c.status).empty(), c.status == OpenStatus::Opened);
    }
    EXPECT_NE(OpenStatusMessage(OpenStatus::NewerVersion).find("更新"), std::string::npos);
}

// Every character of the payload changed to every other base64url character.
TEST(StrongPostTest, EverySingleCharacterChangeIsRefused) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    const StrongKey key = KeyOfBytes(7);
    const std::string post = *SealPost(key, "今天很好");
    ASSERT_EQ(Open(post, key).status, OpenStatus::Opened);
    const size_t start = kPostPrefix.size();
    for (size_t pos = start; pos < post.size(); ++pos) {
        for (char c : alphabet) {
            if (c == post[pos])
                continue;
            std::string changed = post;
            changed[pos] = c;
            const OpenResult opened = Open(changed, key);
            ASSERT_NE(opened.status, OpenStatus::Opened) << pos << " " << c;
            ASSERT_TRUE(opened.mood.empty());
        }
        // Left out, or doubled (but where only copies of it follow: that is
        // the last character doubled, text glued after the post, which falls
        // away; the nonce is random, so a post may end in a run of one letter).
        EXPECT_NE(Open(post.substr(0, pos) + post.substr(pos + 1), key).status, OpenStatus::Opened);
        if (post.find_first_not_of(post[pos], pos) != std::string::npos) {
            EXPECT_NE(Open(post.substr(0, pos + 1) + post.substr(pos), key).status,
                      OpenStatus::Opened);
        }
    }
}

TEST(StrongPostTest, ChangesAnywhereInALongPostAreRefused) {
    const StrongKey key = NewStrongKey();
    const std::string post = *SealPost(key, Repeat("青", 5000));
    for (size_t pos = kPostPrefix.size(); pos < post.size(); pos += 97) {
        std::string changed = post;
        changed[pos] = changed[pos] == 'A' ? 'B' : 'A';
        const OpenResult opened = Open(changed, key);
        ASSERT_NE(opened.status, OpenStatus::Opened) << pos;
        ASSERT_TRUE(opened.mood.empty());
    }
}

TEST(StrongPostTest, EveryOtherKeyIsRefused) {
    const StrongKey key = NewStrongKey();
    const std::string post = *SealPost(key, "只给你看");
    std::vector<StrongKey> others;
    for (int i = 0; i < 200; ++i)
        others.push_back(NewStrongKey());
    // Keys one bit away from the right one too.
    for (size_t bit = 0; bit < 8 * kKeyBytes; bit += 5) {
        StrongKey near = key;
        near.bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        others.push_back(near);
    }
    for (const StrongKey& other : others) {
        const OpenResult opened = Open(post, other);
        ASSERT_EQ(opened.status, OpenStatus::NoKeyOpens);
        ASSERT_TRUE(opened.mood.empty());
    }
    EXPECT_EQ(OpenPost(post, others).status, OpenStatus::NoKeyOpens);
    EXPECT_EQ(OpenPost(post, {}).status, OpenStatus::NoKeyOpens);
    others.insert(others.begin() + 57, key);
    const OpenResult opened = OpenPost(post, others);
    EXPECT_EQ(opened.status, OpenStatus::Opened);
    EXPECT_EQ(opened.keyIndex, 57u);
    EXPECT_EQ(opened.mood, "只给你看");
}

TEST(StrongPostTest, AnOverlongPayloadIsRefusedBeforeAnyKey) {
    // A post the key would open, one block longer than the longest mood
    // allows: refused by its length alone.
    const StrongKey key = NewStrongKey();
    const Nonce nonce = CountingNonce(1);
    Bytes plain(kMaxPaddedBytes + kPadBlock, 'a');
    plain[plain.size() - 1] = 0x80;
    const std::string post =
        CraftPost(nonce, ReferenceCommit(key, nonce), ReferenceAeadKey(key), plain);
    EXPECT_EQ(Open(post, key).status, OpenStatus::TooLong);
    // The same at the longest length opens.
    plain.resize(kMaxPaddedBytes);
    plain[plain.size() - 1] = 0x80;
    const OpenResult longest =
        Open(CraftPost(nonce, ReferenceCommit(key, nonce), ReferenceAeadKey(key), plain), key);
    EXPECT_EQ(longest.status, OpenStatus::Opened);
    EXPECT_EQ(longest.mood.size(), kMaxPaddedBytes - 1);
}

TEST(StrongPostTest, AuthenticContentThatIsNoMoodIsRefused) {
    // Written with the key, but not as the program writes: no padding, or
    // no UTF-8 inside.
    const StrongKey key = NewStrongKey();
    const Nonce nonce = CountingNonce(9);
    Bytes unpadded(32, 'a');
    Bytes notUtf8(32, 0);
    notUtf8[0] = 0xFF;
    notUtf8[1] = 0x80;
    for (const Bytes& plain : {unpadded, notUtf8}) {
        const OpenResult opened =
            Open(CraftPost(nonce, ReferenceCommit(key, nonce), ReferenceAeadKey(key), plain), key);
        EXPECT_EQ(opened.status, OpenStatus::Malformed);
        EXPECT_TRUE(opened.mood.empty());
    }
}

}  // namespace
