#pragma once
// The application object: it owns the run's state (the cipher engine and
// the main window's public members), creates the windows and ends the run.
// Windows are modeless and may close and come back; what must outlive them
// lives here.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "CommonDialog1.h"
#include "Dialogs.h"
#include "EditorFontSettings.h"
#include "cipher/ModEncrypt.h"

class QWidget;

namespace velotan::app {

class Form1;
class ForLoad;

// Asked before text that was never saved leaves the editor.
inline constexpr const char16_t* kReplaceUnsavedQuestion =
    u"文本区中的文字还没有保存，继续的话它将被替换，无法找回。\r\n仍要继续吗？";

// The main window's members that live for the whole run.
struct Form1State {
    std::u16string ArticleTitle;
    std::u16string ArticlePath;
    std::u16string ArticleContent;
    std::u16string RndNumList;
    std::u16string USBNAME;
    std::u16string SavedEditorText;
    int16_t LastLength = 0;
    int16_t CurrentLength = 0;
    // What was typed in the editor, kept while the settings or update window
    // stands in for the main window; its next load puts it back.
    std::u16string KeptEditorText;
    // The editor text as it was last saved (as a document), loaded or put
    // there by a decode, with CR LF line breaks: anything else in the editor
    // is work that replacing it would lose.
    std::u16string SettledEditorText;
    // The text whose encryption ResultText holds: saving it settles it.
    std::u16string EncryptedEditorText;
};

// The windows that the main window opens; src/gui/windows registers them
// through SetWindowOpener.
enum class AppWindow { Settings, Decode, Share, Update, About, StrongKeys };

class App : public QObject {
    Q_OBJECT
  public:
    using UrlOpener = std::function<bool(const std::string& url)>;
    // Creates and shows a window; returns it, or nullptr when it did not open.
    using WindowOpener = std::function<QWidget*(App&)>;

    // `dataFolder` empty: the program folder keeps the program's own files.
    App(std::filesystem::path programFolder, Dialogs& dialogs,
        cipher::ModEncrypt::DriveScanner scanDrives = {}, std::filesystem::path dataFolder = {});
    ~App() override;

    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    // Where the program writes its own files (settings.ini, Font.ini,
    // update.ini, update downloads, the password database, the first-run
    // marker): the program folder itself, or a per-user folder when the
    // program folder cannot be written (platform::ChooseDataFolder).
    const std::filesystem::path& DataFolder() const { return cipher_.DataFolder(); }
    Dialogs& Dlg() { return dialogs_; }
    cipher::ModEncrypt& Cipher() { return cipher_; }
    Form1State& MainState() { return mainState_; }
    CommonDialog1& CommonDialog() { return commonDialog_; }
    EditorFontSettings& EditorFont() { return editorFont_; }

    // The start: the login window, connected and waiting.
    ForLoad* StartLogin();
    // Shows the main window, creating it (and running its load) when it is
    // not open.
    Form1* ShowMainWindow();
    // The password-setting mode of the login window, entered from the
    // settings window, which stays disabled until the login window closes.
    ForLoad* OpenPasswordSetting(QWidget* settingsWindow);

    Form1* MainWindow() const;
    ForLoad* LoginWindow() const;

    // The main window's editor text, for the windows beside it; while the
    // settings or update window stands in for the main window, the text kept
    // for its return.
    std::u16string EditorText() const;
    // Puts a text into the main window's editor. While the settings or update
    // window stands in for the main window, the text waits for its return: no
    // second main window opens beside that window. With no main window at
    // all, the main window opens with it. The text counts as settled: it was
    // decoded and can be decoded again.
    void SetEditorText(const std::u16string& text);

    // True when the editor holds text that changed since it was last saved,
    // loaded or decoded; an empty editor holds none.
    bool EditorTextUnsaved() const;
    // The editor's text now counts as kept somewhere (saved, loaded, decoded).
    void SettleEditorText(std::u16string_view text);
    // Asks before unsaved editor text is replaced (default No). True when
    // there is none, or the user lets it go.
    bool ConfirmReplaceEditorText();
    // The main window has made way for `window` (settings or update).
    void SetStandIn(QWidget* window);

    void SetWindowOpener(AppWindow window, WindowOpener opener);
    QWidget* OpenWindow(AppWindow window);

    void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
    bool OpenUrl(const std::string& url);

    // Ends the run at once: every window closes and the event loop stops.
    void EndProgram(int exitCode = 0);
    bool Ended() const { return ended_; }
    int ExitCode() const { return exitCode_; }

  private:
    Form1* OpenMainWindow() const;
    bool MainWindowAway() const;

    std::filesystem::path programFolder_;
    Dialogs& dialogs_;
    cipher::ModEncrypt cipher_;
    Form1State mainState_;
    CommonDialog1 commonDialog_;
    EditorFontSettings editorFont_;
    QPointer<Form1> mainWindow_;
    QPointer<QWidget> standIn_;
    QPointer<ForLoad> loginWindow_;
    std::map<AppWindow, WindowOpener> openers_;
    UrlOpener urlOpener_;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace velotan::app
