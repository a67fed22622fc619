#include "WindowFrame.h"

#include <QCloseEvent>

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

}  // namespace velotan::app
