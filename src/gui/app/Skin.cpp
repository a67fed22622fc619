#include "Skin.h"

#include <QWidget>

#include "WindowFonts.h"
#include "platform/AnsiTextFile.h"

namespace velotan::app {

namespace {
// A skin is a small style sheet; anything bigger is not one of ours.
constexpr size_t kMaxSkinBytes = 1 << 20;
}  // namespace

bool Skin::LoadSkin(const std::filesystem::path& skinFile) {
    styleSheet_.clear();
    // Read as every file is: a named pipe or a device in its place reads as
    // no skin, without waiting.
    const auto bytes = platform::ReadFileBytes(skinFile, nullptr, kMaxSkinBytes);
    if (!bytes)
        return false;
    styleSheet_ = QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()));
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
    // Labels show paths, file contents and what servers send: never markup.
    setTextFormat(Qt::PlainText);
}

}  // namespace velotan::app
