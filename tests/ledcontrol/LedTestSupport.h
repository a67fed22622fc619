// Shared helpers of the LED control tests.
#pragma once

#include "LedSurface.h"
#include "VxLedControl/VxLedControl.h"

#include <QApplication>
#include <QString>

#include <ostream>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// Variant is a std::variant over QString, so ADL finds this in the global
// namespace too.
inline void PrintTo(const vxled::Variant& v, std::ostream* os) {
    if (std::holds_alternative<std::monostate>(v)) {
        *os << "Empty";
    } else if (const auto* i = std::get_if<std::int16_t>(&v)) {
        *os << "Integer " << *i;
    } else if (const auto* l = std::get_if<std::int32_t>(&v)) {
        *os << "Long " << *l;
    } else if (const auto* d = std::get_if<double>(&v)) {
        *os << "Double " << *d;
    } else {
        *os << "String \"" << std::get<QString>(v).toStdString() << '"';
    }
}

namespace vxled {

// Widgets need an application; one lives for the whole test program.
inline void ensureApplication() {
    if (QApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "test_ledcontrol";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

// A surface that only records what is drawn on it.
class RecordingSurface final : public LedSurface {
  public:
    enum class Kind { Clear, Fill, Outline };
    struct Op {
        Kind kind;
        double x1, y1, x2, y2;
        OleColor colour;
    };

    RecordingSurface(double width, double height, OleColor back = 0x000000)
        : width_(width), height_(height), back_(back) {}

    void clear() override { ops.push_back({Kind::Clear, 0, 0, 0, 0, back_}); }
    void fillBox(double x1, double y1, double x2, double y2, OleColor colour) override {
        ops.push_back({Kind::Fill, x1, y1, x2, y2, colour});
    }
    void outlineBox(double x1, double y1, double x2, double y2, OleColor colour) override {
        ops.push_back({Kind::Outline, x1, y1, x2, y2, colour});
    }
    double width() const override { return width_; }
    double height() const override { return height_; }
    OleColor backColor() const override {
        ++backColorReads;
        return back_ + (changingBackColor ? static_cast<OleColor>(backColorReads) : 0);
    }

    std::vector<Op> fills() const { return ofKind(Kind::Fill); }
    std::vector<Op> outlines() const { return ofKind(Kind::Outline); }
    std::vector<Op> fillsIn(OleColor colour) const {
        std::vector<Op> result;
        for (const Op& op : ops) {
            if (op.kind == Kind::Fill && op.colour == colour) {
                result.push_back(op);
            }
        }
        return result;
    }

    std::vector<Op> ops;
    mutable int backColorReads = 0;
    // Makes every read of the background colour return a new value.
    bool changingBackColor = false;

  private:
    std::vector<Op> ofKind(Kind kind) const {
        std::vector<Op> result;
        for (const Op& op : ops) {
            if (op.kind == kind) {
                result.push_back(op);
            }
        }
        return result;
    }

    double width_;
    double height_;
    OleColor back_;
};

}  // namespace vxled
