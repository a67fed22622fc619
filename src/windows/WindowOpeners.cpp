#include "WindowOpeners.h"

#include <QFile>
#include <memory>

#include "Form2.h"
#include "app/App.h"
#include "platform/ControlHost.h"

namespace velotan::windows {

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
}

}  // namespace velotan::windows
