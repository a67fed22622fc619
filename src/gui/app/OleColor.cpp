#include "OleColor.h"

#include <QApplication>
#include <QPalette>

namespace velotan::app {

QColor FromOleColor(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    if (bits & 0x80000000u) {
        // System colours: the few a text box can sensibly take, the rest as
        // window text.
        const QPalette palette = QApplication::palette();
        switch (bits & 0xFFu) {
            case 5:  // window background
                return palette.color(QPalette::Base);
            case 13:  // highlight
                return palette.color(QPalette::Highlight);
            case 14:  // highlighted text
                return palette.color(QPalette::HighlightedText);
            case 17:  // grey text
                return palette.color(QPalette::Disabled, QPalette::Text);
            default:
                return palette.color(QPalette::Text);
        }
    }
    return QColor(int(bits & 0xFFu), int((bits >> 8) & 0xFFu), int((bits >> 16) & 0xFFu));
}

int32_t ToOleColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return rgb.red() + 256 * rgb.green() + 65536 * rgb.blue();
}

}  // namespace velotan::app
