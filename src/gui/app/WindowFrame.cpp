#include "WindowFrame.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>

#include "App.h"
#include "WindowFonts.h"

namespace velotan::app {

WindowFrame::WindowFrame(App& app, const char* name) : app_(app) {
    setObjectName(QString::fromLatin1(name));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(ProgramFont());
}

void WindowFrame::ApplySkin() {
    ApplyWindowSkin(Skin1, *this, app_.ProgramFolder());
}

void WindowFrame::Error(const QString& text) {
    app_.Dlg().Show(text, platform::MsgStyle::kCritical, QStringLiteral("错误"));
}

void WindowFrame::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
    }
    event->accept();
}

void WindowFrame::SetEscapeButton(QAbstractButton* button) {
    escapeButton_ = button;
}

void WindowFrame::keyPressEvent(QKeyEvent* event) {
    // The boxes leave Escape alone, so it arrives here from wherever the
    // focus is; a disabled button (no way back during a download) does nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && escapeButton_) {
        if (escapeButton_->isEnabled())
            escapeButton_->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace velotan::app
