// Pixels of the drawn panel: the twips geometry must come out as dots with
// a one-pixel background outline between neighbours, and on high-density
// images as dots of one size.

#include "DrawLed.h"
#include "ImageSurface.h"
#include "LedTestSupport.h"
#include "MyPLed.h"
#include "common/KeyCaptionGlyphs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

namespace vxled {
namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kUnlit = 0xFF033006;  // red 3, green 48, blue 6

// ---- the image surface on its own -----------------------------------------------

TEST(ImageSurface, MapsTwipsToPixelsAndOutlinesWithoutTouchingTheInside) {
    ImageSurface surface;
    surface.setBackColor(0x000000);
    surface.setSize(150, 150);  // 10 x 10 pixels
    ASSERT_EQ(surface.image().size(), QSize(10, 10));
    EXPECT_EQ(surface.image().pixel(5, 5), kBlack);

    surface.fillBox(75, 74, 15, 15, 0x00FF00);  // corners in either order
    surface.outlineBox(15, 15, 75, 74, 0x0000FF);
    const QImage& image = surface.image();
    EXPECT_EQ(image.pixel(1, 1), 0xFFFF0000);  // outline, red in 0x00BBGGRR terms
    EXPECT_EQ(image.pixel(5, 4), 0xFFFF0000);
    EXPECT_EQ(image.pixel(3, 3), kGreen);
    EXPECT_EQ(image.pixel(4, 3), kGreen);
    EXPECT_EQ(image.pixel(0, 0), kBlack);
    EXPECT_EQ(image.pixel(6, 6), kBlack);
}

TEST(ImageSurface, ClipsBoxesThatLeaveTheImage) {
    ImageSurface surface;
    surface.setSize(150, 150);
    surface.fillBox(-32768, -32768, 32767, 32767, 0xFFFFFF);
    surface.outlineBox(-300, -300, 30, 30, 0x0000FF);
    EXPECT_EQ(surface.image().pixel(9, 9), 0xFFFFFFFF);
    EXPECT_EQ(surface.image().pixel(2, 1), 0xFFFF0000);
    EXPECT_EQ(surface.image().pixel(1, 1), 0xFFFFFFFF);
}

TEST(ImageSurface, HigherPixelDensityKeepsTheTwipsGeometry) {
    ImageSurface surface;
    surface.setSize(2175, 295, 15.0, 2.0);
    EXPECT_EQ(surface.image().size(), QSize(290, 39));
    EXPECT_DOUBLE_EQ(surface.width(), 2175);
    EXPECT_DOUBLE_EQ(surface.twipsPerDevicePixel(), 7.5);
}

// ---- the settings window's panel --------------------------------------------------

using namespace velotan::testing::glyphs;

int px(int twips) {
    return static_cast<int>(std::floor(twips / 15.0));
}

class SettingsPanelPixels : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApplication();
        control_ = std::make_unique<MyPLed>();
        control_->setObjectName(QStringLiteral("lblChar"));
        control_->resize(145, 25);  // 2175 x 375 twips
        control_->show();
        ASSERT_DOUBLE_EQ(control_->Picture1()->twipsPerPixel(), 15.0);
        ASSERT_EQ(control_->PutProperty(MyPLedDispId::Caption, QStringLiteral("12.200")), S_OK);
        image_ = control_->Picture1()->image();
        ASSERT_EQ(image_.size(), QSize(145, 20));
    }

    // Pixel box of dot (r, c) of cell i, borders included.
    static QRect dotPixels(int cell, int r, int c) {
        const int x1 = 5 + (c - 1) * 41 + cell * 246;
        const int y1 = 5 + (r - 1) * 41;
        return QRect(QPoint(px(x1), px(y1)), QPoint(px(x1 + 41), px(y1 + 41)));
    }

    std::unique_ptr<MyPLed> control_;
    QImage image_;
};

TEST_F(SettingsPanelPixels, HandPickedDotsOfTheFirstCharacter) {
    // "1", row 1 = 00100. Dot (1,3) spans x 87..128, y 5..46 twips, i.e.
    // pixels 5..8 x 0..3 with a lit inside of 6..7 x 1..2.
    EXPECT_EQ(image_.pixel(6, 1), kGreen);
    EXPECT_EQ(image_.pixel(7, 2), kGreen);
    EXPECT_EQ(image_.pixel(5, 1), kBlack);
    EXPECT_EQ(image_.pixel(8, 1), kBlack);
    EXPECT_EQ(image_.pixel(6, 0), kBlack);
    EXPECT_EQ(image_.pixel(6, 3), kBlack);
    // Dot (1,1) is unlit: x 5..46 -> pixels 0..3, inside 1..2.
    EXPECT_EQ(image_.pixel(1, 1), kUnlit);
    EXPECT_EQ(image_.pixel(2, 2), kUnlit);
    // The bottom row of the surface is the last row's outline.
    for (int x = 0; x < image_.width(); ++x) {
        ASSERT_EQ(image_.pixel(x, 19), kBlack) << x;
    }
}

TEST_F(SettingsPanelPixels, EveryDotOfTheCaptionShowsItsPattern) {
    const char* const caption[] = {kOne, kTwo, kDot, kTwo, kZero, kZero};
    int lit = 0;
    for (int cell = 0; cell < 6; ++cell) {
        for (int r = 1; r <= 7; ++r) {
            for (int c = 1; c <= 5; ++c) {
                const bool on = caption[cell][(r - 1) * 5 + (c - 1)] == '1';
                const QRect box = dotPixels(cell, r, c);
                for (int y = box.top() + 1; y < box.bottom(); ++y) {
                    for (int x = box.left() + 1; x < box.right(); ++x) {
                        ASSERT_EQ(image_.pixel(x, y), on ? kGreen : kUnlit)
                            << "cell " << cell << " dot " << r << "," << c << " pixel " << x << ","
                            << y;
                        lit += on;
                    }
                }
            }
        }
    }
    EXPECT_GT(lit, 0);
}

TEST_F(SettingsPanelPixels, NeighbouringDotsAreSeparatedByBlackOutlines) {
    // Every boundary between two grid columns and two grid rows is one black
    // pixel line, whether the dots on either side are lit or not.
    for (int k = 0; k <= 53; ++k) {
        const int x = px(5 + k * 41);
        if (x >= image_.width()) {
            break;
        }
        for (int y = 0; y < image_.height(); ++y) {
            ASSERT_EQ(image_.pixel(x, y), kBlack) << "column line " << k << " at " << x << "," << y;
        }
    }
    for (int r = 0; r <= 7; ++r) {
        const int y = px(5 + r * 41);
        for (int x = 0; x < image_.width(); ++x) {
            ASSERT_EQ(image_.pixel(x, y), kBlack) << "row line " << r << " at " << x << "," << y;
        }
    }
}

TEST_F(SettingsPanelPixels, EmptyColumnsAndTheRestShowTheUnlitGrid) {
    // The sixth column of each cell and everything after the caption.
    for (int cell = 0; cell < 8; ++cell) {
        const QRect box = dotPixels(cell, 4, 6);
        if (box.right() >= image_.width()) {
            break;
        }
        EXPECT_EQ(image_.pixel(box.left() + 1, box.top() + 1), kUnlit) << cell;
    }
    const QRect after = dotPixels(6, 1, 1);
    EXPECT_EQ(image_.pixel(after.left() + 1, after.top() + 1), kUnlit);
}

TEST_F(SettingsPanelPixels, StripBelowTheSurfaceIsTheControlsOwn) {
    const QImage whole = control_->grab().toImage();
    ASSERT_EQ(whole.height(), 25);
    const QRgb strip = whole.pixel(20, 23);
    EXPECT_NE(strip, kBlack);
    EXPECT_NE(strip, kUnlit);
    EXPECT_EQ(strip, control_->palette().color(control_->backgroundRole()).rgb());
}

// ---- high-density screens ----------------------------------------------------------

// A stretch of one dot colour along a line of pixels.
struct ColourRun {
    int length;
    QRgb colour;
    bool cutByEdge;      // starts or ends at the image edge, so it may be clipped
    bool endsInOutline;  // background on both sides (or the image edge)
};

// The runs of dot colour met walking from `from` by `step` to the image edge.
std::vector<ColourRun> runsAlong(const QImage& image, QPoint from, QPoint step) {
    std::vector<ColourRun> runs;
    const auto inside = [&image](QPoint p) { return image.rect().contains(p); };
    QPoint p = from;
    while (inside(p)) {
        const QRgb colour = image.pixel(p);
        if (colour == kBlack) {
            p += step;
            continue;
        }
        const bool startsAtEdge = !inside(p - step);
        const bool blackBefore = startsAtEdge || image.pixel(p - step) == kBlack;
        int length = 0;
        while (inside(p) && image.pixel(p) == colour) {
            ++length;
            p += step;
        }
        const bool endsAtEdge = !inside(p);
        const bool blackAfter = endsAtEdge || image.pixel(p) == kBlack;
        runs.push_back({length, colour, startsAtEdge || endsAtEdge, blackBefore && blackAfter});
    }
    return runs;
}

// Lengths of the whole runs of `colour` (every dot colour when 0) along every
// row and every column of the image.
struct RunLengths {
    std::set<int> widths;
    std::set<int> heights;
};

RunLengths wholeRunLengths(const QImage& image, QRgb colour = 0) {
    RunLengths lengths;
    const auto collect = [colour](const std::vector<ColourRun>& runs, std::set<int>& into) {
        for (const ColourRun& run : runs) {
            if (!run.cutByEdge && (colour == 0 || run.colour == colour)) {
                into.insert(run.length);
            }
        }
    };
    for (int y = 0; y < image.height(); ++y) {
        collect(runsAlong(image, QPoint(0, y), QPoint(1, 0)), lengths.widths);
    }
    for (int x = 0; x < image.width(); ++x) {
        collect(runsAlong(image, QPoint(x, 0), QPoint(0, 1)), lengths.heights);
    }
    return lengths;
}

int litDotsOf(std::initializer_list<const char*> patterns) {
    int lit = 0;
    for (const char* pattern : patterns) {
        lit += static_cast<int>(std::count(pattern, pattern + 35, '1'));
    }
    return lit;
}

int pixelsOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == colour;
        }
    }
    return count;
}

// The panel as the control draws it on its picture box, at the given device
// pixel ratio and 96 dpi.
QImage renderPanel(const QString& caption, double widthTwips, double heightTwips,
                   qreal devicePixelRatio) {
    ImageSurface surface;
    surface.setBackColor(0x000000);
    surface.setSize(widthTwips, heightTwips, 15.0, devicePixelRatio);
    DrawLed(caption, surface, LedPosition{5, 5}, 0x0000FF00, 0x00063003, TextLeft);
    return surface.image();
}

class SettingsPanelAtHighDensity : public ::testing::TestWithParam<int> {};

TEST_P(SettingsPanelAtHighDensity, EveryDotHasTheSameWholeNumberOfPixels) {
    const int ratio = GetParam();
    // The settings window's control is 2175 x 375 twips; its surface lacks the
    // 80-twip strip.
    const QImage image = renderPanel(QStringLiteral("12.200"), 2175, 295, ratio);
    ASSERT_EQ(image.size(), QSize(qRound(2175.0 * ratio / 15), qRound(295.0 * ratio / 15)));
    EXPECT_DOUBLE_EQ(image.devicePixelRatio(), ratio);

    // Exact colours only: no blended edges.
    EXPECT_EQ(pixelsOf(image, kBlack) + pixelsOf(image, kGreen) + pixelsOf(image, kUnlit),
              image.width() * image.height());

    // Every dot inside, lit or not, along every row and column, is the same
    // square, and background separates it from its neighbours.
    const RunLengths lengths = wholeRunLengths(image);
    ASSERT_EQ(lengths.widths.size(), 1u) << "dot widths differ at ratio " << ratio;
    ASSERT_EQ(lengths.heights.size(), 1u) << "dot heights differ at ratio " << ratio;
    const int inside = *lengths.widths.begin();
    EXPECT_EQ(*lengths.heights.begin(), inside);
    // A 41-twip dot is 2.7 logical pixels; its inside loses one pixel row to
    // the outline at most.
    EXPECT_GE(inside, 41 * ratio / 15 - 2);
    for (int y = 0; y < image.height(); ++y) {
        for (const ColourRun& run : runsAlong(image, QPoint(0, y), QPoint(1, 0))) {
            ASSERT_TRUE(run.endsInOutline) << "row " << y;
        }
    }

    // All seven rows lie inside the image, whole, and the bottom line is
    // background.
    for (const int x : {image.width() / 3, image.width() / 2, image.width() - 4 * ratio}) {
        const std::vector<ColourRun> column = runsAlong(image, QPoint(x, 0), QPoint(0, 1));
        if (column.empty()) {
            continue;  // an outline column
        }
        EXPECT_EQ(column.size(), 7u) << "column " << x;
        for (const ColourRun& run : column) {
            EXPECT_FALSE(run.cutByEdge) << "column " << x;
        }
    }
    for (int x = 0; x < image.width(); ++x) {
        ASSERT_EQ(image.pixel(x, image.height() - 1), kBlack) << x;
    }

    // The caption's lit dots, each a full square.
    EXPECT_EQ(pixelsOf(image, kGreen),
              litDotsOf({kOne, kTwo, kDot, kTwo, kZero, kZero}) * inside * inside);
}

INSTANTIATE_TEST_SUITE_P(DevicePixelRatios, SettingsPanelAtHighDensity, ::testing::Values(2, 3));

TEST(LargePanelAtHighDensity, LitDotsWithGapsAreEvenToo) {
    // Dots of 413 twips with 41-twip gaps: 55.1 and 5.5 device pixels. Four
    // cells of 2560 twips fit the width.
    const QImage image = renderPanel(QStringLiteral("12.2"), 10000, 2900, 2.0);
    const RunLengths lit = wholeRunLengths(image, kGreen);
    ASSERT_EQ(lit.widths.size(), 1u);
    ASSERT_EQ(lit.heights.size(), 1u);
    const int inside = *lit.widths.begin();
    EXPECT_EQ(*lit.heights.begin(), inside);
    EXPECT_EQ(pixelsOf(image, kGreen), litDotsOf({kOne, kTwo, kDot, kTwo}) * inside * inside);
}

// ctest runs this once more under QT_SCALE_FACTOR=2, where the control's
// picture box gets a device pixel ratio of 2 from its screen.
TEST(SettingsPanelOnScreen, DrawsAtTheScreensPixelDensity) {
    ensureApplication();
    MyPLed control;
    control.resize(145, 25);  // 2175 x 375 twips at 96 dpi
    control.show();
    ASSERT_DOUBLE_EQ(control.Picture1()->twipsPerPixel(), 15.0);
    ASSERT_EQ(control.PutProperty(MyPLedDispId::Caption, QStringLiteral("12.200")), S_OK);
    const qreal ratio = control.Picture1()->devicePixelRatioF();
    const QImage image = control.Picture1()->image();

    EXPECT_DOUBLE_EQ(image.devicePixelRatio(), ratio);
    EXPECT_EQ(image, renderPanel(QStringLiteral("12.200"), 2175, 295, ratio));
    if (ratio >= 2) {
        const RunLengths lengths = wholeRunLengths(image);
        EXPECT_EQ(lengths.widths.size(), 1u);
        EXPECT_EQ(lengths.heights, lengths.widths);
    }
    // What the control shows on screen is its retained image; the box is
    // rounded to whole logical pixels, and what the image leaves of it shows
    // the background.
    const QImage shown = control.Picture1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shown.height(), image.height());
    ASSERT_EQ(shown.width(), image.width());
    EXPECT_EQ(shown.copy(image.rect()), image);
    for (int y = image.height(); y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            ASSERT_EQ(shown.pixel(x, y), kBlack) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace vxled
