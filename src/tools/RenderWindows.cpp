// Renders the decode, share and about windows into PNG files, for a person to
// look at:
//   velotan-windows-screens <output folder>
// Runs on any Qt platform; scripts/screenshots uses the offscreen one.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "RenderSupport.h"
#include "app/App.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/WindowOpeners.h"
#include "windows/frmAbout.h"

using velotan::app::render::Save;
using velotan::app::render::SilentDialogs;
using velotan::app::render::TempProgramFolder;

namespace {

namespace fs = std::filesystem;
using namespace velotan;
using app::AppWindow;
using app::Dialogs;
using app::FileDialogRequest;
using app::FontChoice;

template <typename Window>
Window* Open(app::App& app, AppWindow which) {
    return qobject_cast<Window*>(app.OpenWindow(which));
}

}  // namespace

int main(int argc, char** argv) {
    return velotan::app::render::RunRenderer(
        argc, argv, "velotan-windows-screens", [&](const QDir& out) {
            // A program folder as installed, as far as these windows read it.
            const TempProgramFolder program(
                {"Main.skn", "symbolhandle.ini", "controlsinfo.txt", "algorithm.txt"});
            program.StoreKeys("12UGA200");
            const fs::path& folder = program.Path();

            SilentDialogs dialogs;
            bool ok = true;
            {
                app::App app(folder, dialogs, [] { return platform::DriveMap(); });
                windows::RegisterWindowOpeners(app);
                app::Form1* main = app.ShowMainWindow();

                // Someone else's mood, as it arrives: cipher text and code table.
                main->txtText1->SetText(QStringLiteral("今天下了一场小雨，青石板路湿漉漉的。"));
                main->cmdEncrypt_Click();
                auto* decode = Open<windows::Form3>(app, AppWindow::Decode);
                if (decode) {
                    decode->txtText1->SetText16(app.Cipher().ResultText + u"\r\n");
                    decode->txtText2->SetText16(app.Cipher().CodeTable);
                    decode->txtText3->setText(QStringLiteral("12"));
                    decode->txtText4->setText(QStringLiteral("200"));
                }
                ok &= Save(decode, out, "decode");
                if (decode)
                    decode->close();

                // After an encryption the share text is cipher text and code table.
                auto* share = Open<windows::Form4>(app, AppWindow::Share);
                ok &= Save(share, out, "share-encrypted");
                // Copied: the quiet word beside the buttons.
                if (share)
                    share->cmdCopy_Click();
                ok &= Save(share, out, "share-copied");
                if (share)
                    share->close();
                QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

                // A mood too long for a QR code: the note in its place.
                main->txtText1->SetText(QString(300, QChar(u'雨')));
                main->cmdEncrypt_Click();
                share = Open<windows::Form4>(app, AppWindow::Share);
                ok &= Save(share, out, "share-too-long");
                if (share)
                    share->close();
                QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

                // Nothing encrypted: the editor's own words.
                app.Cipher().ResultText.clear();
                main->txtText1->SetText(QStringLiteral("今天很好"));
                share = Open<windows::Form4>(app, AppWindow::Share);
                ok &= Save(share, out, "share-plain");
                if (share)
                    share->close();

                auto* about = Open<windows::frmAbout>(app, AppWindow::About);
                ok &= Save(about, out, "about-loading");
                if (about) {
                    about->Timer1_Timer();
                    about->Timer1_Timer();
                    about->Timer1_Timer();
                }
                ok &= Save(about, out, "about-rotating");
                if (about)
                    about->close();
            }
            return ok ? 0 : 1;
        });
}
