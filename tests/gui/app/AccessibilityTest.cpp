// The login and main windows as a screen reader and a keyboard user meet
// them: names, roles, the Tab order and the access keys, with the shipped
// skin applied.

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <memory>

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "common/AccessibleView.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using velotan::test::Accessible;
using velotan::test::AccessibleName;
using velotan::test::AccessibleRole;
using velotan::test::AccessKey;
using velotan::test::TabWalk;
using velotan::test::UnnamedFocusable;

class AccessibilityTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        // The skin is a style sheet, which could set properties: the names
        // must come through it.
        fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "Main.skn", Folder() / "Main.skn");
    }
    QLineEdit* Box(QWidget* window, int index) {
        return Find<QLineEdit>(window, ("TextPass_" + std::to_string(index)).c_str());
    }
};

TEST_F(AccessibilityTest, LoginWindowIsAFrameWhosePasswordBoxesAreNamedByTheirLabels) {
    ForLoad* login = MakeApp().StartLogin();
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(AccessibleRole(login), QAccessible::Window);
    EXPECT_EQ(AccessibleName(login), QStringLiteral("登录"));
    EXPECT_EQ(AccessibleName(Box(login, 0)), QStringLiteral("输入口令："));
    EXPECT_EQ(AccessibleName(Box(login, 1)), QStringLiteral("新口令："));
    EXPECT_EQ(AccessibleName(Box(login, 2)), QStringLiteral("确认口令："));
    EXPECT_EQ(AccessibleRole(Box(login, 0)), QAccessible::EditableText);
    EXPECT_TRUE(Accessible(Box(login, 0))->state().passwordEdit);
    EXPECT_EQ(UnnamedFocusable(login), QStringList());
}

TEST_F(AccessibilityTest, PasswordSettingIsADialog) {
    QWidget settings;
    settings.show();
    ForLoad* dialog = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(AccessibleRole(dialog), QAccessible::Dialog);
    EXPECT_EQ(AccessibleName(dialog), QStringLiteral("口令设置"));
    // Tab runs down the two rows it shows, then to its buttons.
    EXPECT_EQ(TabWalk(Box(dialog, 1), 4),
              QStringList({"TextPass_1", "TextPass_2", "CommandYes", "CommandNo", "TextPass_1"}));
}

TEST_F(AccessibilityTest, MainWindowIsANamedFrameAndTabRunsDownItsColumn) {
    Form1* main = MakeApp().ShowMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(AccessibleRole(main), QAccessible::Window);
    EXPECT_EQ(AccessibleName(main),
              QStringLiteral("青岚心情加密器 - Powered By Orvan From Mirelsoftware."));
    EXPECT_EQ(UnnamedFocusable(main), QStringList());
    // The editor is named by the frame around it, which names the document.
    EXPECT_EQ(AccessibleName(main->txtText1), QStringLiteral("文本区"));
    EXPECT_EQ(AccessibleName(Find<QPushButton>(main, "cmdEncrypt")), QStringLiteral("加密文档(E)"));

    const QStringList column = {"cmdLoad",    "cmdEncrypt", "cmdSave",     "cmdEncoding",
                                "Command1",   "cmdClear",   "cmdSettings", "cmdAbout",
                                "cmdGetHelp", "Command2",   "cmdSubmit",   "txtText1"};
    EXPECT_EQ(TabWalk(Find<QPushButton>(main, "cmdLoad"), 11), column);
    // Shift+Tab leaves the editor, where Tab types a tab.
    QTest::keyClick(main->txtText1, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>(main, "cmdSubmit"));
}

TEST_F(AccessibilityTest, EveryAccessKeyOfTheMainWindowPressesItsButton) {
    Form1* main = MakeApp().ShowMainWindow();
    ASSERT_NE(main, nullptr);
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_O, "cmdLoad"},  {Qt::Key_E, "cmdEncrypt"}, {Qt::Key_S, "cmdSave"},
        {Qt::Key_F, "Command1"}, {Qt::Key_C, "cmdClear"},   {Qt::Key_P, "cmdSettings"},
        {Qt::Key_A, "cmdAbout"}, {Qt::Key_H, "cmdGetHelp"}, {Qt::Key_U, "Command2"},
    };
    std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
    for (QPushButton* button : main->findChildren<QPushButton*>())
        spies[button->objectName().toStdString()] =
            std::make_unique<QSignalSpy>(button, &QPushButton::clicked);
    main->txtText1->setFocus();
    for (const auto& [key, name] : keys) {
        ASSERT_TRUE(AccessKey(main, key)) << name;
        // An access key clicks as the mouse does, with the button seen down
        // for a moment.
        QSignalSpy& pressed = *spies[name];
        EXPECT_TRUE(pressed.count() > 0 || pressed.wait(2000)) << "Alt+" << char(key);
        for (const auto& [button, spy] : spies)
            EXPECT_EQ(spy->count(), button == name ? 1 : 0)
                << "Alt+" << char(key) << ": " << button;
        for (auto& [button, spy] : spies)
            spy->clear();
    }
    // Alt+C did clear the editor, once the unsaved text may go.
    main->txtText1->SetText(QStringLiteral("etwas"));
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    ASSERT_TRUE(AccessKey(main, Qt::Key_C));
    ASSERT_TRUE(spies["cmdClear"]->wait(2000));
    EXPECT_EQ(main->txtText1->Text(), QString());
}

}  // namespace
}  // namespace velotan::app::test
