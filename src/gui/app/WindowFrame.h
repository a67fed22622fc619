#pragma once
// What every window of the program shares: its object name, the designed
// font, deletion once it closes (what must outlive it lives in the App), the
// skin as the first work of its load, and the flag that tells a closed
// window waiting for its deletion from an open one.

#include <QPointer>
#include <QString>
#include <QWidget>

#include "Skin.h"

class QAbstractButton;
class QCloseEvent;
class QKeyEvent;

namespace velotan::app {

class App;

class WindowFrame : public QWidget {
    Q_OBJECT
  public:
    // True once the window has closed; it is deleted soon after.
    bool Unloaded() const { return unloaded_; }

  protected:
    WindowFrame(App& app, const char* name);

    // Loads Main.skn from the program folder and applies it to this window.
    void ApplySkin();
    // An error message box, titled "错误".
    void Error(const QString& text);
    // Runs once, when the window closes: what it lets go of then.
    virtual void Form_Unload() {}
    void closeEvent(QCloseEvent* event) override;
    // Escape acts as the window's 返回 or close button, as in a dialog.
    void SetEscapeButton(QAbstractButton* button);
    void keyPressEvent(QKeyEvent* event) override;

    App& app_;
    Skin Skin1;

  private:
    bool unloaded_ = false;
    QPointer<QAbstractButton> escapeButton_;
};

}  // namespace velotan::app
