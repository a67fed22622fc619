// The program's own files when the program folder can be written (a copied,
// portable folder) and when it cannot (a folder installed for every user).

#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "encoding/Class1.h"
#include "platform/DataFolder.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;

std::string Encoded(const std::u16string& password) {
    return QString::fromStdU16String(encoding::Class1().Base64Encode(password)).toStdString();
}

class PerUserDataTest : public AppFixture {
  protected:
    fs::path UserFolder() const { return temp_.path() / "home" / "velotan"; }

    // Shipped as a package would ship it: a marker for the first start and a
    // font file beside the empty password database.
    void Ship() {
        ConfigureKeyStore();
        WriteBytes(Folder() / "first", "");
        WriteBytes(Folder() / "Font.ini",
                   "[Font]\r\nFontName=Noto Sans CJK SC\r\nFontSize=15\r\nFontBold=True\r\n"
                   "FontItalic=False\r\nFontColor=255\r\n");
    }

    App& Start(const platform::FolderProbe& writable) {
        choice_ = platform::ChooseDataFolder(Folder(), writable, UserFolder());
        app_ = std::make_unique<App>(
            Folder(), dialogs_, [] { return platform::DriveMap(); }, choice_.folder);
        app_->SetUrlOpener([](const std::string&) { return true; });
        return *app_;
    }

    // Logs in with `password` and returns the main window, if it opened.
    Form1* LogIn(const QString& password) {
        ForLoad* login = app_->StartLogin();
        if (!login)
            return nullptr;
        Find<QLineEdit>(login, "TextPass_0")->setText(password);
        QTest::mouseClick(Find<QPushButton>(login, "CommandYes"), Qt::LeftButton);
        ProcessEvents();
        return app_->MainWindow();
    }

    platform::DataFolderChoice choice_;
};

TEST_F(PerUserDataTest, PortableFolderKeepsEverythingInItself) {
    Ship();
    Start(platform::FolderIsWritable);
    EXPECT_EQ(app_->DataFolder(), Folder());
    Form1* window = LogIn(QString());
    ASSERT_NE(window, nullptr);
    // The first start used the program folder's own marker and font file.
    EXPECT_FALSE(fs::exists(Folder() / "first"));
    EXPECT_TRUE(fs::exists(KeyFile()));
    EXPECT_TRUE(Find<TextBox>(window, "txtText1")->font().bold());
    EXPECT_FALSE(fs::exists(UserFolder()));
}

TEST_F(PerUserDataTest, ReadOnlyFolderWorksFromTheSeededUserFolder) {
    Ship();
    const std::string shippedDatabase = ReadBytes(DatabaseFile());
    Start([](const fs::path&) { return false; });
    ASSERT_TRUE(choice_.error.empty()) << choice_.error;
    EXPECT_EQ(app_->DataFolder(), UserFolder());
    EXPECT_EQ(app_->ProgramFolder(), Folder());

    // The login reads the user's copy of the database: a password set there
    // is the one that counts, the shipped (empty) one no longer lets anyone in.
    app_.reset();
    ProcessEvents();
    {
        // The fixture's helpers work on the program folder's database; put
        // the user's copy there for a moment.
        const fs::path user = UserFolder() / "DataBase" / "Lc_Addlist.mdb";
        fs::rename(DatabaseFile(), temp_.path() / "shipped.mdb");
        fs::copy_file(user, DatabaseFile());
        SetStoredValue(Encoded(u"mine"));
        fs::copy_file(DatabaseFile(), user, fs::copy_options::overwrite_existing);
        fs::rename(temp_.path() / "shipped.mdb", DatabaseFile());
    }
    Start([](const fs::path&) { return false; });
    dialogs_.asked.clear();
    EXPECT_EQ(LogIn(QString()), nullptr);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("口令错误，请重新输入登录口令！"));
    Form1* window = LogIn(QStringLiteral("mine"));
    ASSERT_NE(window, nullptr);

    // The first start used the user's marker and font file, with the key
    // store from the user's settings.ini.
    EXPECT_TRUE(fs::exists(KeyFile()));
    EXPECT_FALSE(fs::exists(UserFolder() / "first"));
    EXPECT_TRUE(Find<TextBox>(window, "txtText1")->font().bold());

    // The shipped files are as they were.
    EXPECT_TRUE(fs::exists(Folder() / "first"));
    EXPECT_EQ(ReadBytes(DatabaseFile()), shippedDatabase);

    // A later start does not seed again, so no new keys are made.
    const std::string keyLine = ReadBytes(KeyFile());
    app_.reset();
    ProcessEvents();
    Start([](const fs::path&) { return false; });
    ASSERT_NE(LogIn(QStringLiteral("mine")), nullptr);
    EXPECT_FALSE(fs::exists(UserFolder() / "first"));
    EXPECT_EQ(ReadBytes(KeyFile()), keyLine);
}

TEST_F(PerUserDataTest, SharedInstallWithoutAStickKeepsTheKeysInTheUsersOwnFolder) {
    // Installed for every user, no stick, no KeyChar: the first start.
    WriteBytes(Folder() / "first", "");
    WriteBytes(Folder() / platform::kSharedInstallMarker, "");
    const mode_t old = ::umask(022);
    Start(platform::IsUsersOwnFolder);
    ::umask(old);
    ASSERT_TRUE(choice_.error.empty()) << choice_.error;
    ASSERT_EQ(app_->DataFolder(), UserFolder());
    auto mode = [](const fs::path& path) {
        return fs::status(path).permissions() & fs::perms::all;
    };
    const fs::perms userOnly = fs::perms::owner_all;
    const fs::perms userReadWrite = fs::perms::owner_read | fs::perms::owner_write;
    EXPECT_EQ(mode(UserFolder()), userOnly);
    EXPECT_EQ(mode(UserFolder() / "DataBase" / "Lc_Addlist.mdb"), userReadWrite);

    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    ASSERT_NE(LogIn(QString()), nullptr);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(
        dialogs_.Messages()[0].text,
        QStringLiteral("没有找到U盘等可移动磁盘。\r\n是否把密钥保存在本机的用户数据目录中？\r\n") +
            QString::fromStdString(UserFolder().string()));
    const fs::path keyFile = UserFolder() / "mxsw" / "encrypt" / "chat.mx";
    ASSERT_TRUE(fs::exists(keyFile));
    EXPECT_EQ(mode(keyFile), userReadWrite);
    EXPECT_EQ(ReadBytes(UserFolder() / "settings.ini"),
              "[set]\r\nKeyChar=" + UserFolder().string() + "\r\n");
    EXPECT_FALSE(fs::exists(UserFolder() / "first"));
    // The shipped folder is as it was.
    EXPECT_TRUE(fs::exists(Folder() / "first"));
    EXPECT_FALSE(fs::exists(Folder() / "settings.ini"));
    EXPECT_FALSE(fs::exists(Folder() / "mxsw"));
}

}  // namespace
}  // namespace velotan::app::test
