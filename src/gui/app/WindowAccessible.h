#pragma once
// How the program's windows appear to assistive technology (a screen reader,
// through AT-SPI). Qt shows a window built on a plain QWidget as a nameless
// "client" area, which a screen reader does not announce as a window. With
// this in place each such window is a frame, or a dialog where it holds
// another window until it closes.

#include <QAccessibleWidget>

class QWidget;

namespace velotan::app {

class WindowAccessible : public QAccessibleWidget {
  public:
    explicit WindowAccessible(QWidget* window);
    QAccessible::Role role() const override;
    // An assistive technology may bring the window to the front (AT-SPI's
    // grabFocus on a window), as a window manager does; the window keeps
    // the control that had the focus in it.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};

// Lets Qt ask for WindowAccessible on every window of the program. Done once,
// by the App, before any window exists; safe to call again.
void InstallWindowAccessibility();

// A window that keeps another one disabled until it closes is a dialog to a
// screen reader, though Qt does not see it as modal.
void MarkAsDialog(QWidget& window, bool dialog = true);

}  // namespace velotan::app
