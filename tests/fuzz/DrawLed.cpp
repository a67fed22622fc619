// DrawLed on a recording surface with any caption, surface size, position,
// colours and alignment. The panel is cleared once and first; every dot is a
// filled box in the lit or the unlit colour followed by its outline in the
// background colour over the same corners; every coordinate handed to the
// surface is one of 16 bits; and the number of dots stays within the grid
// plus 35 per caption character.
//
// Input: width and height (4 bytes each, twips times 16, signed), left and
// top (2 each), lit, unlit and background colour (4 each), alignment (1
// byte: 0-199 pick TextLeft or TextRight, above that 4 more bytes give any
// value), then the caption as raw UTF-16.

#include <cmath>
#include <cstdint>

#include "DrawLed.h"
#include "FuzzSupport.h"
#include "LedSurface.h"

namespace {

class CheckingSurface final : public vxled::LedSurface {
  public:
    CheckingSurface(double width, double height, vxled::OleColor back, vxled::OleColor lit,
                    vxled::OleColor unlit)
        : width_(width), height_(height), back_(back), lit_(lit), unlit_(unlit) {}

    void clear() override {
        FUZZ_CHECK(clears == 0 && fills == 0 && outlines == 0);
        ++clears;
    }
    void fillBox(double x1, double y1, double x2, double y2, vxled::OleColor colour) override {
        FUZZ_CHECK(clears == 1);
        FUZZ_CHECK(fills == outlines);
        FUZZ_CHECK(colour == lit_ || colour == unlit_);
        Check(x1, y1, x2, y2);
        last_[0] = x1, last_[1] = y1, last_[2] = x2, last_[3] = y2;
        ++fills;
    }
    void outlineBox(double x1, double y1, double x2, double y2, vxled::OleColor colour) override {
        FUZZ_CHECK(fills == outlines + 1);
        FUZZ_CHECK(colour == back_);
        FUZZ_CHECK(x1 == last_[0] && y1 == last_[1] && x2 == last_[2] && y2 == last_[3]);
        ++outlines;
    }
    double width() const override { return width_; }
    double height() const override { return height_; }
    vxled::OleColor backColor() const override { return back_; }

    int clears = 0;
    long fills = 0;
    long outlines = 0;

  private:
    static void Check(double x1, double y1, double x2, double y2) {
        for (double v : {x1, y1, x2, y2}) {
            FUZZ_CHECK(v == std::trunc(v) && v >= -32768 && v <= 32767);
        }
    }
    double width_, height_;
    vxled::OleColor back_, lit_, unlit_;
    double last_[4] = {};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput in(data, size);
    const double width = static_cast<int32_t>(in.U32()) / 16.0;
    const double height = static_cast<int32_t>(in.U32()) / 16.0;
    vxled::LedPosition position;
    position.left = static_cast<int16_t>(in.U16());
    position.top = static_cast<int16_t>(in.U16());
    const vxled::OleColor lit = in.U32();
    const vxled::OleColor unlit = in.U32();
    const vxled::OleColor back = in.U32();
    const uint8_t pick = in.Byte();
    const int32_t alignment = pick < 200 ? pick % 2 : static_cast<int32_t>(in.U32());
    const std::u16string units = fuzz::TextFrom(in.Rest(), true);
    const QString caption = QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
    const QString before = caption;

    CheckingSurface surface(width, height, back, lit, unlit);
    vxled::DrawLed(caption, surface, position, lit, unlit, alignment);

    FUZZ_CHECK(caption == before);
    FUZZ_CHECK(surface.clears == 1);
    FUZZ_CHECK(surface.fills == surface.outlines);
    const vxled::LedLayout layout =
        vxled::ComputeLedLayout(width, height, position, caption.size(), alignment);
    if (!layout.showsText) {
        FUZZ_CHECK(surface.fills == 0);
    } else {
        const long grid = layout.gridColumns > 0 ? 7L * layout.gridColumns : 0;
        FUZZ_CHECK(surface.fills <= grid + 35L * caption.size());
    }
    return 0;
}
