// velotan: the login window first, then the main window.
//   velotan --install-desktop-entry   puts the program into this user's menu
//   velotan --remove-desktop-entry    takes it out again

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/QtDialogs.h"
#include "app/QtTranslations.h"
#include "platform/DataFolder.h"
#include "platform/DesktopEntry.h"
#include "platform/ProgramFolder.h"
#include "windows/WindowOpeners.h"

namespace {

using namespace velotan;

// The desktop entry needs no window, so it runs before Qt starts: it works
// from a terminal without a display.
int DesktopEntryCommand(const char* option) {
    const auto dataHome = platform::UserDataHome();
    std::string error;
    if (std::strcmp(option, "--install-desktop-entry") == 0) {
        if (!platform::InstallDesktopEntry(platform::ProgramFolder(), dataHome, &error)) {
            std::fprintf(stderr, "velotan: cannot install the desktop entry: %s\n", error.c_str());
            return 1;
        }
        std::printf("velotan: desktop entry written to %s\n",
                    (dataHome / "applications" / platform::kDesktopFileName).c_str());
        return 0;
    }
    if (!platform::RemoveDesktopEntry(dataHome, &error)) {
        std::fprintf(stderr, "velotan: cannot remove the desktop entry: %s\n", error.c_str());
        return 1;
    }
    std::printf("velotan: desktop entry removed\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--install-desktop-entry") == 0 ||
                      std::strcmp(argv[1], "--remove-desktop-entry") == 0)) {
        return DesktopEntryCommand(argv[1]);
    }
    QApplication application(argc, argv);
    const auto programFolder = platform::ProgramFolder();
    // A menu entry of this user's that still starts the program of an
    // earlier installation (the package in /opt/velotan) starts this one.
    std::string entryError;
    if (!platform::MoveOnDesktopEntry(programFolder, platform::UserDataHome(), &entryError) &&
        !entryError.empty()) {
        std::fprintf(stderr, "velotan: cannot update the desktop entry: %s\n", entryError.c_str());
    }
    app::LoadQtTranslations(programFolder);
    app::QtDialogs dialogs;
    // A program folder the user cannot write keeps the user's files in a
    // folder of their own.
    const platform::DataFolderChoice data = platform::ChooseDataFolder(programFolder);
    if (data.folder.empty()) {
        std::fprintf(stderr, "velotan: %s\n", data.error.c_str());
        dialogs.MsgBox(u"找不到您自己的用户数据目录，程序无法启动：\r\n" +
                           QString::fromLocal8Bit(data.error).toStdU16String() +
                           u"\r\n请设置环境变量 HOME 后再启动。",
                       platform::MsgStyle::kCritical, u"错误");
        return 1;
    }
    app::App app(programFolder, dialogs, {}, data.folder);
    if (!data.error.empty()) {
        dialogs.MsgBox(
            u"无法准备用户数据目录：\r\n" + QString::fromLocal8Bit(data.error).toStdU16String(),
            platform::MsgStyle::kCritical, u"错误");
    }
    windows::RegisterWindowOpeners(app);
    app.StartLogin();
    // A failed database connection ends the run before the event loop starts.
    if (app.Ended())
        return app.ExitCode();
    const int code = QApplication::exec();
    return app.Ended() ? app.ExitCode() : code;
}
