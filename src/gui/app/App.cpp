#include "App.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include "ForLoad.h"
#include "Form1.h"
#include "WindowAccessible.h"
#include "platform/Launcher.h"

namespace velotan::app {
namespace {

// Line breaks as the editor gives them back, CR LF, whatever they were.
std::u16string WithCrLf(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u"\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

App::App(std::filesystem::path programFolder, Dialogs& dialogs,
         cipher::ModEncrypt::DriveScanner scanDrives, std::filesystem::path dataFolder)
    : programFolder_(std::move(programFolder)),
      dialogs_(dialogs),
      cipher_(programFolder_, dialogs_, std::move(scanDrives)),
      commonDialog_(dialogs_),
      urlOpener_([](const std::string& url) { return platform::OpenUrl(url); }) {
    cipher_.SetDataFolder(std::move(dataFolder));
    InstallWindowAccessibility();
}

App::~App() {
    // Windows may still be open when a test or main() drops the run.
    delete mainWindow_.data();
    delete loginWindow_.data();
}

Form1* App::MainWindow() const {
    return mainWindow_;
}

ForLoad* App::LoginWindow() const {
    return loginWindow_;
}

Form1* App::OpenMainWindow() const {
    return mainWindow_ && !mainWindow_->Unloaded() ? mainWindow_.data() : nullptr;
}

bool App::MainWindowAway() const {
    return !OpenMainWindow() && standIn_ && standIn_->isVisible();
}

void App::SetStandIn(QWidget* window) {
    standIn_ = window;
}

std::u16string App::EditorText() const {
    if (Form1* main = OpenMainWindow())
        return main->EditorText();
    return MainWindowAway() ? mainState_.KeptEditorText : std::u16string();
}

void App::SetEditorText(const std::u16string& text) {
    SettleEditorText(text);
    if (MainWindowAway()) {
        mainState_.KeptEditorText = text;
        return;
    }
    Form1* main = OpenMainWindow();
    if (!main)
        main = ShowMainWindow();
    if (main)
        main->SetEditorText(text);
}

bool App::EditorTextUnsaved() const {
    const std::u16string text = EditorText();
    return !text.empty() && WithCrLf(text) != mainState_.SettledEditorText;
}

void App::SettleEditorText(std::u16string_view text) {
    mainState_.SettledEditorText = WithCrLf(text);
}

bool App::ConfirmReplaceEditorText() {
    if (!EditorTextUnsaved())
        return true;
    return dialogs_.ConfirmRisky(QString::fromUtf16(kReplaceUnsavedQuestion));
}

ForLoad* App::StartLogin() {
    if (loginWindow_ && !loginWindow_->Unloaded())
        return loginWindow_;
    auto* window = new ForLoad(*this);
    loginWindow_ = window;
    window->Form_Load();
    return loginWindow_;
}

Form1* App::ShowMainWindow() {
    // A closed window waits for its deletion; showing means a new one.
    if (mainWindow_ && mainWindow_->Unloaded())
        mainWindow_ = nullptr;
    if (!mainWindow_) {
        auto* window = new Form1(*this);
        mainWindow_ = window;
        window->Form_Load();
    }
    if (mainWindow_) {
        mainWindow_->show();
        mainWindow_->raise();
        // The login window that showed it is going: without a window manager
        // to pass the keyboard on, typing would go nowhere.
        mainWindow_->activateWindow();
    }
    return mainWindow_;
}

ForLoad* App::OpenPasswordSetting(QWidget* settingsWindow) {
    if (loginWindow_ && loginWindow_->Unloaded())
        loginWindow_ = nullptr;
    if (!loginWindow_) {
        auto* window = new ForLoad(*this);
        loginWindow_ = window;
        window->PreparePasswordSetting(settingsWindow);
        window->Form_Load();
    } else {
        loginWindow_->PreparePasswordSetting(settingsWindow);
    }
    if (!loginWindow_ || ended_)
        return nullptr;
    loginWindow_->show();
    loginWindow_->FocusNewPassword();
    return loginWindow_;
}

void App::SetWindowOpener(AppWindow window, WindowOpener opener) {
    openers_[window] = std::move(opener);
}

QWidget* App::OpenWindow(AppWindow window) {
    auto it = openers_.find(window);
    if (it == openers_.end() || !it->second)
        return nullptr;
    return it->second(*this);
}

bool App::OpenUrl(const std::string& url) {
    return urlOpener_ && urlOpener_(url);
}

void App::EndProgram(int exitCode) {
    ended_ = true;
    exitCode_ = exitCode;
    if (mainWindow_)
        mainWindow_->close();
    if (loginWindow_)
        loginWindow_->close();
    QApplication::closeAllWindows();
    QCoreApplication::exit(exitCode);
}

}  // namespace velotan::app
