#include "GlyphTable.h"
#include "LedTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vxled {
namespace {

const std::string kAllOff(35, '0');

std::string pattern(const QString& s) {
    return std::string(GetCharPattern(s));
}

// Row r (1 to 7) of a character's pattern.
std::string row(const QString& s, int r) {
    return pattern(s).substr((r - 1) * 5, 5);
}

int litDots(const std::string& p) {
    int n = 0;
    for (char c : p) {
        n += c == '1';
    }
    return n;
}

TEST(GlyphTable, CoversExactlyTheFontCharactersAmongAllCodeUnits) {
    std::set<char16_t> lit;
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        const QChar ch(static_cast<char16_t>(u));
        const std::string p = pattern(QString(ch));
        ASSERT_EQ(p.size(), 35u) << "code unit " << static_cast<unsigned>(u);
        ASSERT_EQ(p.find_first_not_of("01"), std::string::npos)
            << "code unit " << static_cast<unsigned>(u);
        if (p != kAllOff) {
            lit.insert(static_cast<char16_t>(u));
        }
    }
    std::set<char16_t> expected;
    for (const char c : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                    "abcdefghijklmnopqrstuvwxyz-.:!?")) {
        expected.insert(static_cast<char16_t>(c));
    }
    EXPECT_EQ(lit, expected);
    EXPECT_EQ(lit.size(), 67u);
}

TEST(GlyphTable, EverythingElseIsAllOff) {
    for (const QString& s :
         {QStringLiteral(" "), QStringLiteral("#"), QStringLiteral("+"), QStringLiteral(","),
          QStringLiteral("é"), QStringLiteral("中"), QString(), QStringLiteral("12"),
          QStringLiteral("aa"), QString(QChar(0xD83D)), QStringLiteral("\U0001F600")}) {
        EXPECT_EQ(pattern(s), kAllOff) << s.toStdString();
    }
}

TEST(GlyphTable, CapitalAndSmallLettersDiffer) {
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QString capital(QChar::fromLatin1(c));
        EXPECT_NE(pattern(capital), pattern(capital.toLower())) << c;
    }
    EXPECT_EQ(pattern(QStringLiteral("a")).substr(0, 10), std::string(10, '0'));
}

TEST(GlyphTable, SmallLettersWithoutAscenderUseRowsThreeToSeven) {
    for (const char c : std::string("aceg mnopqrsuvwxyz")) {
        if (c == ' ') {
            continue;
        }
        const QString s(QChar::fromLatin1(c));
        EXPECT_EQ(row(s, 1), "00000") << c;
        EXPECT_EQ(row(s, 2), "00000") << c;
        EXPECT_NE(row(s, 7), "00000") << c << " has no descender and ends on row 7";
    }
    for (const char c : std::string("bdfhiklt")) {
        EXPECT_NE(row(QString(QChar::fromLatin1(c)), 1), "00000") << c;
    }
}

TEST(GlyphTable, PunctuationLightsOnlyItsDots) {
    EXPECT_EQ(pattern(QStringLiteral(".")), std::string(32, '0') + "100");
    EXPECT_EQ(row(QStringLiteral(":"), 5), "00100");
    EXPECT_EQ(row(QStringLiteral(":"), 7), "00100");
    EXPECT_EQ(litDots(pattern(QStringLiteral(":"))), 2);
    EXPECT_EQ(row(QStringLiteral("-"), 4), "01110");
    EXPECT_EQ(litDots(pattern(QStringLiteral("-"))), 3);
}

TEST(GlyphTable, IrregularShapesAreKept) {
    // Deliberate quirks of the font, easy to "correct" by mistake.
    EXPECT_EQ(row(QStringLiteral("V"), 4), "01001");
    EXPECT_EQ(row(QStringLiteral("7"), 2), "10001");
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(row(QStringLiteral("4"), r), "10001");
    }
}

TEST(GlyphTable, SampleGlyphsMatchTheFont) {
    EXPECT_EQ(pattern(QStringLiteral("0")), "01110100011001110101110011000101110");
    EXPECT_EQ(pattern(QStringLiteral("2")), "01110100010000100110010001000011111");
    EXPECT_EQ(pattern(QStringLiteral("g")), "00000000000111010001011110000101110");
    EXPECT_EQ(pattern(QStringLiteral("?")), "01110100010001000100001000000000100");
}

}  // namespace
}  // namespace vxled
