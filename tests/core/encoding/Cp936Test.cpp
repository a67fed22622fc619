#include "encoding/Cp936.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <bit>
#include <cstring>
#include <optional>

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

namespace {

// glibc's own conversion, the reference the table was made from.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or nullopt when iconv stops anywhere.
    std::optional<std::string> Convert(std::string_view input) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(input.size() * 4 + 8, '\0');
        char* src = const_cast<char*>(input.data());
        size_t srcLeft = input.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0)
            return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

std::string Utf16Bytes(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::u16string FromUtf16Bytes(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

}  // namespace

// The built-in table against glibc for every byte pair: where iconv makes one
// character of the two bytes, the table gives the same; everywhere else it
// gives "?" and uses up both bytes, as the conversion always has.
TEST(Cp936Table, EveryBytePairAgreesWithIconv) {
    Iconv fromAnsi(kUtf16, "CP936");
    ASSERT_TRUE(fromAnsi.ok());
    int characters = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const auto reference = fromAnsi.Convert(std::string_view(pair, 2));
            const auto l = static_cast<unsigned char>(lead);
            const auto t = static_cast<unsigned char>(trail);
            const std::u16string decoded = FromCp936(std::string_view(pair, 2));
            if (reference && reference->size() == 2) {
                const char16_t c = FromUtf16Bytes(*reference)[0];
                ASSERT_EQ(DecodePair(l, t), c) << std::hex << lead << " " << trail;
                ASSERT_EQ(decoded, std::u16string(1, c)) << std::hex << lead << " " << trail;
                ++characters;
            } else if (lead >= 0x81 && lead <= 0xFE) {
                ASSERT_EQ(DecodePair(l, t), u'?') << std::hex << lead << " " << trail;
                ASSERT_EQ(decoded, u"?") << std::hex << lead << " " << trail;
            } else {
                // 0x80 and 0xFF are no lead bytes: each is one "?", and the
                // byte after it stands on its own.
                ASSERT_EQ(DecodePair(l, t), u'?');
                ASSERT_EQ(decoded.size(), 2u);
                EXPECT_EQ(decoded[0], u'?');
            }
        }
    }
    EXPECT_EQ(characters, 21791);
}

// Every character of the Basic Multilingual Plane: its bytes and its ANSI
// value are what iconv makes of it, "?" (63) where iconv has none.
TEST(Cp936Table, EveryBmpCharacterAgreesWithIconv) {
    Iconv toAnsi("CP936", kUtf16);
    ASSERT_TRUE(toAnsi.ok());
    std::u16string all;
    std::string allBytes;
    for (char32_t u = 0; u < 0x10000; ++u) {
        const auto c = static_cast<char16_t>(u);
        const std::u16string one(1, c);
        std::string expected = "?";
        if (u < 0xD800 || u > 0xDFFF) {
            const auto reference = toAnsi.Convert(Utf16Bytes(one));
            // The euro sign is the lone byte 0x80, which the program's
            // formats have no place for.
            if (reference && !(reference->size() == 1 && (*reference)[0] == '\x80'))
                expected = *reference;
        }
        ASSERT_EQ(ToCp936(one), expected) << std::hex << static_cast<unsigned>(u);
        const int16_t value = expected.size() == 1
                                  ? static_cast<int16_t>(static_cast<unsigned char>(expected[0]))
                                  : static_cast<int16_t>(static_cast<uint16_t>(
                                        static_cast<unsigned char>(expected[0]) << 8 |
                                        static_cast<unsigned char>(expected[1])));
        ASSERT_EQ(AnsiValues(one), std::vector<int16_t>{value})
            << std::hex << static_cast<unsigned>(u);
        if (expected != "?" || c == u'?') {
            ASSERT_EQ(FromCp936(expected), one) << std::hex << static_cast<unsigned>(u);
        }
        all += c;
        allBytes += expected;
    }
    // The whole plane as one text converts as the characters one by one.
    EXPECT_EQ(ToCp936(all), allBytes);
}
