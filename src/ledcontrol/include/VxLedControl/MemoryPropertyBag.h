// A property bag held in memory, for a host that keeps a control's saved
// properties in its own window description, and for tests.
#pragma once

#include "VxLedControl/VxLedControl.h"

#include <QList>
#include <QString>

#include <utility>

namespace vxled {

// Variant equality as the bag needs it: numbers compare by value across
// Integer, Long and Double; strings exactly; Empty only equals Empty.
inline bool variantEquals(const Variant& a, const Variant& b) {
    const auto number = [](const Variant& v) -> std::optional<double> {
        if (const auto* i = std::get_if<std::int16_t>(&v)) {
            return *i;
        }
        if (const auto* l = std::get_if<std::int32_t>(&v)) {
            return *l;
        }
        if (const auto* d = std::get_if<double>(&v)) {
            return *d;
        }
        return std::nullopt;
    };
    const std::optional<double> na = number(a);
    const std::optional<double> nb = number(b);
    if (na && nb) {
        return *na == *nb;
    }
    return a == b;
}

class MemoryPropertyBag final : public IPropertyBag {
  public:
    HResult ReadProperty(const QString& key, const Variant& defaultValue, Variant* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (const Variant* stored = find(key)) {
            *value = *stored;
            return S_OK;
        }
        if (std::holds_alternative<std::monostate>(defaultValue)) {
            return CTL_E_DATAVALUENOTFOUND;
        }
        *value = defaultValue;
        return S_OK;
    }

    HResult WriteProperty(const QString& key, const Variant& value,
                          const Variant& defaultValue) override {
        const qsizetype at = indexOf(key);
        // A value equal to its default is left out, so reading falls back to
        // the same default later.
        if (!std::holds_alternative<std::monostate>(defaultValue) &&
            variantEquals(value, defaultValue)) {
            if (at >= 0) {
                entries_.removeAt(at);
            }
            return S_OK;
        }
        if (at >= 0) {
            entries_[at].second = value;
        } else {
            entries_.append({key, value});
        }
        return S_OK;
    }

    bool contains(const QString& key) const { return indexOf(key) >= 0; }
    const Variant* find(const QString& key) const {
        const qsizetype at = indexOf(key);
        return at >= 0 ? &entries_[at].second : nullptr;
    }
    // Keys in the order they were first written.
    QStringList keys() const {
        QStringList result;
        for (const auto& entry : entries_) {
            result.append(entry.first);
        }
        return result;
    }
    void clear() { entries_.clear(); }

  private:
    // Keys match without regard to case, as the container's bag does.
    qsizetype indexOf(const QString& key) const {
        for (qsizetype n = 0; n < entries_.size(); ++n) {
            if (entries_[n].first.compare(key, Qt::CaseInsensitive) == 0) {
                return n;
            }
        }
        return -1;
    }

    QList<std::pair<QString, Variant>> entries_;
};

}  // namespace vxled
