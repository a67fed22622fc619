// velotan: the login window first, then the main window.

#include <QApplication>

#include "app/App.h"
#include "app/QtDialogs.h"
#include "platform/ProgramFolder.h"
#include "windows/WindowOpeners.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    velotan::app::QtDialogs dialogs;
    velotan::app::App app(velotan::platform::ProgramFolder(), dialogs);
    velotan::windows::RegisterWindowOpeners(app);
    app.StartLogin();
    // A failed database connection ends the run before the event loop starts.
    if (app.Ended())
        return app.ExitCode();
    const int code = QApplication::exec();
    return app.Ended() ? app.ExitCode() : code;
}
