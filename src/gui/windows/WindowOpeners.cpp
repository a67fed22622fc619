#include "WindowOpeners.h"

#include <QFile>
#include <QPointer>
#include <memory>

#include "Form2.h"
#include "Form3.h"
#include "Form4.h"
#include "FrmStrongKeys.h"
#include "app/App.h"
#include "controlhost/ControlHost.h"
#include "frmAbout.h"
#include "windows/FrmUpdate.h"

namespace velotan::windows {
namespace {

// Each window exists once: a second request brings the open one to the
// front, with what was typed into it, rather than a twin. `make` creates the
// window and runs its load.
template <typename Window, typename Make>
app::App::WindowOpener Once(Make make) {
    auto open = std::make_shared<QPointer<Window>>();
    return [open, make](app::App& app) -> QWidget* {
        Window* window = *open;
        if (!window || window->Unloaded()) {
            window = make(app);
            *open = window;
            // The window works on the App's state; it never outlives it.
            QObject::connect(&app, &QObject::destroyed, window, [window] { delete window; });
        }
        window->show();
        window->raise();
        window->activateWindow();
        return window;
    };
}

template <typename Window>
app::App::WindowOpener Beside() {
    return Once<Window>([](app::App& app) {
        auto* window = new Window(app);
        window->Form_Load();
        return window;
    });
}

}  // namespace

void RegisterWindowOpeners(app::App& app) {
    // One host for the run: a control library, once loaded, stays loaded
    // while the program runs. The library beside the program is the fallback.
    auto host = std::make_shared<platform::ControlHost>(
        QFile::decodeName(app.ProgramFolder().string().c_str()));
    app.SetWindowOpener(app::AppWindow::Settings, Once<Form2>([host](app::App& a) {
                            auto* window = new Form2(a, host);
                            window->Form_Load();
                            return window;
                        }));
    app.SetWindowOpener(app::AppWindow::Decode, Beside<Form3>());
    app.SetWindowOpener(app::AppWindow::Share, Beside<Form4>());
    app.SetWindowOpener(app::AppWindow::About, Beside<frmAbout>());
    // Opened from the settings window, beside it.
    app.SetWindowOpener(app::AppWindow::StrongKeys, Beside<FrmStrongKeys>());
    // One update window, and in it one check at a time: never two installers.
    app.SetWindowOpener(app::AppWindow::Update, Beside<update::FrmUpdate>());
}

}  // namespace velotan::windows
