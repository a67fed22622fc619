// The windows the main window opens, as a screen reader and a keyboard user
// meet them: each a named frame, every control it lets the focus reach named
// (by its label where it has one), Tab in the visual order, and the LED
// panel saying the keys. The shipped skin is applied.

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>

#include "VxLedControl/VxLedControl.h"
#include "WindowsFixture.h"
#include "app/ForLoad.h"
#include "app/WindowFrame.h"
#include "common/AccessibleView.h"
#include "controlhost/ControlLibrary.h"
#include "windows/Form2.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/FrmUpdate.h"
#include "windows/frmAbout.h"

namespace velotan::windows::test {
namespace {

namespace fs = std::filesystem;
using velotan::test::Accessible;
using velotan::test::AccessibleName;
using velotan::test::AccessibleRole;
using velotan::test::AccessibleText;
using velotan::test::AccessKey;
using velotan::test::TabWalk;
using velotan::test::UnnamedFocusable;

class WindowsAccessibilityTest : public WindowsFixture {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "Main.skn", Folder() / "Main.skn");
        WriteKeyFile("12UGA200");
        // The settings window's panel comes from the library of the build
        // tree, registered in a registry of the test's own.
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        fs::create_directories(temp_.path() / "xdg");
        qputenv("XDG_DATA_HOME", (temp_.path() / "xdg").c_str());
        auto library = platform::ControlLibrary::open(
            QFileInfo(QStringLiteral(VXLED_LIBRARY_PATH)).absoluteFilePath(), nullptr);
        ASSERT_TRUE(library);
        ASSERT_EQ(library->registerServer(), vxled::S_OK);
    }
    void TearDown() override {
        WindowsFixture::TearDown();
        if (hadXdg_)
            qputenv("XDG_DATA_HOME", oldXdg_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    template <typename Window>
    Window* Open(const char* button, const char* name) {
        Main();
        Click(main_, button);
        ProcessEvents();
        return OpenWindow<Window>(name);
    }

    bool hadXdg_ = false;
    QByteArray oldXdg_;
};

TEST_F(WindowsAccessibilityTest, SettingsWindowNamesThePanelWhichSaysTheKeys) {
    Form2* window = Open<Form2>("cmdSettings", "Form2");
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->LedControl(), nullptr);
    EXPECT_EQ(AccessibleRole(window), QAccessible::Window);
    EXPECT_EQ(AccessibleName(window), QStringLiteral("青岚加密设置"));
    EXPECT_EQ(UnnamedFocusable(window), QStringList());

    QWidget* led = window->LedControl()->widget();
    EXPECT_EQ(AccessibleRole(led), QAccessible::StaticText);
    EXPECT_EQ(AccessibleName(led), QStringLiteral("您的密钥"));
    EXPECT_EQ(AccessibleText(led, QAccessible::Description), QStringLiteral("12.200"));
    EXPECT_EQ(Accessible(led)->childCount(), 0);

    // New keys: the description follows the caption.
    Click(window, "cmdBuildChar");
    EXPECT_EQ(AccessibleText(led, QAccessible::Description), window->KeyCaption());
    EXPECT_NE(window->KeyCaption(), QStringLiteral("0.0"));

    // Tab: the row of key buttons left to right, the font row, the
    // password row, then the bottom row: the strong keys and back to the
    // main window.
    EXPECT_EQ(
        TabWalk(Find<QPushButton>(window, "cmdBuildChar"), 8),
        QStringList({"cmdBuildChar", "cmdLoadChar", "Command1", "cmdSetFontStyle",
                     "cmdSetFontColor", "cmdChange", "cmdStrongKeys", "cmdBack", "cmdBuildChar"}));
}

TEST_F(WindowsAccessibilityTest, SettingsAccessKeyOpensThePasswordDialog) {
    Form2* window = Open<Form2>("cmdSettings", "Form2");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(AccessKey(window, Qt::Key_C));
    QPointer<app::ForLoad> dialog;
    for (int i = 0; i < 200 && !dialog; ++i) {
        QTest::qWait(10);
        dialog = app_->LoginWindow();
    }
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("口令设置"));
    EXPECT_EQ(AccessibleRole(dialog), QAccessible::Dialog);
    EXPECT_FALSE(window->isEnabled());
    dialog->close();
    ProcessEvents();
}

TEST_F(WindowsAccessibilityTest, DecodeWindowNamesItsBoxesByTheirLabels) {
    Form3* window = Open<Form3>("cmdEncoding", "Form3");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AccessibleRole(window), QAccessible::Window);
    EXPECT_EQ(AccessibleName(window->txtText1), QStringLiteral("输入密文："));
    EXPECT_EQ(AccessibleName(window->txtText2), QStringLiteral("输入随机码表："));
    EXPECT_EQ(AccessibleName(window->txtText3), QStringLiteral("输入一次密钥："));
    EXPECT_EQ(AccessibleName(window->txtText4), QStringLiteral("输入二次密钥："));
    EXPECT_TRUE(Accessible(window->txtText3)->state().passwordEdit);
    EXPECT_EQ(UnnamedFocusable(window), QStringList());
    EXPECT_EQ(TabWalk(window->txtText1, 6),
              QStringList({"txtText1", "txtText2", "txtText3", "txtText4", "cmdEncoding", "cmdBack",
                           "txtText1"}));
}

TEST_F(WindowsAccessibilityTest, ShareWindowNamesTheTextByItsHeading) {
    Editor()->SetText(QStringLiteral("今天很好"));
    Form4* window = Open<Form4>("Command1", "Form4");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AccessibleRole(window), QAccessible::Window);
    QWidget* shown = Find<QWidget>(window, "lblToShare");
    EXPECT_EQ(AccessibleName(shown), QStringLiteral("这是您即将要分享的心情："));
    EXPECT_EQ(UnnamedFocusable(window), QStringList());
    // The text sits above the buttons, the copy and QR code buttons below
    // them; the window opens on the first network button.
    // The choice of cipher lies between them: one stop for both options.
    EXPECT_EQ(TabWalk(shown, 9),
              QStringList({"lblToShare", "Command1", "Command2", "Command3", "Command4", "Command5",
                           "optCompatible", "cmdCopy", "cmdSaveQrCode", "lblToShare"}));
}

TEST_F(WindowsAccessibilityTest, AboutBoxNamesEachFrameByItsOwnTitle) {
    frmAbout* window = Open<frmAbout>("cmdAbout", "frmAbout");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AccessibleRole(window), QAccessible::Window);
    EXPECT_EQ(AccessibleName(window), QStringLiteral("关于 青岚心情加密器"));
    // Frames inside a frame: Qt would call both "青岚心情加密器".
    EXPECT_EQ(AccessibleName(Find<QGroupBox>(window, "Frame2")), QStringLiteral("控件信息"));
    EXPECT_EQ(AccessibleName(Find<QGroupBox>(window, "Frame3")), QStringLiteral("算法信息"));
    EXPECT_EQ(UnnamedFocusable(window), QStringList());
    // The rotating lines are read as they change.
    window->lblControlInfo->setText(QStringLiteral("界面：Qt"));
    EXPECT_EQ(AccessibleName(window->lblControlInfo), QStringLiteral("界面：Qt"));
}

TEST_F(WindowsAccessibilityTest, UpdateWindowIsNamedAndTabbedDownItsButtons) {
    Main();
    Click(main_, "Command2");
    ProcessEvents();
    update::FrmUpdate* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* update = qobject_cast<update::FrmUpdate*>(widget); update && update->isVisible())
            window = update;
    }
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(AccessibleRole(window), QAccessible::Window);
    EXPECT_EQ(AccessibleName(window), QStringLiteral("澄川过滤专家升级"));
    EXPECT_EQ(AccessibleName(Find<QProgressBar>(window, "prgDownload")),
              QStringLiteral("下载进度"));
    EXPECT_EQ(UnnamedFocusable(window), QStringList());
    // 停止更新 waits, disabled, for a check to stop.
    EXPECT_EQ(TabWalk(Find<QPushButton>(window, "Command1"), 2),
              QStringList({"Command1", "Command3", "Command1"}));
}

// Labels show paths, key files, info files and what servers send: every
// label of every window is plain text, never markup (an <img src=...> in a
// file would make Qt open any file). The windows without the LED panel show
// the keys in a label of their own, which counts too.
TEST_F(WindowsAccessibilityTest, EveryLabelOfEveryWindowIsPlainText) {
    const std::pair<const char*, const char*> windows[] = {{"cmdSettings", "Form2"},
                                                           {"cmdEncoding", "Form3"},
                                                           {"Command1", "Form4"},
                                                           {"cmdAbout", "frmAbout"},
                                                           {"Command2", "FrmUpdate"}};
    for (const auto& [button, name] : windows) {
        Main();
        Click(main_, button);
        ProcessEvents();
        app::WindowFrame* window = OpenWindow<app::WindowFrame>(name);
        ASSERT_NE(window, nullptr) << name;
        const QList<QLabel*> labels = window->findChildren<QLabel*>();
        EXPECT_FALSE(labels.isEmpty()) << name;
        for (const QLabel* label : labels)
            EXPECT_EQ(label->textFormat(), Qt::PlainText)
                << name << " " << label->objectName().toStdString();
        window->close();
        ProcessEvents();
    }
}

}  // namespace
}  // namespace velotan::windows::test
