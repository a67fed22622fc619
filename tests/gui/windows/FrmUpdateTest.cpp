// The update window: texts, progress, buttons, the version decision, the
// installer, and the faults a server can throw at it.

#include "windows/FrmUpdate.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/QtText.h"
#include "common/ChildProcess.h"
#include "common/LoopbackServer.h"
#include "common/MinisignTool.h"
#include "windows/WindowOpeners.h"

namespace velotan::update::test {
namespace {

namespace fs = std::filesystem;
using app::test::AppFixture;
using app::test::Find;
using app::test::ReadBytes;
using app::test::WriteBytes;

QString Q(const char16_t* text) {
    return QString::fromUtf16(text);
}

// The project's version as CMake has it, which every release changes.
constexpr const char* kConfiguredVersion = VELOTAN_PROJECT_VERSION;

class FrmUpdateTest : public AppFixture {
  protected:
    void TearDown() override {
        if (window_)
            delete window_.data();
        server_.Stop();
        AppFixture::TearDown();
    }

    // update.ini pointing at `base` with the publisher's key, an App, and
    // the window as the main window's button opens it.
    FrmUpdate* Open(const std::string& base) {
        WriteBytes(Folder() / "update.ini", "[update]\r\nServer=" + base +
                                                "\r\nPublicKey=" + publisher_.PublicKey() + "\r\n");
        return OpenWithoutConfiguring();
    }
    // The installer and the publisher's signature of it.
    void ServeInstaller(const std::string& content) {
        server_.ServeBytes("/sns/up_velotan.exe", content);
        server_.ServeBytes("/sns/up_velotan.exe.minisig", publisher_.SignatureOf(content));
    }
    FrmUpdate* OpenWithoutConfiguring() {
        MakeApp();
        window_ = FrmUpdate::Open(*app_);
        // The installer runs to its end before the check goes on, so what
        // it did is there to see when the click returns.
        window_->launcher = [this](const std::vector<std::string>& argv, std::string* error) {
            launched_.push_back(argv);
            const velotan::testing::ProgramRun run = velotan::testing::RunProgram(argv, "");
            if (run.exitCode == 0)
                return true;
            if (error)
                *error = run.err;
            return false;
        };
        return window_;
    }
    FrmUpdate* OpenOnServer() {
        server_.Start();
        return Open(server_.Url());
    }
    QString Status() const { return window_->SkinLabel1->text(); }
    fs::path List() const { return Folder() / "update.lst"; }
    fs::path Installer() const { return Folder() / "upvelotan.exe"; }
    // No staged download may stay behind in the data folder.
    void ExpectNoStagedFiles() {
        for (const auto& name : FolderEntries(Folder()))
            EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    }
    // Runs `f` once the check is under way (at its first round of events).
    // The lists these tests serve are held back until the test releases
    // them, so the check is still running then however slow the machine.
    void DuringCheck(std::function<void()> f) { QTimer::singleShot(0, window_, std::move(f)); }

    velotan::testing::TempDir keys_;
    velotan::testing::MinisignKeyPair publisher_{keys_ / "publisher"};
    LoopbackServer server_;
    QPointer<FrmUpdate> window_;
    std::vector<std::vector<std::string>> launched_;
};

// The outcome of a check stands on the one status line; a text cut off at
// its right edge would hide what happened. (Texts with a path carry the
// whole text as the line's tool tip.)
TEST_F(FrmUpdateTest, EveryOutcomeFitsTheStatusLine) {
    FrmUpdate* w = OpenOnServer();
    const QFontMetrics metrics(w->SkinLabel1->font());
    const int room = w->SkinLabel1->contentsRect().width();
    for (CheckOutcome outcome :
         {CheckOutcome::Busy, CheckOutcome::NoServer, CheckOutcome::Stopped,
          CheckOutcome::ListUnreadable, CheckOutcome::ListWithoutVersion, CheckOutcome::UpToDate,
          CheckOutcome::InstallerIncomplete, CheckOutcome::InstallerInsecure,
          CheckOutcome::NoPublicKey, CheckOutcome::BadPublicKey, CheckOutcome::SignatureMissing,
          CheckOutcome::SignatureMalformed, CheckOutcome::SignatureOtherKey,
          CheckOutcome::SignatureMismatch, CheckOutcome::SignatureCommentChanged,
          CheckOutcome::SignatureUnchecked, CheckOutcome::SignatureLegacy,
          CheckOutcome::SignatureOtherVersion}) {
        for (bool earlier : {false, true}) {
            const QString text = FrmUpdate::OutcomeText({outcome, earlier, {}, {}});
            EXPECT_FALSE(text.isEmpty());
            EXPECT_LE(metrics.horizontalAdvance(text), room) << text.toStdString();
        }
    }
}

TEST(FrmUpdateOutcomeTest, TextForEveryOutcome) {
    const fs::path file = "/data/upvelotan.exe";
    const std::pair<CheckResult, QString> expected[] = {
        {{CheckOutcome::Busy, false, {}, {}}, Q(kCheckBusyText)},
        {{CheckOutcome::NoServer, false, {}, {}}, Q(kNoServerText)},
        {{CheckOutcome::ListNotSaved, false, "/data/update.lst", {}},
         Q(kLocalFileErrorText) + QStringLiteral("/data/update.lst")},
        {{CheckOutcome::Stopped, false, {}, {}}, Q(kCheckStoppedText)},
        {{CheckOutcome::ListUnreadable, true, {}, {}}, Q(kListUnreadableText)},
        {{CheckOutcome::ListWithoutVersion, false, {}, {}}, Q(kListWithoutVersionText)},
        {{CheckOutcome::ListWithoutVersion, true, {}, {}},
         Q(kListWithoutVersionText) + Q(kEarlierListNote)},
        {{CheckOutcome::UpToDate, false, {}, {}}, Q(kUpToDateText)},
        {{CheckOutcome::UpToDate, true, {}, {}}, Q(kUpToDateText) + Q(kEarlierListNote)},
        {{CheckOutcome::InstallerNotSaved, false, file, {}},
         Q(kLocalFileErrorText) + QStringLiteral("/data/upvelotan.exe")},
        {{CheckOutcome::InstallerIncomplete, false, {}, {}}, Q(kInstallerIncompleteText)},
        {{CheckOutcome::InstallerInsecure, false, {}, {}}, Q(kInstallerInsecureText)},
        {{CheckOutcome::NoPublicKey, false, {}, {}}, Q(kNoPublicKeyText)},
        {{CheckOutcome::BadPublicKey, false, {}, {}}, Q(kBadPublicKeyText)},
        {{CheckOutcome::SignatureMissing, false, {}, {}}, Q(kSignatureMissingText)},
        {{CheckOutcome::SignatureMalformed, false, {}, {}}, Q(kSignatureMalformedText)},
        {{CheckOutcome::SignatureOtherKey, false, {}, {}}, Q(kSignatureOtherKeyText)},
        {{CheckOutcome::SignatureMismatch, false, {}, {}}, Q(kSignatureMismatchText)},
        {{CheckOutcome::SignatureCommentChanged, false, {}, {}}, Q(kSignatureCommentText)},
        {{CheckOutcome::SignatureUnchecked, false, {}, {}}, Q(kSignatureUncheckedText)},
        {{CheckOutcome::SignatureLegacy, false, {}, {}},
         Q(u"安装包的签名是旧的 Ed 形式，未运行。")},
        {{CheckOutcome::SignatureOtherVersion, false, {}, {}},
         Q(u"签名不是为所列的版本做的，未运行。")},
        {{CheckOutcome::InstallerFolderShared, false, "/data", {}},
         Q(u"别人也能写入安装包的文件夹，未运行：/data")},
        {{CheckOutcome::InstallerNotStarted, false, file, "why"},
         Q(kInstallerStartFailedText) + QStringLiteral("/data/upvelotan.exe")},
    };
    for (const auto& [result, text] : expected)
        EXPECT_EQ(FrmUpdate::OutcomeText(result), text) << static_cast<int>(result.outcome);
}

TEST_F(FrmUpdateTest, LoadShowsTheInstalledVersionAndIdleControls) {
    FrmUpdate* w = OpenOnServer();
    EXPECT_EQ(w->windowTitle(), Q(u"澄川过滤专家升级"));
    EXPECT_EQ(w->LblProgramVer->text(), QString::fromLatin1(kConfiguredVersion));
    EXPECT_EQ(Find<QLabel>(w, "LblProgramVer"), w->LblProgramVer);
    EXPECT_EQ(Find<QLabel>(w, "SkinLabel1")->text(), Q(u"连接状态："));
    EXPECT_EQ(Find<QLabel>(w, "SkinLabel2")->text(), Q(u"准备："));
    EXPECT_EQ(Find<QLabel>(w, "LblHostver")->text(), QString());
    EXPECT_EQ(Find<QLabel>(w, "LblWebProgramVer")->text(), QString());
    EXPECT_EQ(Find<QLabel>(w, "LblImportantUpdate")->text(), QString());
    EXPECT_EQ(Find<QPushButton>(w, "Command1")->text(), Q(u"开始更新"));
    EXPECT_EQ(Find<QPushButton>(w, "Command2")->text(), Q(u"停止更新"));
    EXPECT_EQ(Find<QPushButton>(w, "Command3")->text(), Q(u"返回主界面"));
    EXPECT_TRUE(w->Command1->isEnabled());
    EXPECT_FALSE(w->Command2->isEnabled());  // nothing to stop yet
    EXPECT_TRUE(w->Command3->isEnabled());
    QProgressBar* bar = Find<QProgressBar>(w, "prgDownload");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 0);
    // Under the progress lines.
    EXPECT_GE(bar->geometry().top(), w->SkinLabel2->geometry().bottom());
}

TEST_F(FrmUpdateTest, StatusTextForEveryState) {
    FrmUpdate* w = OpenOnServer();
    const std::pair<int, const char16_t*> expected[] = {
        {1, u"连接服务器..."},  {2, u"发送请求..."},  {3, u"获取远程文件信息..."},
        {4, u"下载数据..."},    {5, u"停止下载"},     {6, u"下载完成"},
        {7, u"连接服务器失败"}, {8, u"发送请求失败"}, {9, u"连接服务器"},
        {12, u"更新被中止"},    {0, u"更新被中止"},   {-1, u"更新被中止"}};
    for (const auto& [state, text] : expected) {
        w->Cdf_entDLFileStatus(state);
        EXPECT_EQ(Status(), Q(u"连接状态： ") + Q(text)) << state;
    }
}

TEST_F(FrmUpdateTest, ProgressLinesAndBar) {
    FrmUpdate* w = OpenOnServer();
    w->Cdf_entDLFileDowning("http://x/sns/update.lst", 512, 1300, 1025);
    EXPECT_EQ(w->SkinLabel2->text(),
              Q(u"下载进度： 39.0 %\r\n下载大小： 0.5\r\n下载速度： 1.0009765625"));
    EXPECT_EQ(w->prgDownload->maximum(), 100);
    EXPECT_EQ(w->prgDownload->value(), 39);

    w->Cdf_entDLFileDowning("http://x/sns/update.lst", 1300, 1300, 1300);
    EXPECT_EQ(w->SkinLabel2->text(),
              Q(u"下载进度： 100.0 %\r\n下载大小： 1.26953125\r\n下载速度： 1.26953125"));
    EXPECT_EQ(w->prgDownload->value(), 100);

    // 1 of 8 is 12.5 %: half to even.
    w->Cdf_entDLFileDowning("u", 1, 8, 0);
    EXPECT_EQ(w->SkinLabel2->text(),
              Q(u"下载进度： 12.0 %\r\n下载大小： 0.0009765625\r\n下载速度： 0.009765625"));
    EXPECT_EQ(w->prgDownload->value(), 12);

    // Size unknown: 0.0 % and a busy bar, until the transfer ends.
    w->Cdf_entDLFileDowning("u", 2048, 0, 2048);
    EXPECT_EQ(w->SkinLabel2->text(), Q(u"下载进度： 0.0 %\r\n下载大小： 2\r\n下载速度： 2"));
    EXPECT_EQ(w->prgDownload->maximum(), 0);
    w->Cdf_entDLFileStatus(9);
    EXPECT_EQ(w->prgDownload->maximum(), 100);
    EXPECT_EQ(w->prgDownload->value(), 0);

    // The largest count there is, to 15 significant digits.
    w->Cdf_entDLFileDowning("u", INT32_MAX, INT32_MAX, INT32_MAX);
    EXPECT_EQ(
        w->SkinLabel2->text(),
        Q(u"下载进度： 100.0 %\r\n下载大小： 2097151.99902344\r\n下载速度： 2097151.99902344"));
}

TEST_F(FrmUpdateTest, ButtonsDuringACheck) {
    server_.ServeHeld("/sns/update.lst", "1.1\r\n", 2);
    FrmUpdate* w = OpenOnServer();
    bool seen = false;
    DuringCheck([&] {
        seen = true;
        EXPECT_TRUE(w->Checking());
        EXPECT_FALSE(w->Command1->isEnabled());
        EXPECT_TRUE(w->Command2->isEnabled());
        EXPECT_FALSE(w->Command3->isEnabled());
        // A click on the disabled button starts nothing inside the check.
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        server_.ReleaseStalls();
    });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_TRUE(seen);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 1);
    EXPECT_FALSE(w->Checking());
    EXPECT_TRUE(w->Command1->isEnabled());
    EXPECT_FALSE(w->Command2->isEnabled());
    EXPECT_TRUE(w->Command3->isEnabled());
}

TEST_F(FrmUpdateTest, StopButtonEndsTheCheck) {
    WriteBytes(List(), "9.9\r\n");  // an earlier list that would offer an update
    server_.ServeHeld("/sns/update.lst", "9.9\r\n", 2);
    server_.ServeBytes("/sns/up_velotan.exe", "#!/bin/sh\n");
    FrmUpdate* w = OpenOnServer();
    DuringCheck([&] { QTest::mouseClick(w->Command2, Qt::LeftButton); });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kCheckStoppedText));
    EXPECT_EQ(ReadBytes(List()), "9.9\r\n");
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_FALSE(w->Cdf.StopPending());
    EXPECT_FALSE(app_->Ended());
    ExpectNoStagedFiles();
}

TEST_F(FrmUpdateTest, CloseBoxDuringACheckStopsItAndThenCloses) {
    WriteBytes(List(), "1.0\r\n");
    server_.ServeHeld("/sns/update.lst", "9.9\r\n", 2);
    FrmUpdate* w = OpenOnServer();
    bool closedAtOnce = true;
    DuringCheck([&] { closedAtOnce = w->close(); });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_FALSE(closedAtOnce);
    app::test::ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    EXPECT_EQ(ReadBytes(List()), "1.0\r\n");
}

// The opener makes one update window; two made by hand still never run two
// checks at once: the second says so and asks nothing.
TEST_F(FrmUpdateTest, ASecondWindowStartsNoCheckWhileOneRuns) {
    server_.ServeHeld("/sns/update.lst", std::string(1000, 'W'), 512);
    FrmUpdate* w = OpenOnServer();
    QPointer<FrmUpdate> second = FrmUpdate::Open(*app_);
    DuringCheck([&] {
        QTest::mouseClick(second->Command1, Qt::LeftButton);
        server_.ReleaseStalls();
    });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(second->SkinLabel1->text(), Q(kCheckBusyText));
    EXPECT_TRUE(second->Command1->isEnabled());
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 1);
    EXPECT_EQ(Status(), Q(kListWithoutVersionText));  // the first check ran through
    delete second.data();
}

TEST_F(FrmUpdateTest, NoServerConfiguredSaysSoWithoutARequest) {
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    server_.Start();
    FrmUpdate* w = Open("");
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kNoServerText));
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 0);
    EXPECT_FALSE(fs::exists(List()));
}

TEST_F(FrmUpdateTest, UpToDateSaysSo) {
    server_.ServeBytes("/sns/update.lst", "1.1\r\n");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kUpToDateText));
    EXPECT_EQ(w->LblImportantUpdate->text(), QStringLiteral("1.1"));
    EXPECT_EQ(ReadBytes(List()), "1.1\r\n");
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);

    // A second check reads the list afresh and decides the same.
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 2);
    EXPECT_EQ(Status(), Q(kUpToDateText));
}

TEST_F(FrmUpdateTest, InstallerThatFailsWith404RunsNothing) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeStatus("/sns/up_velotan.exe", 404, "#!/bin/sh\ntouch should-not-run\n");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kInstallerIncompleteText));
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(FrmUpdateTest, UpdateFoundDownloadsAndStartsTheInstallerAndEnds) {
    const fs::path marker = temp_.path() / "installer-ran";
    const std::string script = "#!/bin/sh\necho ran > '" + marker.string() + "'\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\nImportant fixes\r\n");
    ServeInstaller(script);
    FrmUpdate* w = OpenOnServer();
    bool installerThereAtMessage = false;
    dialogs_.onMessage = [&](const app::test::Asked&) {
        installerThereAtMessage = ReadBytes(Installer()) == script;
    };
    QTest::mouseClick(w->Command1, Qt::LeftButton);

    const auto messages = dialogs_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Q(u"安装包下载完成，现在请关闭程序。"));
    EXPECT_EQ(messages[0].title, Q(u"青岚心情加密器"));
    EXPECT_EQ(messages[0].style, 0);  // OK, no icon
    EXPECT_TRUE(installerThereAtMessage);
    EXPECT_EQ(w->LblImportantUpdate->text(), QStringLiteral("1.2Important fixes"));
    EXPECT_TRUE(app_->Ended());
    EXPECT_EQ(launched_.size(), 1u);
    EXPECT_EQ(ReadBytes(marker), "ran\n");
}

// The message box stands between the check and the start. Whatever is put
// at the download's path meanwhile does not run: the checked copy does.
TEST_F(FrmUpdateTest, AFileRenamedOverTheInstallerDuringTheMessageDoesNotRun) {
    const fs::path marker = temp_.path() / "installer-ran";
    const std::string script = "#!/bin/sh\necho signed > '" + marker.string() + "'\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller(script);
    FrmUpdate* w = OpenOnServer();
    dialogs_.onMessage = [&](const app::test::Asked&) {
        const fs::path other = temp_.path() / "other";
        WriteBytes(other, "#!/bin/sh\necho unsigned > '" + marker.string() + "'\n");
        fs::permissions(other, fs::perms::owner_all);
        fs::rename(other, Installer());
    };
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_TRUE(app_->Ended());
    EXPECT_EQ(launched_.size(), 1u);
    EXPECT_EQ(ReadBytes(marker), "signed\n");
}

// The list comes unsigned, over plain http perhaps: its text is shown as the
// characters it holds. As markup, <img src="/dev/zero"> would make Qt read
// that file until memory ran out, and a second line could make it open any
// file at every check.
TEST_F(FrmUpdateTest, TheListIsShownAsPlainText) {
    const std::string list = "1.2<img src=\"/dev/zero\">\r\n<img src=\"" +
                             (temp_.path() / "probe.png").string() + "\">\r\n";
    server_.ServeBytes("/sns/update.lst", list);
    server_.ServeStatus("/sns/up_velotan.exe", 404, "Not Found");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(w->LblImportantUpdate->textFormat(), Qt::PlainText);
    EXPECT_EQ(w->LblImportantUpdate->text(),
              QStringLiteral("1.2<img src=\"/dev/zero\"><img src=\"") +
                  QString::fromStdString((temp_.path() / "probe.png").string()) +
                  QStringLiteral("\">"));
    EXPECT_EQ(Status(), Q(kInstallerIncompleteText));
}

// The status line carries its whole text as a tool tip, and a tool tip
// would be read as markup: it holds the text escaped.
TEST_F(FrmUpdateTest, TheStatusLinesToolTipIsThePlainText) {
    fs::create_directories(List() / "in-the-way");
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_TRUE(Status().startsWith(Q(kLocalFileErrorText)));
    EXPECT_EQ(w->SkinLabel1->toolTip(), app::PlainToolTip(Status()));
}

// An installer that is not the one the publisher signed never runs: the
// status line says why, nothing asks, and the program goes on.
TEST_F(FrmUpdateTest, ChangedInstallerRunsNothingAndTheProgramGoesOn) {
    const fs::path marker = temp_.path() / "installer-ran";
    const std::string signedScript = "#!/bin/sh\necho installing\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", "#!/bin/sh\necho ran > '" + marker.string() + "'\n");
    server_.ServeBytes("/sns/up_velotan.exe.minisig", publisher_.SignatureOf(signedScript));
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kSignatureMismatchText));
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(w->Command1->isEnabled());
    EXPECT_FALSE(w->Checking());  // the check is over, and it started nothing
    EXPECT_TRUE(launched_.empty());
    EXPECT_EQ(fs::status(Installer()).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(FrmUpdateTest, InstallerThatCannotStartSaysSoAndTheProgramGoesOn) {
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller("not a program at all");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    const auto messages = dialogs_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].title, Q(u"错误"));
    EXPECT_TRUE(messages[1].text.startsWith(Q(kInstallerStartFailedText)));
    EXPECT_TRUE(Status().startsWith(Q(kInstallerStartFailedText)));
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(w->Command1->isEnabled());
}

TEST_F(FrmUpdateTest, MainWindowButtonOpensTheUpdateWindowAndCommand3ComesBack) {
    ConfigureKeyStore();
    MakeApp();
    windows::RegisterWindowOpeners(*app_);
    QPointer<app::Form1> main = app_->ShowMainWindow();
    ASSERT_FALSE(main.isNull());
    QTest::mouseClick(Find<QPushButton>(main, "Command2"), Qt::LeftButton);
    FrmUpdate* update = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<FrmUpdate*>(w); f && f->isVisible())
            update = f;
    ASSERT_NE(update, nullptr);
    window_ = update;
    EXPECT_TRUE(main.isNull() || main->Unloaded());
    EXPECT_EQ(update->LblProgramVer->text(), QString::fromLatin1(kConfiguredVersion));

    QTest::mouseClick(update->Command3, Qt::LeftButton);
    app::test::ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(app_->MainWindow()->isVisible());
}

}  // namespace
}  // namespace velotan::update::test
