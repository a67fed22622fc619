#include "DrawLed.h"
#include "LedTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vxled {
namespace {

constexpr OleColor kBack = 0x000000;
constexpr OleColor kLit = 0x00FF00;
constexpr OleColor kUnlit = 0x063003;
constexpr LedPosition kPanelPosition{5, 5};

using Kind = RecordingSurface::Kind;

RecordingSurface draw(double width, double height, const QString& caption,
                      LedPosition position = kPanelPosition, std::int32_t alignment = TextLeft) {
    RecordingSurface surface(width, height, kBack);
    DrawLed(caption, surface, position, kLit, kUnlit, alignment);
    return surface;
}

// ---- the computed quantities --------------------------------------------------

TEST(LedLayout, SettingsPanelSurface) {
    const LedLayout layout = ComputeLedLayout(2175, 295, kPanelPosition, 6, TextLeft);
    EXPECT_EQ(layout.dotSize, 41);  // 285 / 7 = 40.71
    EXPECT_EQ(layout.gap, 0);
    EXPECT_EQ(layout.gridColumns, 80);  // 79.57
    EXPECT_EQ(layout.pitch, 246);
    EXPECT_EQ(layout.rightOffset, 0);
}

TEST(LedLayout, GapBelowFortyIsDropped) {
    const LedLayout layout = ComputeLedLayout(3015, 1335, kPanelPosition, 1, TextLeft);
    EXPECT_EQ(layout.dotSize, 189);
    EXPECT_EQ(layout.gap, 0);  // 18 would be too small to show
}

TEST(LedLayout, LargeDotsKeepTheirGap) {
    const LedLayout layout = ComputeLedLayout(10000, 2900, kPanelPosition, 1, TextLeft);
    EXPECT_EQ(layout.dotSize, 413);
    EXPECT_EQ(layout.gap, 41);
    EXPECT_EQ(layout.pitch, 2560);
}

TEST(LedLayout, GapStartsAtDotsOfFourHundred) {
    // G = D / 10 rounded down, kept from 40 on: D 400 to 409 all give 40.
    for (int d = 400; d <= 409; ++d) {
        const LedLayout layout = ComputeLedLayout(10000, 7.0 * d, {0, 0}, 1, TextLeft);
        ASSERT_EQ(layout.dotSize, d);
        EXPECT_EQ(layout.gap, 40) << "D = " << d;
    }
    EXPECT_EQ(ComputeLedLayout(10000, 7.0 * 410, {0, 0}, 1, TextLeft).gap, 41);
    EXPECT_EQ(ComputeLedLayout(10000, 7.0 * 399, {0, 0}, 1, TextLeft).gap, 0);
}

TEST(LedLayout, TextRightOffsetCountsSixColumnsPerCharacter) {
    const LedLayout layout = ComputeLedLayout(2175, 295, kPanelPosition, 6, TextRight);
    EXPECT_EQ(layout.rightOffset, 697);  // 53 * 41 - 6 * 246
}

TEST(LedLayout, RoundsHalvesToEven) {
    // Heights that put D exactly halfway: 6.5 -> 6, 7.5 -> 8.
    EXPECT_EQ(ComputeLedLayout(100, 45.5, {0, 0}, 0, TextLeft).dotSize, 6);
    EXPECT_EQ(ComputeLedLayout(100, 52.5, {0, 0}, 0, TextLeft).dotSize, 8);
    // D = 3: widths 5 and 7 give 2.5 -> 2 and 3.5 -> 4 columns.
    EXPECT_EQ(ComputeLedLayout(5, 21, {0, 0}, 0, TextLeft).gridColumns, 2);
    EXPECT_EQ(ComputeLedLayout(7, 21, {0, 0}, 0, TextLeft).gridColumns, 4);
}

TEST(LedLayout, TooLowSurfaceLeavesEverythingAtZero) {
    const LedLayout zero = ComputeLedLayout(2175, 10, kPanelPosition, 3, TextRight);
    EXPECT_EQ(zero.dotSize, 0);
    EXPECT_EQ(zero.gridColumns, 0);
    EXPECT_EQ(zero.rightOffset, 0);

    const LedLayout negative = ComputeLedLayout(2175, 0, kPanelPosition, 3, TextLeft);
    EXPECT_EQ(negative.dotSize, -1);
    EXPECT_LT(negative.gridColumns, 0);
}

TEST(LedLayout, OverflowingQuantitiesStayZero) {
    // 2 * T leaves 16 bits, so D cannot be computed.
    EXPECT_EQ(ComputeLedLayout(2175, 295, {5, 20000}, 1, TextLeft).dotSize, 0);
    // A right offset beyond 16 bits stays 0.
    EXPECT_EQ(ComputeLedLayout(100000, 295, kPanelPosition, 1, TextRight).rightOffset, 0);
}

TEST(LedLayout, PitchBeyondSixteenBitsStaysZero) {
    // D = 37100 / 7 = 5300, G = 530: 6 * D + 2 * G = 32860 does not fit.
    const LedLayout layout = ComputeLedLayout(2175, 37110, kPanelPosition, 1, TextLeft);
    EXPECT_EQ(layout.dotSize, 5300);
    EXPECT_EQ(layout.gap, 530);
    EXPECT_EQ(layout.pitch, 0);
    EXPECT_EQ(layout.gridColumns, 1);  // 0.62
}

// ---- what is drawn --------------------------------------------------------------

TEST(DrawLed, ClearsFirstAndDrawsEveryDotAsFillThenOutline) {
    const RecordingSurface s = draw(2175, 295, QStringLiteral("1"));
    ASSERT_FALSE(s.ops.empty());
    EXPECT_EQ(s.ops.front().kind, Kind::Clear);
    ASSERT_EQ((s.ops.size() - 1) % 2, 0u);
    for (std::size_t n = 1; n < s.ops.size(); n += 2) {
        const auto& fill = s.ops[n];
        const auto& outline = s.ops[n + 1];
        ASSERT_EQ(fill.kind, Kind::Fill);
        ASSERT_EQ(outline.kind, Kind::Outline);
        EXPECT_EQ(std::tie(fill.x1, fill.y1, fill.x2, fill.y2),
                  std::tie(outline.x1, outline.y1, outline.x2, outline.y2));
        EXPECT_EQ(outline.colour, kBack);
    }
    // 7 * 80 grid dots and 35 dots of the one character.
    EXPECT_EQ(s.fills().size(), 560u + 35u);
}

TEST(DrawLed, GridSpansSevenRowsBetweenTheMargins) {
    const RecordingSurface s = draw(2175, 295, QString());
    const auto fills = s.fills();
    ASSERT_EQ(fills.size(), 560u);
    double top = 1e9, bottom = -1e9, left = 1e9, right = -1e9;
    for (const auto& f : fills) {
        EXPECT_EQ(f.colour, kUnlit);
        top = std::min(top, f.y1);
        bottom = std::max(bottom, f.y2);
        left = std::min(left, f.x1);
        right = std::max(right, f.x2);
    }
    EXPECT_EQ(top, 5);
    EXPECT_EQ(bottom, 292);
    EXPECT_EQ(left, 5 - 246);  // one cell left of LedLeft
    EXPECT_EQ(right, 5 - 246 + 80 * 41);
}

TEST(DrawLed, EmptyCaptionLeavesOnlyTheGrid) {
    const RecordingSurface s = draw(2175, 295, QString());
    EXPECT_TRUE(s.fillsIn(kLit).empty());
    EXPECT_EQ(s.fillsIn(kUnlit).size(), 560u);
}

TEST(DrawLed, OtherAlignmentsShowOnlyTheBackground) {
    for (const std::int32_t alignment : {2, -1, 1000}) {
        const RecordingSurface s =
            draw(2175, 295, QStringLiteral("12.200"), kPanelPosition, alignment);
        ASSERT_EQ(s.ops.size(), 1u) << alignment;
        EXPECT_EQ(s.ops.front().kind, Kind::Clear);
    }
}

TEST(DrawLed, CharacterCellsFollowThePatternAndThePitch) {
    const RecordingSurface s = draw(2175, 295, QStringLiteral("1."));
    const auto lit = s.fillsIn(kLit);
    // "1" has 10 lit dots, "." one.
    ASSERT_EQ(lit.size(), 11u);
    // Row 1 of "1" is 00100: the first lit dot is column 3 of cell 0.
    EXPECT_EQ(lit.front().x1, 5 + 2 * 41);
    EXPECT_EQ(lit.front().y1, 5);
    EXPECT_EQ(lit.front().x2, 5 + 3 * 41);
    EXPECT_EQ(lit.front().y2, 5 + 41);
    // "." lights row 7, column 3 of cell 1.
    EXPECT_EQ(lit.back().x1, 5 + 2 * 41 + 246);
    EXPECT_EQ(lit.back().y1, 5 + 6 * 41);
}

TEST(DrawLed, WithoutGapTextDotsSitExactlyOnGridDots) {
    const RecordingSurface s = draw(2175, 295, QStringLiteral("12.200"));
    const auto fills = s.fills();
    const std::vector<RecordingSurface::Op> grid(fills.begin(), fills.begin() + 560);
    for (auto it = fills.begin() + 560; it != fills.end(); ++it) {
        const bool onGrid = std::any_of(grid.begin(), grid.end(), [&](const auto& g) {
            return g.x1 == it->x1 && g.y1 == it->y1 && g.x2 == it->x2 && g.y2 == it->y2;
        });
        EXPECT_TRUE(onGrid) << "text dot at " << it->x1 << "," << it->y1;
    }
}

TEST(DrawLed, LargeDotsAreSeparatedByTheGap) {
    const RecordingSurface s = draw(10000, 2900, QStringLiteral("8"));
    const auto fills = s.fills();
    const auto& firstText = fills[fills.size() - 35];
    EXPECT_EQ(firstText.x1, 5);
    EXPECT_EQ(firstText.x2 - firstText.x1, 372);
    EXPECT_EQ(firstText.y2 - firstText.y1, 372);
    const auto& nextInRow = fills[fills.size() - 34];
    EXPECT_EQ(nextInRow.x1 - firstText.x2, 41);
}

TEST(DrawLed, TextRightShiftsCellsButNotTheGrid) {
    const RecordingSurface s = draw(2175, 295, QStringLiteral("123456"), kPanelPosition, TextRight);
    const auto fills = s.fills();
    ASSERT_EQ(fills.size(), 560u + 6 * 35);
    EXPECT_EQ(fills.front().x1, 5 - 246);  // grid unshifted
    const auto& firstCellDot = fills[560];
    EXPECT_EQ(firstCellDot.x1, 5 + 697);
    // The last cell, empty column included, ends 3 twips past the edge.
    const auto& lastDot = fills.back();
    EXPECT_EQ(lastDot.x2 + 41, 2175 + 3);
}

TEST(DrawLed, SurrogatePairTakesTwoUnlitCells) {
    const QString emoji = QStringLiteral("\U0001F600");
    ASSERT_EQ(emoji.size(), 2);
    const RecordingSurface left = draw(2175, 295, emoji);
    EXPECT_EQ(left.fills().size(), 560u + 70u);
    EXPECT_TRUE(left.fillsIn(kLit).empty());

    const RecordingSurface right = draw(2175, 295, emoji, kPanelPosition, TextRight);
    EXPECT_EQ(right.fills()[560].x1, 5 + (2173 - 2 * 246));
}

TEST(DrawLed, DotWhoseArithmeticOverflowsIsSkipped) {
    // L = 32000: x2 = L + c*D overflows from column 19 on, even where adding
    // the cell start (-246) would bring it back in range.
    const RecordingSurface s = draw(2175, 295, QString(), LedPosition{32000, 5});
    const auto fills = s.fills();
    ASSERT_EQ(fills.size(), 7u * 18u);
    EXPECT_EQ(fills[17].x1, 32000 + 17 * 41 - 246);
    EXPECT_EQ(fills[18].y1, 5 + 41);  // next row starts after column 18
}

TEST(DrawLed, CellsBeyondSixteenBitsAreNotDrawn) {
    // Cell 133 starts at 32723 twips, so only its first column fits in 16
    // bits; from cell 134 on i * 246 itself overflows. Drawing goes on quietly.
    const RecordingSurface s = draw(2175, 295, QString(140, QLatin1Char('8')));
    EXPECT_EQ(s.fills().size(), 560u + 133u * 35u + 7u);
}

TEST(DrawLed, PitchThatCannotBeComputedStillDrawsTheDotsThatFit) {
    // P stays 0, so the grid column and the first cell both start at L. Row 7
    // is left out everywhere: T + 7 * D leaves 16 bits.
    const RecordingSurface s = draw(2175, 37110, QStringLiteral("8"));
    const auto fills = s.fills();
    ASSERT_EQ(fills.size(), 6u + 5u * 6u);
    EXPECT_EQ(fills.front().x1, 5);
    EXPECT_EQ(fills.front().x2, 5 + 5300 - 530);
    EXPECT_EQ(fills[5].y1, 5 + 5 * 5300);
    // Row 1 of "8" is 01110: its second column is the first lit dot.
    const auto lit = s.fillsIn(kLit);
    ASSERT_FALSE(lit.empty());
    EXPECT_EQ(lit.front().x1, 5 + 5300);
    EXPECT_EQ(lit.front().y1, 5);
    EXPECT_EQ(fills.back().y2, 5 + 6 * 5300 - 530);
}

TEST(DrawLed, OutlineReadsTheBackgroundForEachDot) {
    RecordingSurface s(2175, 295, kBack);
    s.changingBackColor = true;
    DrawLed(QStringLiteral("1"), s, kPanelPosition, kLit, kUnlit, TextLeft);
    const auto outlines = s.outlines();
    ASSERT_EQ(outlines.size(), 595u);
    EXPECT_NE(outlines.front().colour, outlines.back().colour);
    EXPECT_EQ(s.backColorReads, 595);
}

TEST(DrawLed, WideDotsLeaveTheRightPartBare) {
    // 1000 x 1000: D = 141, N = 11, grid from -841 to 710.
    const RecordingSurface s = draw(1000, 1000, QString(), LedPosition{5, 5});
    const auto fills = s.fills();
    ASSERT_EQ(fills.size(), 77u);
    EXPECT_EQ(fills.front().x1, -841);
    EXPECT_EQ(fills[10].x2, 710);
}

TEST(DrawLed, TooLowSurfaceDrawsNoGrid) {
    EXPECT_EQ(draw(2175, 10, QString()).ops.size(), 1u);
    EXPECT_EQ(draw(2175, 0, QString()).ops.size(), 1u);
}

}  // namespace
}  // namespace vxled
