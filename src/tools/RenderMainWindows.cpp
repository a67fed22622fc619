// Renders the login and main windows into PNG files, for a person to look at:
//   velotan-app-screens <output folder>
// Runs on any Qt platform; scripts/screenshots uses the offscreen one.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "RenderSupport.h"
#include "app/App.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "passworddb/PasswordDatabase.h"

using velotan::app::render::Save;
using velotan::app::render::SilentDialogs;
using velotan::app::render::TempProgramFolder;

namespace {

namespace fs = std::filesystem;
using namespace velotan::app;
namespace passworddb = velotan::passworddb;

}  // namespace

int main(int argc, char** argv) {
    return velotan::app::render::RunRenderer(
        argc, argv, "velotan-app-screens", [&](const QDir& out) {
            // A program folder as installed: skin, symbols, empty password database.
            const TempProgramFolder program({"Main.skn", "symbolhandle.ini"});
            const fs::path& folder = program.Path();
            std::string error;
            if (!passworddb::PasswordDatabase::Create(passworddb::DatabaseFile(folder),
                                                      passworddb::kDatabasePassword, &error)) {
                std::fprintf(stderr, "cannot create the database: %s\n", error.c_str());
                return 1;
            }

            SilentDialogs dialogs;
            bool ok = true;
            {
                App app(folder, dialogs, [] { return velotan::platform::DriveMap(); });
                ForLoad* login = app.StartLogin();
                login->TextPass[0]->setText(QStringLiteral("secret"));
                ok &= Save(login, out, "login");
                login->close();

                QWidget settings;
                ForLoad* setting = app.OpenPasswordSetting(&settings);
                setting->TextPass[1]->setText(QStringLiteral("new"));
                ok &= Save(setting, out, "login-password-setting");
                setting->close();

                Form1* main = app.ShowMainWindow();
                ok &= Save(main, out, "main-empty");
                main->txtText1->SetText(
                    QStringLiteral("今天下了一场小雨，青石板路湿漉漉的。\r\n"
                                   "我在窗前读书，听雨声一点一点落下，心里很安静。\r\n"
                                   "Tomorrow will be sunny again — 明天见！"));
                main->Timer1_Timer();
                ok &= Save(main, out, "main-text");
            }
            return ok ? 0 : 1;
        });
}
