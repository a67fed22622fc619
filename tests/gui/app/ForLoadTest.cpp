// The login window against a real password database file.

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "encoding/Class1.h"
#include "passworddb/PasswordDatabase.h"
#include "passworddb/PasswordHash.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using platform::MsgStyle;

// The form earlier versions stored: Base64 of the code page 936 bytes.
std::string Encoded(const std::u16string& password) {
    return QString::fromStdU16String(encoding::Class1().Base64Encode(password)).toStdString();
}

// The stored value is a hash of exactly `password`.
::testing::AssertionResult HashOf(const std::string& stored, const std::u16string& password) {
    if (!passworddb::IsPasswordHash(stored))
        return ::testing::AssertionFailure() << "not a hash: " << stored;
    if (passworddb::CheckLogin(stored, password) != passworddb::LoginCheck::Right)
        return ::testing::AssertionFailure() << "the hash does not verify";
    return ::testing::AssertionSuccess();
}

class ForLoadTest : public AppFixture {
  protected:
    ForLoad* Login() {
        window_ = MakeApp().StartLogin();
        return window_;
    }
    void Type(int index, const QString& text) {
        QLineEdit* box = Find<QLineEdit>(window_, ("TextPass_" + std::to_string(index)).c_str());
        ASSERT_NE(box, nullptr);
        box->clear();
        QTest::keyClicks(box, text);
    }
    // Text that no key of the test keyboard types, put as an input method
    // would.
    void Put(int index, const QString& text) {
        QLineEdit* box = Find<QLineEdit>(window_, ("TextPass_" + std::to_string(index)).c_str());
        ASSERT_NE(box, nullptr);
        box->setText(text);
    }
    void ClickYes() { QTest::mouseClick(Find<QPushButton>(window_, "CommandYes"), Qt::LeftButton); }
    void ClickNo() { QTest::mouseClick(Find<QPushButton>(window_, "CommandNo"), Qt::LeftButton); }

    QPointer<ForLoad> window_;
};

TEST_F(ForLoadTest, EmptyStoredPasswordLetsAnEmptyLoginIn) {
    ForLoad* window = Login();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("登录"));
    EXPECT_FALSE(Find<QLineEdit>(window, "TextPass_0")->isHidden());
    EXPECT_TRUE(Find<QLineEdit>(window, "TextPass_1")->isHidden());
    EXPECT_TRUE(Find<QLineEdit>(window, "TextPass_2")->isHidden());
    EXPECT_EQ(Find<QLineEdit>(window, "TextPass_0")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QLineEdit>(window, "TextPass_0")->maxLength(), 15);

    ClickYes();
    ProcessEvents();
    EXPECT_TRUE(dialogs_.asked.empty());
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(app_->MainWindow()->isVisible());
    EXPECT_TRUE(window_.isNull() || !window_->isVisible());
    EXPECT_FALSE(app_->Ended());
}

TEST_F(ForLoadTest, LoginIsExactCaseSensitiveAndUntrimmed) {
    SetStoredValue(Encoded(u"Abc"));
    Login();
    for (const QString& wrong : {QStringLiteral("abc"), QStringLiteral("Abc "), QString()}) {
        Type(0, wrong);
        ClickYes();
        EXPECT_EQ(app_->MainWindow(), nullptr) << wrong.toStdString();
        // The typed text stays for the next try.
        EXPECT_EQ(Find<QLineEdit>(window_, "TextPass_0")->text(), wrong);
    }
    const auto messages = dialogs_.Messages();
    ASSERT_EQ(messages.size(), 3u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, QStringLiteral("口令错误，请重新输入登录口令！"));
        EXPECT_EQ(m.title, QStringLiteral("错误"));
        EXPECT_EQ(m.style, MsgStyle::kOkOnly | MsgStyle::kCritical | MsgStyle::kSystemModal);
    }

    // The Enter key in the password box confirms, like the default button.
    Type(0, QStringLiteral("Abc"));
    QTest::keyClick(Find<QLineEdit>(window_, "TextPass_0"), Qt::Key_Return);
    ProcessEvents();
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_EQ(dialogs_.Messages().size(), 3u);
}

TEST_F(ForLoadTest, EnterPressesTheFocusedButtonAndNoBoxHoldsTheStoredPassword) {
    SetStoredValue(Encoded(u"secret"));
    Login();
    // No box anywhere in the window holds the stored password.
    for (QLineEdit* box : window_->findChildren<QLineEdit*>())
        EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
    EXPECT_TRUE(Find<QPushButton>(window_, "CommandYes")->isDefault());

    // Enter on the focused Yes button confirms (a wrong password here).
    Type(0, QStringLiteral("nope"));
    QTest::keyClick(Find<QPushButton>(window_, "CommandYes"), Qt::Key_Return);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("口令错误，请重新输入登录口令！"));

    // Enter on the focused Cancel button cancels: in login mode the run ends.
    QTest::keyClick(Find<QPushButton>(window_, "CommandNo"), Qt::Key_Return);
    EXPECT_TRUE(app_->Ended());
    EXPECT_EQ(app_->MainWindow(), nullptr);
    EXPECT_EQ(dialogs_.Messages().size(), 1u);
}

TEST_F(ForLoadTest, MissingRowOrNullCountsAsNoPassword) {
    for (const char* sql :
         {"DELETE FROM LcUser", "DELETE FROM LcUser; INSERT INTO LcUser(口令) VALUES (NULL)"}) {
        SCOPED_TRACE(sql);
        app_.reset();
        ExecSql(sql);
        Login();
        ClickYes();
        EXPECT_NE(app_->MainWindow(), nullptr);
        EXPECT_TRUE(dialogs_.Messages().empty());
    }
}

TEST_F(ForLoadTest, FirstPasswordLeavesOneHashedRowAndEndsTheProgram) {
    // Whatever rows there were, exactly one is left.
    ExecSql("INSERT INTO LcUser(口令) VALUES (''); INSERT INTO LcUser(口令) VALUES (NULL)");
    QWidget settings;
    settings.setObjectName(QStringLiteral("Form2"));
    settings.show();
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("口令设置"));
    EXPECT_TRUE(Find<QLineEdit>(window_, "TextPass_0")->isHidden());
    EXPECT_FALSE(Find<QLineEdit>(window_, "TextPass_1")->isHidden());
    EXPECT_FALSE(Find<QLineEdit>(window_, "TextPass_2")->isHidden());
    EXPECT_FALSE(settings.isEnabled());

    // The boxes are compared as they will be stored: "abc " confirmed by
    // "abc" would store a password that the next login with "abc" misses.
    Type(1, QStringLiteral("abc "));
    Type(2, QStringLiteral("abc"));
    ClickYes();
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("新口令两次输入不一致，请重新输入！"));
    EXPECT_FALSE(app_->Ended());
    EXPECT_EQ(RowCount(), 3);

    Type(2, QStringLiteral("abc "));
    ClickYes();
    ProcessEvents();

    EXPECT_EQ(RowCount(), 1);
    EXPECT_TRUE(HashOf(StoredValue(), u"abc "));
    const auto messages = dialogs_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text,
              QStringLiteral("口令已更改，新口令在下一次登录时生效！现将关闭程序以生效。"));
    EXPECT_EQ(messages[1].title, QStringLiteral("信息"));
    EXPECT_EQ(messages[1].style,
              MsgStyle::kOkOnly | MsgStyle::kInformation | MsgStyle::kSystemModal);
    EXPECT_TRUE(app_->Ended());
    EXPECT_EQ(app_->ExitCode(), 0);
}

TEST_F(ForLoadTest, PasswordChangeUpdatesTheRowAndTheNextLoginNeedsIt) {
    SetStoredValue(Encoded(u"old"));
    QWidget settings;
    settings.show();
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);

    // Two different entries: told, nothing written.
    Type(1, QStringLiteral("new"));
    Type(2, QStringLiteral("newer"));
    ClickYes();
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("新口令两次输入不一致，请重新输入！"));
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("信息"));
    EXPECT_EQ(dialogs_.Messages()[0].style,
              MsgStyle::kOkOnly | MsgStyle::kInformation | MsgStyle::kSystemModal);
    EXPECT_EQ(StoredValue(), Encoded(u"old"));
    EXPECT_TRUE(window_->isVisible());

    // Blanks count: they are stored.
    Type(1, QStringLiteral("new "));
    Type(2, QStringLiteral(" new"));
    ClickYes();
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[1].text, QStringLiteral("新口令两次输入不一致，请重新输入！"));
    EXPECT_EQ(StoredValue(), Encoded(u"old"));

    Type(2, QStringLiteral("new "));
    ClickYes();
    ProcessEvents();
    EXPECT_EQ(RowCount(), 1);
    EXPECT_TRUE(HashOf(StoredValue(), u"new "));
    ASSERT_EQ(dialogs_.Messages().size(), 3u);
    EXPECT_EQ(dialogs_.Messages()[2].text,
              QStringLiteral("口令已更改，新口令在下一次登录时生效！"));
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(window_.isNull() || !window_->isVisible());
    // The settings window can be used again.
    EXPECT_TRUE(settings.isEnabled());

    // Next run: the trailing space is part of the password.
    app_.reset();
    dialogs_.asked.clear();
    Login();
    Type(0, QStringLiteral("new"));
    ClickYes();
    EXPECT_EQ(app_->MainWindow(), nullptr);
    Type(0, QStringLiteral("new "));
    ClickYes();
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_EQ(dialogs_.Messages().size(), 1u);
}

TEST_F(ForLoadTest, ChangeThatFindsNoRowIsReportedNotClaimed) {
    SetStoredValue(Encoded(u"old"));
    QWidget settings;
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    // Someone else changed the row after the window read it.
    SetStoredValue(Encoded(u"other"));
    Type(1, QStringLiteral("new"));
    Type(2, QStringLiteral("new"));
    ClickYes();
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QStringLiteral("口令未能更改")));
    EXPECT_EQ(StoredValue(), Encoded(u"other"));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(ForLoadTest, PasswordThatCodePage936CannotCarryIsRefused) {
    // Stored as "?", such a password could never be typed again.
    SetStoredValue(Encoded(u"old"));
    QWidget settings;
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    const QString refused[] = {QStringLiteral("pay€"), QString::fromUtf8("\xF0\x9F\x98\x80x"),
                               QStringLiteral("한글")};
    for (const QString& password : refused) {
        dialogs_.asked.clear();
        Put(1, password);
        Put(2, password);
        ClickYes();
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << password.toStdString();
        EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
        EXPECT_EQ(dialogs_.Messages()[0].text, QString::fromUtf16(kUnstorablePasswordMessage));
        EXPECT_EQ(StoredValue(), Encoded(u"old"));
        EXPECT_TRUE(window_->isVisible());
    }
    // Chinese text is carried and accepted.
    dialogs_.asked.clear();
    Put(1, QStringLiteral("口令abc"));
    Put(2, QStringLiteral("口令abc"));
    ClickYes();
    ProcessEvents();
    EXPECT_TRUE(HashOf(StoredValue(), u"口令abc"));
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("信息"));
}

TEST_F(ForLoadTest, FirstPasswordThatCannotBeStoredKeepsTheEmptyOne) {
    QWidget settings;
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    Put(1, QStringLiteral("€"));
    Put(2, QStringLiteral("€"));
    ClickYes();
    EXPECT_FALSE(app_->Ended());
    EXPECT_EQ(StoredValue(), "");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
}

TEST_F(ForLoadTest, CancelEndsLoginButOnlyClosesPasswordSetting) {
    Login();
    ClickNo();
    EXPECT_TRUE(app_->Ended());

    app_.reset();
    SetStoredValue(Encoded(u"keep"));
    QWidget settings;
    window_ = MakeApp().OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    Type(1, QStringLiteral("x"));
    Type(2, QStringLiteral("x"));
    ClickNo();
    ProcessEvents();
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(window_.isNull() || !window_->isVisible());
    EXPECT_TRUE(settings.isEnabled());
    EXPECT_EQ(StoredValue(), Encoded(u"keep"));
}

TEST_F(ForLoadTest, FailedConnectionShowsTheMessageAndEndsTheProgram) {
    struct Case {
        const char* what;
        std::function<void()> breakIt;
    };
    const Case cases[] = {
        {"missing file", [&] { fs::remove(DatabaseFile()); }},
        {"not a database", [&] { WriteBytes(DatabaseFile(), std::string(4096, 'x')); }},
        {"other database password",
         [&] {
             ASSERT_TRUE(passworddb::PasswordDatabase::Create(DatabaseFile(), "other", nullptr));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app_.reset();
        dialogs_.asked.clear();
        c.breakIt();
        bool drawnFirst = false;
        dialogs_.onMessage = [&](const Asked&) {
            // The window is on screen before the database is opened.
            ForLoad* window = app_->LoginWindow();
            drawnFirst = window && window->isVisible();
        };
        dialogs_.msgAnswers = {platform::MsgResult::Cancel};
        Login();
        const auto messages = dialogs_.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text,
                  QStringLiteral(
                      "无法连接到数据库，可能数据库已损坏！请重新安装本程序后恢复备份的数据。"));
        EXPECT_EQ(messages[0].title, QStringLiteral("错误"));
        EXPECT_EQ(messages[0].style,
                  MsgStyle::kOkCancel | MsgStyle::kCritical | MsgStyle::kSystemModal);
        EXPECT_TRUE(drawnFirst);
        EXPECT_TRUE(app_->Ended());
        EXPECT_NE(app_->ExitCode(), 0);
        EXPECT_EQ(app_->MainWindow(), nullptr);
        dialogs_.onMessage = nullptr;
        std::string error;
        ASSERT_TRUE(passworddb::PasswordDatabase::Create(DatabaseFile(),
                                                         passworddb::kDatabasePassword, &error));
    }
}

TEST_F(ForLoadTest, OldBase64EntryLogsInOnceAndIsReplacedByItsHash) {
    SetStoredValue(Encoded(u"Abc"));
    Login();
    Type(0, QStringLiteral("abc"));
    ClickYes();
    EXPECT_EQ(app_->MainWindow(), nullptr);
    EXPECT_EQ(StoredValue(), Encoded(u"Abc"));

    Type(0, QStringLiteral("Abc"));
    ClickYes();
    ProcessEvents();
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(HashOf(StoredValue(), u"Abc"));
    EXPECT_EQ(RowCount(), 1);

    // Next run: the hash lets the same password in, and nothing else.
    app_.reset();
    dialogs_.asked.clear();
    Login();
    Type(0, QStringLiteral("Abc "));
    ClickYes();
    EXPECT_EQ(app_->MainWindow(), nullptr);
    Type(0, QStringLiteral("Abc"));
    ClickYes();
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_EQ(dialogs_.Messages().size(), 1u);
}

TEST_F(ForLoadTest, FailedUpgradeStillLogsInAndKeepsTheOldEntryWorking) {
    SetStoredValue(Encoded(u"Abc"));
    // Any write to the table fails, as on a database that cannot be written.
    ExecSql(
        "CREATE TRIGGER no_update BEFORE UPDATE ON LcUser BEGIN SELECT RAISE(ABORT, 'no'); END");
    Login();
    Type(0, QStringLiteral("Abc"));
    ClickYes();
    ProcessEvents();
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_EQ(StoredValue(), Encoded(u"Abc"));

    app_.reset();
    ExecSql("DROP TRIGGER no_update");
    Login();
    Type(0, QStringLiteral("Abc"));
    ClickYes();
    ProcessEvents();
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(HashOf(StoredValue(), u"Abc"));
}

TEST_F(ForLoadTest, AProgramFolderWithASemicolonInItsPathWorks) {
    // A connection string would have cut the path at the ";".
    const fs::path folder = temp_.path() / "apps" / "velotan;2";
    fs::create_directories(folder / "DataBase");
    fs::copy_file(DatabaseFile(), passworddb::DatabaseFile(folder));
    fs::copy_file(Folder() / "symbolhandle.ini", folder / "symbolhandle.ini");
    fs::remove(DatabaseFile());  // only the folder with the ";" has one
    auto start = [&] {
        app_ = std::make_unique<App>(folder, dialogs_, [] { return platform::DriveMap(); });
        app_->SetUrlOpener([](const std::string&) { return true; });
    };

    // The first password is written there...
    start();
    QWidget settings;
    window_ = app_->OpenPasswordSetting(&settings);
    ASSERT_NE(window_, nullptr);
    Type(1, QStringLiteral("semi;colon"));
    Type(2, QStringLiteral("semi;colon"));
    ClickYes();
    ProcessEvents();
    ASSERT_TRUE(app_->Ended());
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("信息"));

    // ...and read back at the next start.
    app_.reset();
    ProcessEvents();
    dialogs_.asked.clear();
    start();
    window_ = app_->StartLogin();
    ASSERT_NE(window_, nullptr);
    Type(0, QStringLiteral("semi;colon"));
    ClickYes();
    ProcessEvents();
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_NE(app_->MainWindow(), nullptr);
    EXPECT_FALSE(fs::exists(DatabaseFile()));
}

}  // namespace
}  // namespace velotan::app::test
