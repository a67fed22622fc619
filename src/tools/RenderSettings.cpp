// Renders the settings window into PNG files, for a person to look at:
//   velotan-settings-screens <output folder>
// The LED panel comes from the real control library, loaded by the control
// host from a program folder, as in the installed program. The registry used
// is a temporary one, so the user's own stays untouched.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "RenderSupport.h"
#include "app/App.h"
#include "app/Dialogs.h"
#include "windows/Form2.h"
#include "windows/WindowOpeners.h"

using velotan::app::render::Save;
using velotan::app::render::SilentDialogs;
using velotan::app::render::TempProgramFolder;

namespace {

namespace fs = std::filesystem;
using namespace velotan;

bool Render(bool withLibrary, const QDir& out, const char* name) {
    // A program folder with the skin and, when asked, the control library.
    const TempProgramFolder program({"Main.skn", "symbolhandle.ini"});
    if (withLibrary)
        fs::copy_file(VXLED_LIBRARY_PATH, program.Path() / "libVxLedControl.so");
    QTemporaryDir xdg;
    qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.path()));
    SilentDialogs dialogs;
    app::App app(program.Path(), dialogs, [] { return platform::DriveMap(); });
    windows::RegisterWindowOpeners(app);
    app.Cipher().FirstKey = 12;
    app.Cipher().SecondKey = 200;
    QWidget* window = app.OpenWindow(app::AppWindow::Settings);
    bool ok = Save(window, out, name);
    // The dots are a few pixels wide: an enlarged copy of the panel too.
    if (auto* led = window ? window->findChild<QWidget*>(QStringLiteral("lblChar")) : nullptr) {
        const QImage panel = led->grab().toImage();
        const QString file =
            out.filePath(QString::fromLatin1(name) + QStringLiteral("-panel-x6.png"));
        ok &= panel.scaled(panel.size() * 6, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .save(file);
        std::printf("%s\n", file.toUtf8().constData());
    }
    delete window;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return velotan::app::render::RunRenderer(argc, argv, "velotan-settings-screens",
                                             [&](const QDir& out) {
                                                 bool ok = Render(true, out, "settings");
                                                 // Without the library the keys show as plain text.
                                                 ok &= Render(false, out, "settings-without-led");
                                                 return ok ? 0 : 1;
                                             });
}
