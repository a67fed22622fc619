#include "WindowFonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace velotan::app {
namespace {

QFont DesignedOrSystem(const QString& family) {
    if (QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
        QFont font(family);
        font.setPointSizeF(8.25);
        return font;
    }
    return QApplication::font();
}

}  // namespace

QFont ProgramFont() {
    return DesignedOrSystem(QStringLiteral("Tahoma"));
}

QFont SkinLabelFont() {
    return DesignedOrSystem(QStringLiteral("MS Sans Serif"));
}

}  // namespace velotan::app
