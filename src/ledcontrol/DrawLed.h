// Painting of the LED panel: an unlit dot grid with the caption drawn over it
// in 5 x 7 cells.
#pragma once

#include "CheckedInt16.h"
#include "LedSurface.h"

#include <QString>

#include <cstdint>

namespace vxled {

// LedLeft and LedTop, handed over as one pair.
struct LedPosition {
    std::int16_t left = 0;
    std::int16_t top = 0;
};

// The quantities of one drawing. A quantity whose computation fails is not
// assigned and keeps 0; drawing goes on with it.
struct LedLayout {
    std::int16_t dotSize = 0;      // D
    std::int16_t gap = 0;          // G
    std::int16_t gridColumns = 0;  // N
    std::int16_t pitch = 0;        // P = 6·D + 2·G
    std::int16_t rightOffset = 0;  // R, TextRight only
    bool showsText = false;        // alignment is TextLeft or TextRight
};

LedLayout ComputeLedLayout(double surfaceWidth, double surfaceHeight, LedPosition position,
                           qsizetype captionLength, std::int32_t alignment);

// Redraws the whole panel. Never fails: a dot whose geometry leaves the
// 16-bit range is left out and drawing goes on.
void DrawLed(const QString& caption, LedSurface& surface, LedPosition position, OleColor lit,
             OleColor unlit, std::int32_t alignment);

}  // namespace vxled
