#include "encoding/Cp936.h"

#include <gtest/gtest.h>

using namespace velotan::encoding;

TEST(Cp936, AnsiValuesAreSignedAndOnePerUnit) {
    // a, 你 (C4 E3), CR, 啊 (B0 A1)
    auto v = AnsiValues(u"a你\r啊");
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], 97);
    EXPECT_EQ(v[1], static_cast<int16_t>(0xC4E3));
    EXPECT_LT(v[1], 0);
    EXPECT_EQ(v[2], 13);
    EXPECT_EQ(v[3], static_cast<int16_t>(0xB0A1));
}

TEST(Cp936, WhatTheCodePageCannotCarryBecomesQuestionMark) {
    // The euro sign would be the single byte 0x80; a character outside the
    // code page; a surrogate pair (two units); a lone surrogate.
    std::u16string text = u"€";
    text += u"\u0E01";         // Thai
    text += u"\U0001F600";     // emoji, two units
    text += char16_t(0xD800);  // lone high surrogate
    text += u"x";
    auto v = AnsiValues(text);
    ASSERT_EQ(v.size(), text.size());
    for (size_t i = 0; i + 1 < v.size(); ++i)
        EXPECT_EQ(v[i], 63) << i;
    EXPECT_EQ(v.back(), 'x');
    EXPECT_EQ(ToCp936(text), "?????x");
}

TEST(Cp936, DecodingGivesOneCharacterPerInvalidPair) {
    EXPECT_EQ(FromCp936("\xC4\xE3"
                        "a"),
              u"你a");
    EXPECT_EQ(FromCp936("\x80"), u"?");        // euro byte
    EXPECT_EQ(FromCp936("ab\xC4"), u"ab?");    // lead byte at the end
    EXPECT_EQ(FromCp936("\xC4\x20z"), u"?z");  // invalid trail byte: the pair goes
    EXPECT_EQ(FromCp936(std::string("\0A", 2)), std::u16string(u"\0A", 2));
}

TEST(Cp936, PairTableAgreesWithTheConversion) {
    EXPECT_EQ(DecodePair(0xC4, 0xE3), u'你');
    EXPECT_EQ(DecodePair(0x81, 0x7F), u'?');  // 0x7F is never a trail byte
    for (int lead = 0x81; lead <= 0xFE; lead += 7) {
        for (int trail = 0x40; trail <= 0xFE; trail += 5) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const auto text = FromCp936(std::string_view(pair, 2));
            EXPECT_EQ(std::u16string(1, DecodePair(static_cast<unsigned char>(lead),
                                                   static_cast<unsigned char>(trail))),
                      text.size() == 1 ? text : u"?");
        }
    }
}

TEST(Cp936, RoundTripsGb2312AndAscii) {
    std::u16string text = u"心情加密器 Hello, 世界\r\n【测试】“引号”……";
    EXPECT_EQ(FromCp936(ToCp936(text)), text);
}

TEST(Utf8, RejectsMalformedInput) {
    std::u16string out;
    EXPECT_TRUE(Utf8ToUtf16("a\xE4\xBD\xA0\xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, u"a你\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(out), "a\xE4\xBD\xA0\xF0\x9F\x98\x80");
    EXPECT_FALSE(Utf8ToUtf16("\xC0\xAF", out));      // overlong
    EXPECT_FALSE(Utf8ToUtf16("\xE4\xBD", out));      // cut short
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80", out));  // encoded surrogate
    EXPECT_FALSE(Utf8ToUtf16("\xFF", out));
}
