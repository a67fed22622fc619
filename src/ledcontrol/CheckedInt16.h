// 16-bit signed integer arithmetic that remembers an overflow instead of
// wrapping: the LED geometry is defined in 16-bit integers, and any value
// that leaves their range at any step invalidates what depends on it.
#pragma once

#include <cstdint>
#include <optional>

namespace vxled {

class CheckedInt16 {
  public:
    constexpr CheckedInt16() = default;
    constexpr CheckedInt16(std::int16_t v) : value_(v) {}  // NOLINT: implicit by design

    // Invalid when v is outside -32768..32767.
    static constexpr CheckedInt16 fromWide(std::int64_t v) {
        CheckedInt16 r;
        if (v < INT16_MIN || v > INT16_MAX) {
            r.ok_ = false;
        } else {
            r.value_ = static_cast<std::int16_t>(v);
        }
        return r;
    }
    static constexpr CheckedInt16 invalid() {
        CheckedInt16 r;
        r.ok_ = false;
        return r;
    }

    constexpr bool ok() const { return ok_; }
    constexpr std::int16_t value() const { return value_; }
    constexpr std::optional<std::int16_t> get() const {
        return ok_ ? std::optional<std::int16_t>(value_) : std::nullopt;
    }

    friend constexpr CheckedInt16 operator+(CheckedInt16 a, CheckedInt16 b) {
        return combine(a, b, std::int64_t{a.value_} + b.value_);
    }
    friend constexpr CheckedInt16 operator-(CheckedInt16 a, CheckedInt16 b) {
        return combine(a, b, std::int64_t{a.value_} - b.value_);
    }
    friend constexpr CheckedInt16 operator*(CheckedInt16 a, CheckedInt16 b) {
        return combine(a, b, std::int64_t{a.value_} * b.value_);
    }

  private:
    static constexpr CheckedInt16 combine(CheckedInt16 a, CheckedInt16 b, std::int64_t wide) {
        if (!a.ok_ || !b.ok_) {
            return invalid();
        }
        return fromWide(wide);
    }

    std::int16_t value_ = 0;
    bool ok_ = true;
};

}  // namespace vxled
