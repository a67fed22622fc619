// The LED panel's 5 x 7 dot font.
#pragma once

#include <QStringView>

#include <string_view>

namespace vxled {

inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 7;
inline constexpr int kGlyphDots = kGlyphColumns * kGlyphRows;

// The 35-character pattern ("0" off, "1" on, rows top to bottom) for a
// one-character string; the all-off pattern for anything else, including
// empty and longer strings. Matching is by exact UTF-16 code units.
std::string_view GetCharPattern(QStringView ch);

}  // namespace vxled
