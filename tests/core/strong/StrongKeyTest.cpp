// Strong keys and their text form.

#include <gtest/gtest.h>

#include <set>

#include "strong/StrongKey.h"

namespace {

using namespace velotan::strong;

StrongKey Counting() {
    StrongKey key;
    for (size_t i = 0; i < key.bytes.size(); ++i)
        key.bytes[i] = static_cast<unsigned char>(i);
    return key;
}

TEST(StrongKeyTest, NewKeysAreRandom) {
    std::set<std::array<unsigned char, kKeyBytes>> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(NewStrongKey().bytes);
    EXPECT_EQ(seen.size(), 50u);
}

TEST(StrongKeyTest, KeyTextIsPrefixAndBase64UrlOfKeyAndChecksum) {
    const std::string text = KeyText(Counting());
    ASSERT_EQ(text.size(), kKeyTextLength);
    EXPECT_EQ(text.substr(0, 5), "QLK1:");
    // The test vector of docs/strong-posts.md: the 32 bytes 00..1f, and the
    // checksum b3 f1 38 4e.
    EXPECT_EQ(text, "QLK1:AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh-z8ThO");
    EXPECT_EQ(text.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", 5),
              std::string::npos);
}

TEST(StrongKeyTest, KeyTextReadsBack) {
    for (int i = 0; i < 20; ++i) {
        const StrongKey key = NewStrongKey();
        const ParsedKey parsed = ParseKeyText(KeyText(key));
        ASSERT_EQ(parsed.error, KeyTextError::None);
        EXPECT_EQ(parsed.key, key);
    }
}

TEST(StrongKeyTest, BlanksAroundAndInsideAreIgnored) {
    const std::string text = KeyText(Counting());
    const std::string wrapped =
        text.substr(0, 20) + "\r\n" + text.substr(20, 10) + "\u3000\u00A0\u200B" + text.substr(30);
    for (const std::string& form :
         {"  " + text + "\n", "\t" + wrapped + " ", "QLK1\uFF1A" + text.substr(5)}) {
        const ParsedKey parsed = ParseKeyText(form);
        EXPECT_EQ(parsed.error, KeyTextError::None) << form;
        EXPECT_EQ(parsed.key, Counting()) << form;
    }
}

struct BadKey {
    std::string name;
    std::string text;
    KeyTextError error;
};

TEST(StrongKeyTest, BadKeyTextsAreRefusedWithTheirReason) {
    const std::string good = KeyText(Counting());
    const std::string body = good.substr(5);
    std::string changed = good;
    changed[20] = changed[20] == 'A' ? 'B' : 'A';
    const std::vector<BadKey> cases = {
        {"empty", "", KeyTextError::Empty},
        {"blanks", " \r\n\u3000", KeyTextError::Empty},
        {"changed character", changed, KeyTextError::ChecksumMismatch},
        {"cut", good.substr(0, good.size() - 1), KeyTextError::WrongLength},
        {"cut short", good.substr(0, 30), KeyTextError::WrongLength},
        {"one too many", good + "A", KeyTextError::WrongLength},
        {"no prefix", body, KeyTextError::WrongPrefix},
        {"wrong prefix", "QLK2:" + body, KeyTextError::WrongPrefix},
        {"lower case prefix", "qlk1:" + body, KeyTextError::WrongPrefix},
        {"prefix only", "QLK1:", KeyTextError::WrongLength},
        {"standard base64", "QLK1:" + body.substr(0, 10) + "+" + body.substr(11),
         KeyTextError::BadCharacters},
        {"padding", good + "=", KeyTextError::BadCharacters},
    };
    for (const BadKey& c : cases) {
        const ParsedKey parsed = ParseKeyText(c.text);
        EXPECT_EQ(parsed.error, c.error) << c.name;
        EXPECT_FALSE(parsed.key) << c.name;
        EXPECT_FALSE(KeyTextErrorMessage(c.error).empty()) << c.name;
    }
}

TEST(StrongKeyTest, EveryChangedCharacterIsRefused) {
    const std::string good = KeyText(NewStrongKey());
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    for (size_t pos = 5; pos < good.size(); ++pos) {
        for (char c : alphabet) {
            if (c == good[pos])
                continue;
            std::string text = good;
            text[pos] = c;
            const ParsedKey parsed = ParseKeyText(text);
            ASSERT_FALSE(parsed.key) << pos << " " << c;
            ASSERT_EQ(parsed.error, KeyTextError::ChecksumMismatch) << pos << " " << c;
        }
    }
}

TEST(StrongKeyTest, MessagesNameTheReason) {
    EXPECT_NE(KeyTextErrorMessage(KeyTextError::WrongPrefix).find("QLK1:"), std::string::npos);
    EXPECT_NE(KeyTextErrorMessage(KeyTextError::WrongLength).find("48"), std::string::npos);
    EXPECT_NE(KeyTextErrorMessage(KeyTextError::ChecksumMismatch).find("校验"), std::string::npos);
    EXPECT_TRUE(KeyTextErrorMessage(KeyTextError::None).empty());
}

}  // namespace
