#include "WindowOpeners.h"

#include "app/App.h"

namespace velotan::windows {

void RegisterWindowOpeners(app::App& app) {
    (void)app;
}

}  // namespace velotan::windows
