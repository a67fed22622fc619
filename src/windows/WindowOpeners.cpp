#include "WindowOpeners.h"

#include "app/App.h"
#include "update/FrmUpdate.h"

namespace velotan::windows {

void RegisterWindowOpeners(app::App& app) {
    app.SetWindowOpener(app::AppWindow::Update,
                        [](app::App& a) -> QWidget* { return update::FrmUpdate::Open(a); });
}

}  // namespace velotan::windows
