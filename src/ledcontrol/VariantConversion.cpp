#include "VariantConversion.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace vxled {

double roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5) {
        return lower;
    }
    if (diff > 0.5) {
        return lower + 1.0;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {

template <typename T>
Converted<T> fromDouble(double d) {
    if (std::isnan(d)) {
        return {std::nullopt, DISP_E_OVERFLOW};
    }
    const double r = roundHalfEven(d);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max())) {
        return {std::nullopt, DISP_E_OVERFLOW};
    }
    return {static_cast<T>(r), S_OK};
}

template <typename T>
Converted<T> toInteger(const Variant& v) {
    if (std::holds_alternative<std::monostate>(v)) {
        return {T{0}, S_OK};
    }
    if (const auto* i = std::get_if<std::int16_t>(&v)) {
        return fromDouble<T>(*i);
    }
    if (const auto* l = std::get_if<std::int32_t>(&v)) {
        return fromDouble<T>(*l);
    }
    if (const auto* d = std::get_if<double>(&v)) {
        return fromDouble<T>(*d);
    }
    // Text converts when it reads as a number; the point is the decimal
    // separator whatever the desktop's locale says, so saved values load
    // the same everywhere.
    bool ok = false;
    const double d = QLocale::c().toDouble(std::get<QString>(v).trimmed(), &ok);
    if (!ok) {
        return {std::nullopt, DISP_E_TYPEMISMATCH};
    }
    return fromDouble<T>(d);
}

}  // namespace

Converted<std::int16_t> toInt16(const Variant& v) {
    return toInteger<std::int16_t>(v);
}

Converted<std::int32_t> toInt32(const Variant& v) {
    return toInteger<std::int32_t>(v);
}

Converted<QString> toText(const Variant& v) {
    if (std::holds_alternative<std::monostate>(v)) {
        return {QString(), S_OK};
    }
    if (const auto* i = std::get_if<std::int16_t>(&v)) {
        return {QString::number(*i), S_OK};
    }
    if (const auto* l = std::get_if<std::int32_t>(&v)) {
        return {QString::number(*l), S_OK};
    }
    if (const auto* d = std::get_if<double>(&v)) {
        return {QString::number(*d, 'g', 15), S_OK};
    }
    return {std::get<QString>(v), S_OK};
}

}  // namespace vxled
