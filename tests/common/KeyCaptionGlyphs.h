#pragma once
// The dot patterns of a key caption's characters (12.200), written out here so
// that the LED tests do not lean on the glyph table they check. Rows top to
// bottom, five columns each, "1" for a lit dot.

namespace velotan::testing::glyphs {

inline constexpr const char* kOne =
    "00100"
    "01100"
    "00100"
    "00100"
    "00100"
    "00100"
    "01110";
inline constexpr const char* kTwo =
    "01110"
    "10001"
    "00001"
    "00110"
    "01000"
    "10000"
    "11111";
inline constexpr const char* kDot =
    "00000"
    "00000"
    "00000"
    "00000"
    "00000"
    "00000"
    "00100";
inline constexpr const char* kZero =
    "01110"
    "10001"
    "10011"
    "10101"
    "11001"
    "10001"
    "01110";

}  // namespace velotan::testing::glyphs
