#include "cipher/NumberText.h"

#include <locale.h>

#include <gtest/gtest.h>

#include "common/CommaLocale.h"

using namespace velotan::cipher;

TEST(NumberText, LeadingNumberReadsLikeTheClassicConversion) {
    EXPECT_EQ(LeadingNumber(u"3693"), 3693);
    EXPECT_EQ(LeadingNumber(u"123abc"), 123);
    EXPECT_EQ(LeadingNumber(u" 1 2\t3\n4"), 1234);  // blanks anywhere are ignored
    EXPECT_EQ(LeadingNumber(u"-31-96"), -31);       // a second sign ends the number
    EXPECT_EQ(LeadingNumber(u"+7"), 7);
    EXPECT_EQ(LeadingNumber(u"12.5e1x"), 125);
    EXPECT_EQ(LeadingNumber(u"2E"), 2);  // an exponent without digits is not one
    EXPECT_EQ(LeadingNumber(u".5"), 0.5);
    EXPECT_EQ(LeadingNumber(u"abc"), 0);
    EXPECT_EQ(LeadingNumber(u""), 0);
    EXPECT_EQ(LeadingNumber(u"-"), 0);
    EXPECT_EQ(LeadingNumber(u"12\r"), 12);
    EXPECT_EQ(LeadingNumber(u"1e999"), 0);  // no infinity leaks out
}

TEST(NumberText, DoubleTextUsesFifteenSignificantDigits) {
    EXPECT_EQ(DoubleText(3), "3");
    EXPECT_EQ(DoubleText(-26), "-26");
    EXPECT_EQ(DoubleText(0.5), "0.5");
    EXPECT_EQ(DoubleText(-2.5), "-2.5");
    EXPECT_EQ(DoubleText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(DoubleText(3666.0 + 2.0 / 3), "3666.66666666667");
    EXPECT_EQ(DoubleText(1e15), "1E+15");
    EXPECT_EQ(DoubleText(0.00001), "1E-05");
    EXPECT_EQ(DoubleText(0.0001), "0.0001");
    EXPECT_EQ(DoubleText(0), "0");
}

TEST(NumberText, RoundsHalfToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(WholeNumber(u"66.5"), 66);
    EXPECT_EQ(WholeNumber(u"67.5"), 68);
    EXPECT_EQ(WholeNumber(u"-5"), -5);
    EXPECT_EQ(WholeNumber(u""), std::nullopt);
    EXPECT_EQ(WholeNumber(u"1E"), std::nullopt);
    EXPECT_EQ(WholeNumber(u"-"), std::nullopt);
}

TEST(NumberText, KeyNumbersAreWholeSixteenBitNumbers) {
    EXPECT_EQ(KeyNumber(u"3.5"), 4);
    EXPECT_EQ(KeyNumber(u" -32768 "), -32768);
    EXPECT_EQ(KeyNumber(u"32767.5"), std::nullopt);  // rounds to 32768
    EXPECT_EQ(KeyNumber(u"32766.5"), 32766);
    EXPECT_EQ(KeyNumber(u"40000"), std::nullopt);
    EXPECT_EQ(KeyNumber(u"12a"), std::nullopt);
    EXPECT_EQ(KeyNumber(u""), std::nullopt);
}

// The window toolkit takes the C locale from the environment; a German user
// would otherwise get "3,5" written and "3.5" read as 3.
TEST(NumberText, ReadsAndWritesThePointUnderACommaLocale) {
    velotan::testing::CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no comma-decimal locale installed (scripts/setup generates de_DE.UTF-8)";
    EXPECT_EQ(LeadingNumber(u"3.5x"), 3.5);
    EXPECT_EQ(LeadingNumber(u"12.5e1"), 125);
    EXPECT_EQ(WholeNumber(u"3.5"), 4);
    EXPECT_EQ(WholeNumber(u"2.5"), 2);
    EXPECT_EQ(WholeNumber(u"3,5"), std::nullopt);  // a comma is never a decimal point here
    EXPECT_EQ(DoubleText(0.5), "0.5");
    EXPECT_EQ(DoubleText(-2.5), "-2.5");
    EXPECT_EQ(DoubleText(3666.0 + 2.0 / 3), "3666.66666666667");
    EXPECT_EQ(DoubleText(0.00001), "1E-05");
}

// A locale set for this thread alone is overruled as well.
TEST(NumberText, ReadsAndWritesThePointUnderAThreadLocale) {
    locale_t german = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", locale_t{});
    if (german == locale_t{})
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    const locale_t previous = uselocale(german);
    const double read = LeadingNumber(u"3.5x");
    const std::string written = DoubleText(0.25);
    uselocale(previous);
    freelocale(german);
    EXPECT_EQ(read, 3.5);
    EXPECT_EQ(written, "0.25");
}
