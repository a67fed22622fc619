#include "WindowOpeners.h"

#include <QPointer>
#include <memory>

#include "Form3.h"
#include "Form4.h"
#include "app/App.h"
#include "frmAbout.h"

namespace velotan::windows {
namespace {

// A window opened beside the main window exists once: a second click brings
// the open one to the front, with what was typed into it, rather than a twin.
template <typename Window>
app::App::WindowOpener Beside() {
    auto open = std::make_shared<QPointer<Window>>();
    return [open](app::App& app) -> QWidget* {
        Window* window = *open;
        if (!window || window->Unloaded()) {
            window = new Window(app);
            *open = window;
            // The window works on the App's state; it never outlives it.
            QObject::connect(&app, &QObject::destroyed, window, [window] { delete window; });
            window->Form_Load();
        }
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    };
}

}  // namespace

void RegisterWindowOpeners(app::App& app) {
    app.SetWindowOpener(app::AppWindow::Decode, Beside<Form3>());
    app.SetWindowOpener(app::AppWindow::Share, Beside<Form4>());
    app.SetWindowOpener(app::AppWindow::About, Beside<frmAbout>());
}

}  // namespace velotan::windows
