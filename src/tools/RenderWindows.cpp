// Renders the decode, share, 好友与强密钥 and about windows into PNG files, for
// a person to look at:
//   velotan-windows-screens <output folder>
// Runs on any Qt platform; scripts/screenshots uses the offscreen one.

#include <QApplication>
#include <QDir>
#include <QLabel>
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
#include "cipher/ProgramSettings.h"
#include "strong/StrongKey.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/FrmStrongKeys.h"
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

void Close(QWidget* window) {
    if (window)
        window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// 强加密: the share window without a key, 好友与强密钥 before and after a key
// and two friends, the paper backup, the share window with a strong post,
// and that post in the decode window.
bool RenderStrong(app::App& app, app::Form1& main, const QDir& out) {
    bool ok = true;
    app.Cipher().ResultText.clear();
    main.txtText1->SetText(QStringLiteral("今天下了一场小雨，青石板路湿漉漉的。"));
    auto* share = Open<windows::Form4>(app, AppWindow::Share);
    if (share)
        share->optCipher_Click(cipher::ShareCipher::Strong);
    ok &= Save(share, out, "share-strong-no-key");
    Close(share);

    auto* keys = Open<windows::FrmStrongKeys>(app, AppWindow::StrongKeys);
    ok &= Save(keys, out, "strong-keys-empty");
    if (keys) {
        keys->cmdNewKey_Click();
        for (const char* name : {"小明", "小红"}) {
            keys->txtFriendName->setText(QString::fromUtf8(name));
            keys->txtFriendKey->setText(
                QString::fromStdString(strong::KeyText(strong::NewStrongKey())));
            keys->cmdAddFriend_Click();
        }
    }
    ok &= Save(keys, out, "strong-keys");
    if (keys)
        keys->cmdShowKey_Click();
    ok &= Save(keys, out, "strong-keys-shown");
    if (keys && keys->Ring().own) {
        const QString file = out.filePath(QStringLiteral("strong-key-backup.png"));
        const bool saved =
            windows::StrongKeyBackupPicture(strong::KeyText(*keys->Ring().own)).save(file);
        std::printf("%s\n", file.toUtf8().constData());
        ok &= saved;
    }
    Close(keys);

    share = Open<windows::Form4>(app, AppWindow::Share);
    ok &= Save(share, out, "share-strong");
    const QString post = share ? QString::fromStdU16String(share->ShareText()) : QString();
    Close(share);

    auto* decode = Open<windows::Form3>(app, AppWindow::Decode);
    if (decode)
        decode->txtText1->SetText(QStringLiteral("小明 来自青岚心情加密器\n") + post);
    ok &= Save(decode, out, "decode-strong");
    Close(decode);
    return ok;
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

                ok &= RenderStrong(app, *main, out);

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
