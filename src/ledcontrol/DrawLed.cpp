#include "DrawLed.h"

#include "GlyphTable.h"
#include "VariantConversion.h"

#include <cmath>

namespace vxled {

namespace {

constexpr std::int64_t kInt32Min = INT32_MIN;
constexpr std::int64_t kInt32Max = INT32_MAX;

bool fits32(std::int64_t v) {
    return v >= kInt32Min && v <= kInt32Max;
}

// Floating value rounded half to even into 16 bits; nothing when it does not
// fit (a failed assignment keeps the old value).
std::optional<std::int16_t> roundTo16(double x) {
    if (!std::isfinite(x)) {
        return std::nullopt;
    }
    const double r = roundHalfEven(x);
    if (r < INT16_MIN || r > INT16_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(r);
}

std::optional<std::int16_t> computeRightOffset(double width, std::int16_t d, qsizetype length) {
    if (d == 0 || !std::isfinite(width)) {
        return std::nullopt;
    }
    const double w = roundHalfEven(width);
    if (w < static_cast<double>(kInt32Min) || w > static_cast<double>(kInt32Max)) {
        return std::nullopt;
    }
    // Whole dot columns that fit the width, less six columns per character:
    // the last cell's empty column then ends near the right edge.
    const std::int64_t whole = static_cast<std::int64_t>(w) / d * d;
    const std::int64_t perChar = std::int64_t{6} * d;
    const std::int64_t text = perChar * static_cast<std::int64_t>(length);
    if (!fits32(length) || !fits32(text)) {
        return std::nullopt;
    }
    const std::int64_t r = whole - text;
    if (!fits32(r) || r < INT16_MIN || r > INT16_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(r);
}

class DotPainter {
  public:
    DotPainter(LedSurface& surface, const LedLayout& layout, LedPosition position)
        : surface_(surface),
          d_(layout.dotSize),
          g_(layout.gap),
          p_(layout.pitch),
          l_(position.left),
          t_(position.top) {}

    // Dot (row, column) of cell i; offset is R for text cells, 0 for the grid.
    // Coordinates follow the defining formulas step by step, left to right,
    // so an intermediate overflow is caught even when the end result would
    // be back in range.
    void dot(std::int16_t row, std::int16_t column, CheckedInt16 cell, CheckedInt16 offset,
             OleColor colour) {
        const CheckedInt16 one(1);
        const CheckedInt16 r(row);
        const CheckedInt16 c(column);
        const CheckedInt16 cellStart = cell * p_;
        const CheckedInt16 x1 = l_ + (c - one) * d_ + cellStart + offset;
        const CheckedInt16 y1 = t_ + (r - one) * d_;
        const CheckedInt16 x2 = l_ + c * d_ - g_ + cellStart + offset;
        const CheckedInt16 y2 = t_ + r * d_ - g_;
        if (!x1.ok() || !y1.ok() || !x2.ok() || !y2.ok()) {
            return;
        }
        surface_.fillBox(x1.value(), y1.value(), x2.value(), y2.value(), colour);
        // The outline takes the colour the surface has now, dot by dot.
        surface_.outlineBox(x1.value(), y1.value(), x2.value(), y2.value(), surface_.backColor());
    }

  private:
    LedSurface& surface_;
    CheckedInt16 d_;
    CheckedInt16 g_;
    CheckedInt16 p_;
    CheckedInt16 l_;
    CheckedInt16 t_;
};

}  // namespace

LedLayout ComputeLedLayout(double surfaceWidth, double surfaceHeight, LedPosition position,
                           qsizetype captionLength, std::int32_t alignment) {
    LedLayout layout;

    // Seven rows fill the height less the top and the equal bottom margin.
    const CheckedInt16 margins = CheckedInt16(2) * CheckedInt16(position.top);
    if (margins.ok()) {
        if (const auto d = roundTo16((surfaceHeight - margins.value()) / 7.0)) {
            layout.dotSize = *d;
        }
    }

    // Gaps only once dots are large enough to show them.
    const double g = std::floor(layout.dotSize / 10.0);
    layout.gap = g < 40 ? 0 : static_cast<std::int16_t>(g);

    // 1.5 times as many grid columns as fit the width, so the grid still covers
    // the surface after starting one cell left of the text.
    if (layout.dotSize != 0) {
        if (const auto n = roundTo16(surfaceWidth / layout.dotSize * 1.5)) {
            layout.gridColumns = *n;
        }
    }

    // Very tall dots can take the pitch beyond 16 bits; it then stays 0, so
    // every cell lands on the first one and each dot is still checked on its
    // own.
    const CheckedInt16 pitch =
        CheckedInt16(6) * CheckedInt16(layout.dotSize) + CheckedInt16(2) * CheckedInt16(layout.gap);
    if (pitch.ok()) {
        layout.pitch = pitch.value();
    }

    if (alignment == TextLeft) {
        layout.showsText = true;
    } else if (alignment == TextRight) {
        layout.showsText = true;
        if (const auto r = computeRightOffset(surfaceWidth, layout.dotSize, captionLength)) {
            layout.rightOffset = *r;
        }
    }
    return layout;
}

void DrawLed(const QString& caption, LedSurface& surface, LedPosition position, OleColor lit,
             OleColor unlit, std::int32_t alignment) {
    const LedLayout layout =
        ComputeLedLayout(surface.width(), surface.height(), position, caption.size(), alignment);

    surface.clear();
    if (!layout.showsText) {
        return;
    }

    surface.setDotLattice(position.left, position.top, layout.dotSize);
    DotPainter painter(surface, layout, position);

    // The grid is cell -1 and never shifted by R.
    const CheckedInt16 gridCell(-1);
    for (std::int16_t r = 1; r <= kGlyphRows; ++r) {
        for (std::int32_t c = 1; c <= layout.gridColumns; ++c) {
            painter.dot(r, static_cast<std::int16_t>(c), gridCell, CheckedInt16(0), unlit);
        }
    }

    // One cell per UTF-16 code unit, so a surrogate pair takes two.
    const CheckedInt16 offset(layout.rightOffset);
    CheckedInt16 cell(-1);
    for (qsizetype k = 0; k < caption.size(); ++k) {
        const std::string_view pattern = GetCharPattern(QStringView(caption).mid(k, 1));
        const CheckedInt16 next = cell + CheckedInt16(1);
        if (next.ok()) {
            cell = next;
        }
        std::size_t bit = 0;
        for (std::int16_t r = 1; r <= kGlyphRows; ++r) {
            for (std::int16_t c = 1; c <= kGlyphColumns; ++c) {
                painter.dot(r, c, cell, offset, pattern[bit++] == '1' ? lit : unlit);
            }
        }
    }
}

}  // namespace vxled
