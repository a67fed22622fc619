// Conversions of late-bound values into property types, with the rules of the
// classic conversion functions: numbers round half to even, text is parsed as
// a number, and a value that does not fit fails instead of wrapping.
#pragma once

#include "VxLedControl/VxLedControl.h"

#include <cstdint>
#include <optional>

namespace vxled {

// Nearest integer, halves to the even neighbour.
double roundHalfEven(double x);

// Result of a conversion: the value, or the failure to report.
template <typename T>
struct Converted {
    std::optional<T> value;
    HResult error = S_OK;
};

Converted<std::int16_t> toInt16(const Variant& v);
Converted<std::int32_t> toInt32(const Variant& v);
Converted<QString> toText(const Variant& v);

}  // namespace vxled
