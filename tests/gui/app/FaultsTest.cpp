// The program's own files in failing surroundings and with damaged content:
// a read-only program folder, a full disk, a damaged password database, bad
// data files and broken document pairs. Each case ends in a clear message or
// in the quiet behaviour the program is meant to have; nothing crashes, and
// the file that was there before stays byte for byte.

#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "AppFixture.h"
#include "app/FontSettings.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "cipher/DocumentFiles.h"
#include "common/FifoGuard.h"
#include "common/WriteDenial.h"
#include "encoding/Class1.h"
#include "passworddb/PasswordDatabase.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using cipher::CompanionPath;
using cipher::ReadDocument;
using cipher::WriteDocument;
using velotan::testing::GiveToUnprivileged;
using velotan::testing::HasLeftovers;
using velotan::testing::kReadOnlyStopsNothing;
using velotan::testing::ReadOnlyFolders;
using velotan::testing::RunWithFileSizeLimit;

const std::string kFontIni =
    "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=14\r\nFontBold=True\r\n"
    "FontItalic=False\r\nFontColor=255\r\n";

std::string Encoded(const std::u16string& password) {
    return QString::fromStdU16String(encoding::Class1().Base64Encode(password)).toStdString();
}

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

FontSettings AnyFont() {
    FontSettings font;
    font.name = QStringLiteral("宋体");
    font.size = 10.5;
    font.bold = true;
    font.color = 65280;
    return font;
}

class AppFaults : public AppFixture {
  protected:
    Form1* OpenMain() {
        if (!app_)
            MakeApp();
        main_ = app_->ShowMainWindow();
        return main_;
    }
    TextBox* Editor() { return Find<TextBox>(main_, "txtText1"); }
    void Click(QWidget* window, const char* name) {
        QPushButton* button = Find<QPushButton>(window, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void Type(int index, const QString& text) {
        QLineEdit* box = Find<QLineEdit>(login_, ("TextPass_" + std::to_string(index)).c_str());
        ASSERT_NE(box, nullptr);
        box->clear();
        QTest::keyClicks(box, text);
    }
    // The window as the user sees it after a failed load: nothing changed.
    void ExpectMainStateKept() {
        EXPECT_EQ(app_->MainState().ArticleTitle, u"old.mxe");
        EXPECT_EQ(app_->MainState().ArticleContent, u"content");
        EXPECT_EQ(app_->MainState().RndNumList, u"table");
        EXPECT_EQ(Editor()->Text(), QStringLiteral("keep me"));
        EXPECT_EQ(Find<QGroupBox>(main_, "FrameWork")->title(), QStringLiteral("文本区"));
    }
    void SetMainState() {
        app_->MainState().ArticleTitle = u"old.mxe";
        app_->MainState().ArticleContent = u"content";
        app_->MainState().RndNumList = u"table";
        Editor()->SetText(QStringLiteral("keep me"));
    }
    // Every file of the program folder, by name, with its bytes.
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Folder())) {
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), Folder()).string()] = ReadBytes(entry.path());
        }
        return files;
    }

    QPointer<Form1> main_;
    QPointer<ForLoad> login_;
};

// --- A read-only program folder -----------------------------------------

TEST_F(AppFaults, ReadOnlyProgramFolderRefusesEveryWriteAndLosesNothing) {
    SetStoredValue(Encoded(u"secret"));
    WriteBytes(Folder() / kFontFileName, kFontIni);
    WriteBytes(Folder() / "settings.ini", "[set]\r\nKeyChar=" + Store().string() + "\r\n");
    WriteBytes(Folder() / "first", "");
    fs::create_directories(Store());
    const auto before = Snapshot();

    GiveToUnprivileged(Store());
    ReadOnlyFolders readOnly(temp_.path(), {Folder()});
    if (!readOnly.Active())
        GTEST_SKIP() << kReadOnlyStopsNothing;

    // Font.ini: the writer says why; the old file stays.
    std::string error;
    EXPECT_FALSE(WriteFontIni(Folder(), AnyFont(), &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;

    // The login still works: the database is read, not written.
    login_ = MakeApp().StartLogin();
    ASSERT_NE(login_, nullptr);
    EXPECT_TRUE(dialogs_.Messages().empty());
    Type(0, QStringLiteral("secret"));
    Click(login_, "CommandYes");
    ProcessEvents();
    main_ = app_->MainWindow();
    ASSERT_NE(main_, nullptr);

    // The first start: the keys go to the (writable) key store; the marker
    // cannot be deleted, and the user is told.
    EXPECT_TRUE(fs::exists(KeyFile()));
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QStringLiteral("无法删除首次运行标记文件")));
    // Font.ini and settings.ini are read as ever.
    EXPECT_EQ(main_->txtText1->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(app_->MainState().USBNAME, QPath(Store()).toStdU16String());

    // A password change cannot be written: said so, nothing claimed, the
    // window stays for another try.
    QWidget settings;
    login_ = app_->OpenPasswordSetting(&settings);
    ASSERT_NE(login_, nullptr);
    Type(1, QStringLiteral("new"));
    Type(2, QStringLiteral("new"));
    Click(login_, "CommandYes");
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[1].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[1].text.startsWith(QStringLiteral("口令未能更改：")));
    EXPECT_TRUE(login_->isVisible());
    EXPECT_FALSE(app_->Ended());
    Click(login_, "CommandNo");
    ProcessEvents();

    // Nothing in the program folder changed, byte for byte.
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(HasLeftovers(Folder()));
}

TEST_F(AppFaults, ReadOnlyDatabaseRefusesTheFirstPasswordWithoutEndingTheProgram) {
    const std::string before = ReadBytes(DatabaseFile());
    ReadOnlyFolders readOnly(temp_.path(), {Folder()});
    if (!readOnly.Active())
        GTEST_SKIP() << kReadOnlyStopsNothing;
    MakeApp();
    QWidget settings;
    login_ = app_->OpenPasswordSetting(&settings);
    ASSERT_NE(login_, nullptr);
    Type(1, QStringLiteral("first"));
    Type(2, QStringLiteral("first"));
    Click(login_, "CommandYes");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QStringLiteral("口令未能更改：")));
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(login_->isVisible());
    EXPECT_EQ(ReadBytes(DatabaseFile()), before);
}

// --- A full disk ---------------------------------------------------------

TEST_F(AppFaults, DiskFullKeepsFontIniTheDatabaseAndTheDocuments) {
    WriteBytes(Folder() / kFontFileName, kFontIni);
    auto font = RunWithFileSizeLimit(8, [&] {
        std::string error;
        return WriteFontIni(Folder(), AnyFont(), &error) ? std::string("written")
                                                         : "failed: " + error;
    });
    ASSERT_TRUE(font) << "the Font.ini writer did not come back";
    EXPECT_TRUE(font->starts_with("failed: cannot write")) << *font;
    EXPECT_EQ(ReadBytes(Folder() / kFontFileName), kFontIni);
    EXPECT_FALSE(HasLeftovers(Folder()));

    // The database: its pages are already there, the journal cannot grow.
    SetStoredValue(Encoded(u"old"));
    const std::string database = ReadBytes(DatabaseFile());
    for (bool change : {true, false}) {
        SCOPED_TRACE(change ? "password change" : "first password");
        auto outcome = RunWithFileSizeLimit(512, [&] {
            passworddb::PasswordDatabase db;
            std::string error;
            if (!db.Open(DatabaseFile(), passworddb::kDatabasePassword, &error))
                return "not opened: " + error;
            int changed = 0;
            const std::string value = Encoded(std::u16string(15, u'x'));
            const bool ok = change ? db.UpdatePassword(value, Encoded(u"old"), changed, &error)
                                   : db.ReplacePassword(value, &error);
            return ok ? std::string("written") : "failed: " + error;
        });
        ASSERT_TRUE(outcome) << "the database did not come back";
        EXPECT_TRUE(outcome->starts_with("failed: ")) << *outcome;
        EXPECT_EQ(ReadBytes(DatabaseFile()), database);
        EXPECT_EQ(StoredValue(), Encoded(u"old"));
        EXPECT_FALSE(fs::exists(DatabaseFile().string() + "-journal"));
    }

    // A document pair: neither file is replaced.
    const fs::path document = temp_.path() / "docs" / "a.mxe";
    fs::create_directories(document.parent_path());
    ASSERT_TRUE(WriteDocument(document, u"old", u"oldtable"));
    auto save = RunWithFileSizeLimit(4, [&] {
        std::string error;
        return WriteDocument(document, u"a longer new cipher text", u"a longer new table", &error)
                   ? std::string("written")
                   : "failed: " + error;
    });
    ASSERT_TRUE(save) << "the document writer did not come back";
    EXPECT_TRUE(save->starts_with("failed: ")) << *save;
    EXPECT_EQ(ReadBytes(document), "old\r\n");
    EXPECT_EQ(ReadBytes(CompanionPath(document)), "oldtable\r\n");
    EXPECT_FALSE(HasLeftovers(document.parent_path()));
}

// --- The password database ------------------------------------------------

TEST_F(AppFaults, DamagedDatabaseEndsWithTheMessageAndStaysAsItWas) {
    struct Case {
        const char* what;
        std::function<void()> damage;
    };
    const std::string noise = Noise(8192, 1);
    const Case cases[] = {
        {"missing", [&] { fs::remove(DatabaseFile()); }},
        {"corrupt", [&] { WriteBytes(DatabaseFile(), noise); }},
        {"keyed with another password",
         [&] {
             ASSERT_TRUE(passworddb::PasswordDatabase::Create(DatabaseFile(), "another", nullptr));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app_.reset();
        ProcessEvents();
        dialogs_.asked.clear();
        c.damage();
        const bool existed = fs::exists(DatabaseFile());
        const std::string before = existed ? ReadBytes(DatabaseFile()) : std::string();
        login_ = MakeApp().StartLogin();
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        EXPECT_EQ(dialogs_.Messages()[0].text,
                  QStringLiteral(
                      "无法连接到数据库，可能数据库已损坏！请重新安装本程序后恢复备份的数据。"));
        EXPECT_TRUE(app_->Ended());
        EXPECT_EQ(app_->MainWindow(), nullptr);
        // Nothing is made in place of a missing database, nothing rewritten.
        EXPECT_EQ(fs::exists(DatabaseFile()), existed);
        if (existed) {
            EXPECT_EQ(ReadBytes(DatabaseFile()), before);
        }
        EXPECT_FALSE(fs::exists(DatabaseFile().string() + "-journal"));
    }
}

// --- Data files -----------------------------------------------------------

TEST_F(AppFaults, GarbageSkinLeavesEveryWindowWorking) {
    const std::string cases[] = {
        Noise(4096, 2),
        "QPushButton { color: ; background: url(\x01\xFF) }}}} {{{ QWidget[ { font-size: -9999px",
        std::string(2 << 20, '{'),
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 16));
        app_.reset();
        ProcessEvents();
        dialogs_.asked.clear();
        WriteBytes(Folder() / "Main.skn", bytes);
        login_ = MakeApp().StartLogin();
        ASSERT_NE(login_, nullptr);
        EXPECT_TRUE(login_->isVisible());
        Click(login_, "CommandYes");  // the empty stored password
        ProcessEvents();
        main_ = app_->MainWindow();
        ASSERT_NE(main_, nullptr);
        EXPECT_TRUE(main_->isVisible());
        EXPECT_TRUE(dialogs_.asked.empty());
        EXPECT_FALSE(app_->Ended());
        EXPECT_EQ(ReadBytes(Folder() / "Main.skn"), bytes);
    }
}

TEST_F(AppFaults, GarbageFontIniKeepsTheDesignedFont) {
    OpenMain();
    const QFont designed = main_->txtText1->font();
    const QColor designedColor = main_->txtText1->palette().color(QPalette::Text);
    main_->close();
    ProcessEvents();

    const std::string cases[] = {
        Noise(4096, 3),
        "[Font]\r\nFontName=\r\nFontSize=huge\r\nFontBold=perhaps\r\nFontItalic=\r\n"
        "FontColor=red\r\n",
        "[Font]\r\nFontName=\r\nFontSize=-3\r\nFontBold=\r\nFontItalic=1e999\r\n"
        "FontColor=99999999999999999999\r\n",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 16));
        WriteBytes(Folder() / kFontFileName, bytes);
        OpenMain();
        ASSERT_NE(main_, nullptr);
        EXPECT_EQ(main_->txtText1->font(), designed);
        EXPECT_EQ(main_->txtText1->palette().color(QPalette::Text), designedColor);
        EXPECT_TRUE(dialogs_.asked.empty());
        EXPECT_EQ(ReadBytes(Folder() / kFontFileName), bytes);
        main_->close();
        ProcessEvents();
    }
}

TEST_F(AppFaults, GarbageSettingsIniMeansNoKeyStore) {
    const std::string noise = [] {
        std::string bytes = Noise(4096, 4);
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '['), bytes.end());
        return bytes;
    }();
    WriteBytes(Folder() / "settings.ini", noise);
    OpenMain();
    EXPECT_TRUE(app_->MainState().USBNAME.empty());
    EXPECT_EQ(app_->Cipher().FirstKey, 0);
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_EQ(ReadBytes(Folder() / "settings.ini"), noise);
    // Encrypting without keys says so instead of making an unreadable text.
    Editor()->SetText(QStringLiteral("心情"));
    Click(main_, "cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QString::fromUtf16(kNoKeysMessage));
}

TEST_F(AppFaults, NamedPipesInPlaceOfTheProgramsFilesAreNoFiles) {
    // Each is met as if it were missing, and at once: opening a named pipe
    // for reading would otherwise wait for a writer for ever.
    velotan::testing::FifoGuard pipes;
    fs::remove(Folder() / "symbolhandle.ini");
    for (const char* name : {"Main.skn", "Font.ini", "settings.ini", "symbolhandle.ini", "first"})
        ASSERT_TRUE(pipes.Add(Folder() / name)) << name;
    OpenMain();
    ASSERT_NE(main_, nullptr);
    // No key store, no first start, the designed font, no message.
    EXPECT_TRUE(app_->MainState().USBNAME.empty());
    EXPECT_EQ(app_->Cipher().FirstKey, 0);
    EXPECT_EQ(main_->txtText1->font().family(), QFont(main_->font()).family());
    EXPECT_TRUE(dialogs_.asked.empty());

    // A document that is a pipe is refused like an unreadable one.
    app_->Cipher().FirstKey = 3;
    app_->Cipher().SecondKey = 4;
    SetMainState();
    ASSERT_TRUE(pipes.Add(temp_.path() / "pipe.mxe"));
    WriteBytes(temp_.path() / "pipe.mxr", "~UGA~\r\n");
    dialogs_.fileAnswers = {QPath(temp_.path() / "pipe.mxe")};
    Click(main_, "cmdLoad");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QStringLiteral("无法读取加密文档：")));
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("is not a regular file")));
    ExpectMainStateKept();

    // The password database: the message of a missing one, and the end.
    app_.reset();
    ProcessEvents();
    dialogs_.asked.clear();
    fs::remove(DatabaseFile());
    ASSERT_TRUE(pipes.Add(DatabaseFile()));
    login_ = MakeApp().StartLogin();
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(
        dialogs_.Messages()[0].text,
        QStringLiteral("无法连接到数据库，可能数据库已损坏！请重新安装本程序后恢复备份的数据。"));
    EXPECT_TRUE(app_->Ended());

    EXPECT_FALSE(pipes.Stop()) << "the program waited for a writer on a named pipe";
}

// --- Documents ------------------------------------------------------------

TEST_F(AppFaults, BrokenDocumentPairsAreRefusedWithAMessage) {
    WriteKeyFile("7UGA3");
    OpenMain();
    SetMainState();
    const fs::path docs = temp_.path() / "docs";
    struct Case {
        const char* what;
        std::string document;   // bytes, or "<folder>"
        std::string companion;  // bytes, "<folder>" or "<missing>"
        const char* reason;     // part of the message
    };
    const Case cases[] = {
        {"companion missing", "~~UUA~~\r\n", "<missing>", "a.mxr"},
        {"companion empty", "~~UUA~~\r\n", "", "码表文件中没有码表"},
        {"companion of empty lines", "~~UUA~~\r\n", "\r\n\r\n", "码表文件中没有码表"},
        {"document empty", "", "~UGA!\r\n", "文档中没有密文"},
        {"document a folder", "<folder>", "~UGA!\r\n", "a.mxe is a folder"},
        {"companion a folder", "~~UUA~~\r\n", "<folder>", "a.mxr is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(docs);
        const fs::path document = docs / "a.mxe";
        const fs::path companion = docs / "a.mxr";
        auto make = [](const fs::path& file, const std::string& content) {
            if (content == "<folder>")
                fs::create_directories(file / "inside");
            else if (content != "<missing>")
                WriteBytes(file, content);
        };
        fs::create_directories(docs);
        make(document, c.document);
        make(companion, c.companion);
        dialogs_.asked.clear();
        dialogs_.fileAnswers = {QPath(document)};
        Click(main_, "cmdLoad");
        const auto messages = dialogs_.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, QStringLiteral("错误"));
        EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("无法读取加密文档")));
        EXPECT_TRUE(messages[0].text.contains(QString::fromUtf8(c.reason)))
            << messages[0].text.toStdString();
        ExpectMainStateKept();
        if (c.document != "<folder>") {
            EXPECT_EQ(ReadBytes(document), c.document);
        }
        if (c.companion != "<folder>" && c.companion != "<missing>") {
            EXPECT_EQ(ReadBytes(companion), c.companion);
        }
    }

    // Saving where either file is a folder: refused before anything is
    // replaced, so the other file of the old pair stays.
    Editor()->SetText(QStringLiteral("新的心情"));
    Click(main_, "cmdEncrypt");
    for (bool documentIsFolder : {true, false}) {
        SCOPED_TRACE(documentIsFolder ? "save over a folder document"
                                      : "save over a folder companion");
        fs::remove_all(docs);
        const fs::path document = docs / "a.mxe";
        const fs::path companion = docs / "a.mxr";
        fs::create_directories((documentIsFolder ? document : companion) / "inside");
        WriteBytes(documentIsFolder ? companion : document, "old\r\n");
        dialogs_.asked.clear();
        dialogs_.fileAnswers = {QPath(document)};
        Click(main_, "cmdSave");
        const auto messages = dialogs_.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("无法保存加密文档")));
        EXPECT_EQ(ReadBytes(documentIsFolder ? companion : document), "old\r\n");
        EXPECT_TRUE(fs::is_directory(documentIsFolder ? document : companion));
        EXPECT_FALSE(HasLeftovers(docs));
        EXPECT_EQ(app_->MainState().ArticleTitle, u"old.mxe");
    }
}

}  // namespace
}  // namespace velotan::app::test
