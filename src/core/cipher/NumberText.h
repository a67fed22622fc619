#pragma once
// The numeric text rules that the cipher formats rely on. Other programs read
// and write the same texts, so these follow the classic BASIC conversions
// exactly: numbers are read as the leading decimal number of a text, doubles
// are written with up to 15 significant digits, and rounding is half to even.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velotan::cipher {

// The blanks the numeric rules pass over: space and tab always, and one more
// where a rule has its reason for it.
enum class Blanks {
    SpaceTab,
    // The classic conversion passes over line feeds as well.
    WithLineFeed,
    // Typed answers may carry the ideographic space of a Chinese input method.
    WithIdeographicSpace,
};

constexpr bool IsBlank(char16_t c, Blanks set) {
    return c == u' ' || c == u'\t' || (set == Blanks::WithLineFeed && c == u'\n') ||
           (set == Blanks::WithIdeographicSpace && c == u'\u3000');
}

// `text` without the blanks at either end.
std::u16string_view TrimBlanks(std::u16string_view text, Blanks set);

// The leading decimal number of a text: blanks, tabs and line feeds are
// ignored anywhere, then an optional sign, digits, a decimal point, digits
// and an optional exponent (E or D). 0 when there is no number.
double LeadingNumber(std::u16string_view text);

// A double as decimal text: an integer without a point when it is whole and
// below 1e15 in magnitude, otherwise 15 significant digits without trailing
// zeros, switching to "1E-05" / "1E+15" notation at the extremes.
std::string DoubleText(double value);

// Rounds to the nearest integer, a half to the even neighbour.
double RoundHalfEven(double value);

// A text read as a whole integer: its number (see LeadingNumber) rounded half
// to even, or nullopt when the text holds no number or anything after it.
std::optional<int64_t> WholeNumber(std::u16string_view text);

// A key as a person types it into a box: a whole number as above, from
// -32768 to 32767; nullopt for anything else.
std::optional<int16_t> KeyNumber(std::u16string_view text);

}  // namespace velotan::cipher
