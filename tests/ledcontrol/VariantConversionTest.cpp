#include "CheckedInt16.h"
#include "LedTestSupport.h"
#include "VariantConversion.h"

#include <gtest/gtest.h>

namespace vxled {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(40.714), 41);
    EXPECT_EQ(roundHalfEven(-0.4), 0);
}

TEST(VariantConversion, IntegersFromNumbersAndText) {
    EXPECT_EQ(toInt16(Variant()).value, std::int16_t{0});
    EXPECT_EQ(toInt16(std::int32_t{-32768}).value, std::int16_t{-32768});
    EXPECT_EQ(toInt16(QStringLiteral(" 12 ")).value, std::int16_t{12});
    EXPECT_EQ(toInt16(QStringLiteral("2.5")).value, std::int16_t{2});
    EXPECT_EQ(toInt32(3.5).value, 4);

    EXPECT_EQ(toInt16(std::int32_t{32768}).error, DISP_E_OVERFLOW);
    EXPECT_EQ(toInt16(QStringLiteral("abc")).error, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(toInt16(QString()).error, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(toInt32(3e9).error, DISP_E_OVERFLOW);
    EXPECT_FALSE(toInt32(3e9).value.has_value());
}

TEST(VariantConversion, TextFromAnything) {
    EXPECT_EQ(toText(Variant()).value, QString());
    EXPECT_EQ(toText(std::int16_t{-7}).value, QStringLiteral("-7"));
    EXPECT_EQ(toText(0.25).value, QStringLiteral("0.25"));
    EXPECT_EQ(toText(QStringLiteral("12.200")).value, QStringLiteral("12.200"));
}

TEST(CheckedInt16, OverflowAtAnyStepSticks) {
    const CheckedInt16 big(32000);
    EXPECT_FALSE((big + CheckedInt16(800)).ok());
    // Coming back into range later does not undo the overflow.
    EXPECT_FALSE((big + CheckedInt16(800) - CheckedInt16(800)).ok());
    EXPECT_EQ((big + CheckedInt16(767)).get(), std::int16_t{32767});
    EXPECT_FALSE((CheckedInt16(-1) * CheckedInt16(-32768)).ok());
    EXPECT_EQ((CheckedInt16(-1) * CheckedInt16(32767)).get(), std::int16_t{-32767});
}

}  // namespace
}  // namespace vxled
