#include "Skin.h"

#include <QFile>
#include <QWidget>

#include "WindowFonts.h"

namespace velotan::app {

namespace {
// A skin is a small style sheet; anything bigger is not one of ours.
constexpr qint64 kMaxSkinBytes = 1 << 20;
}  // namespace

bool Skin::LoadSkin(const std::filesystem::path& skinFile) {
    styleSheet_.clear();
    QFile file(QString::fromStdString(skinFile.string()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > kMaxSkinBytes)
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    styleSheet_ = QString::fromUtf8(bytes);
    return true;
}

void Skin::ApplySkin(QWidget& window) const {
    window.setStyleSheet(styleSheet_);
}

void ApplyWindowSkin(Skin& skin, QWidget& window, const std::filesystem::path& programFolder) {
    skin.LoadSkin(programFolder / kSkinFileName);
    skin.ApplySkin(window);
}

SkinLabel::SkinLabel(const QString& text, const QString& name, QWidget* parent)
    : QLabel(text, parent) {
    setObjectName(name);
    setFont(SkinLabelFont());
}

}  // namespace velotan::app
