#include "WindowOpeners.h"

#include <QFile>
#include <QPointer>
#include <memory>

#include "Form2.h"
#include "Form3.h"
#include "Form4.h"
#include "app/App.h"
#include "controlhost/ControlHost.h"
#include "frmAbout.h"
#include "windows/FrmUpdate.h"

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
    // One host for the run: a control library, once loaded, stays loaded
    // while the program runs. The library beside the program is the fallback.
    auto host = std::make_shared<platform::ControlHost>(
        QFile::decodeName(app.ProgramFolder().string().c_str()));
    app.SetWindowOpener(app::AppWindow::Settings, [host](app::App& a) -> QWidget* {
        auto* window = new Form2(a, host);
        window->Form_Load();
        window->show();
        return window;
    });
    app.SetWindowOpener(app::AppWindow::Decode, Beside<Form3>());
    app.SetWindowOpener(app::AppWindow::Share, Beside<Form4>());
    app.SetWindowOpener(app::AppWindow::About, Beside<frmAbout>());
    app.SetWindowOpener(app::AppWindow::Update,
                        [](app::App& a) -> QWidget* { return update::FrmUpdate::Open(a); });
}

}  // namespace velotan::windows
