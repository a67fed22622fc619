#pragma once
// Plugs the secondary windows into the application: the main window's
// buttons open them through App::OpenWindow.

namespace velotan::app {
class App;
}

namespace velotan::windows {

void RegisterWindowOpeners(app::App& app);

}  // namespace velotan::windows
