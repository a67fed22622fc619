// The update window: texts, progress, buttons, the version decision, the
// installer, and the faults a server can throw at it.

#include "windows/FrmUpdate.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

#include "AppFixture.h"
#include "app/Form1.h"
#include "common/LoopbackServer.h"
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

class FrmUpdateTest : public AppFixture {
  protected:
    void TearDown() override {
        if (window_)
            delete window_.data();
        server_.Stop();
        AppFixture::TearDown();
    }

    // update.ini pointing at `base`, an App, and the window as the main
    // window's button opens it.
    FrmUpdate* Open(const std::string& base) {
        WriteBytes(Folder() / "update.ini", "[update]\r\nServer=" + base + "\r\n");
        return OpenWithoutConfiguring();
    }
    FrmUpdate* OpenWithoutConfiguring() {
        MakeApp();
        window_ = FrmUpdate::Open(*app_);
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
    void DuringCheck(std::function<void()> f) { QTimer::singleShot(0, window_, std::move(f)); }

    LoopbackServer server_;
    QPointer<FrmUpdate> window_;
};

// The outcome of a check stands on the one status line; a text cut off at
// its right edge would hide what happened.
TEST_F(FrmUpdateTest, EveryOutcomeFitsTheStatusLine) {
    FrmUpdate* w = OpenOnServer();
    const QFontMetrics metrics(w->SkinLabel1->font());
    const int room = w->SkinLabel1->contentsRect().width();
    for (const char16_t* text :
         {kNoServerText, kListUnreadableText, kListWithoutVersionText, kCheckStoppedText,
          kInstallerIncompleteText, kInstallerInsecureText}) {
        EXPECT_LE(metrics.horizontalAdvance(Q(text)), room) << Q(text).toStdString();
    }
    EXPECT_LE(metrics.horizontalAdvance(Q(kUpToDateText) + Q(kEarlierListNote)), room);
    EXPECT_LE(metrics.horizontalAdvance(Q(kListWithoutVersionText) + Q(kEarlierListNote)), room);
}

TEST_F(FrmUpdateTest, LoadShowsTheInstalledVersionAndIdleControls) {
    FrmUpdate* w = OpenOnServer();
    EXPECT_EQ(w->windowTitle(), Q(u"澄川过滤专家升级"));
    EXPECT_EQ(w->LblProgramVer->text(), QStringLiteral("1.1.47"));
    EXPECT_EQ(w->LblProgramVer->objectName(), QStringLiteral("LblProgramVer"));
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
    server_.ServeSlowly("/sns/update.lst", 300000);
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
    server_.ServeSlowly("/sns/update.lst", 400000);
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
    server_.ServeSlowly("/sns/update.lst", 400000);
    FrmUpdate* w = OpenOnServer();
    bool closedAtOnce = true;
    DuringCheck([&] { closedAtOnce = w->close(); });
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_FALSE(closedAtOnce);
    app::test::ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    EXPECT_EQ(ReadBytes(List()), "1.0\r\n");
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

TEST_F(FrmUpdateTest, MissingUpdateIniSaysSoWithoutARequest) {
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    server_.Start();
    FrmUpdate* w = OpenWithoutConfiguring();
    ASSERT_FALSE(fs::exists(Folder() / "update.ini"));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kNoServerText));
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 0);
    EXPECT_TRUE(dialogs_.Messages().empty());
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

TEST_F(FrmUpdateTest, ListThatCannotBeReadSaysSo) {
    RefusingPort port;
    FrmUpdate* w = Open(port.Url());
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kListUnreadableText));
    EXPECT_FALSE(fs::exists(List()));
    EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(FrmUpdateTest, EarlierListIsUsedWhenTheDownloadFails) {
    WriteBytes(List(), "1.2\r\n");
    server_.ServeStatus("/sns/update.lst", 404, "<html>Not Found</html>");
    server_.ServeStatus("/sns/up_velotan.exe", 404, "<html>Not Found</html>");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(w->LblImportantUpdate->text(), QStringLiteral("1.2"));
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 1);  // the earlier list offered it
}

TEST_F(FrmUpdateTest, OversizedListIsNeitherKeptNorRead) {
    WriteBytes(List(), "1.0\r\n");
    server_.ServeBytes("/sns/update.lst", "9.9" + std::string(2 << 20, '0'));
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kUpToDateText) + Q(kEarlierListNote));
    EXPECT_EQ(ReadBytes(List()), "1.0\r\n");
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);

    // Nor is an oversized earlier copy read.
    WriteBytes(List(), "9.9" + std::string(2 << 20, '0'));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kListUnreadableText));
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    ExpectNoStagedFiles();
}

TEST_F(FrmUpdateTest, LocalFileErrorSaysSo) {
    fs::create_directories(List() / "in-the-way");
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_TRUE(Status().startsWith(Q(kLocalFileErrorText))) << Status().toStdString();
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_TRUE(fs::is_directory(List() / "in-the-way"));
    ExpectNoStagedFiles();
}

// The version decision on real lists; an offered update meets an installer
// that is not there, so nothing runs.
struct Decision {
    const char* list;
    const char* joined;
    bool offered;
};

class WindowVersionDecisionTest : public FrmUpdateTest,
                                  public ::testing::WithParamInterface<Decision> {};

TEST_P(WindowVersionDecisionTest, OffersAnUpdateOnlyForAHigherVersion) {
    server_.ServeBytes("/sns/update.lst", GetParam().list);
    server_.ServeStatus("/sns/up_velotan.exe", 404, "<html>Not Found</html>");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(w->LblImportantUpdate->text(), QString::fromUtf8(GetParam().joined));
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), GetParam().offered ? 1 : 0);
    EXPECT_EQ(Status(), Q(GetParam().offered ? kInstallerIncompleteText : kUpToDateText));
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_FALSE(app_->Ended());
    EXPECT_FALSE(fs::exists(Installer()));
}

INSTANTIATE_TEST_SUITE_P(Lists, WindowVersionDecisionTest,
                         ::testing::Values(Decision{"1.2\r\n", "1.2", true},
                                           Decision{"1.1\r\n", "1.1", false},
                                           Decision{"1.05\r\n", "1.05", false},
                                           Decision{"1.10\r\n", "1.10", false},
                                           Decision{"1.2\r\n5\r\n", "1.25", true},
                                           // Joined, 1.1 and 5 make 1.15: newer.
                                           Decision{"1.1\r\n5\r\n", "1.15", true}));

// Faults of the list download. Each ends in a clear status text, runs
// nothing, and leaves the earlier list byte for byte.
struct ListFault {
    const char* name;
    std::function<void(LoopbackServer&)> serve;
};

class ListFaultTest : public FrmUpdateTest, public ::testing::WithParamInterface<ListFault> {};

TEST_P(ListFaultTest, EndsWithAClearStatusAndKeepsTheEarlierList) {
    const std::string earlier = "1.0\r\nearlier list\r\n";
    WriteBytes(List(), earlier);
    WriteBytes(Installer(), "earlier installer");
    FrmUpdate* w = nullptr;
    RefusingPort refusing;
    if (GetParam().serve) {
        GetParam().serve(server_);
        w = OpenOnServer();
    } else {
        w = Open(refusing.Url());
    }
    w->Cdf.SetIdleTimeout(std::chrono::milliseconds(300));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kUpToDateText) + Q(kEarlierListNote));
    EXPECT_EQ(ReadBytes(List()), earlier);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_FALSE(app_->Ended());
    EXPECT_TRUE(w->Command1->isEnabled());
    ExpectNoStagedFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ListFaultTest,
    ::testing::Values(
        ListFault{"ServerRefused", nullptr},
        ListFault{
            "NotFound404",
            [](LoopbackServer& s) { s.ServeStatus("/sns/update.lst", 404, "9.9 Not Found"); }},
        ListFault{"ServerError500",
                  [](LoopbackServer& s) { s.ServeStatus("/sns/update.lst", 500, "9.9 Error"); }},
        ListFault{"TruncatedBody",
                  [](LoopbackServer& s) { s.ServeTruncated("/sns/update.lst", 1300, 600); }},
        ListFault{"Stall", [](LoopbackServer& s) { s.ServeStall("/sns/update.lst", 1300, 512); }},
        ListFault{
            "RedirectLoop",
            [](LoopbackServer& s) { s.ServeRedirect("/sns/update.lst", "/sns/update.lst"); }}),
    [](const ::testing::TestParamInfo<ListFault>& info) { return std::string(info.param.name); });

TEST_F(FrmUpdateTest, ListWithoutANumberOffersNothing) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "<html><body>maintenance 2.0</body></html>\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", "#!/bin/sh\n");
    FrmUpdate* w = OpenOnServer();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(Status(), Q(kListWithoutVersionText));
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_FALSE(app_->Ended());
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
    server_.ServeBytes("/sns/up_velotan.exe", script);
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
    EXPECT_EQ(fs::status(Installer()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(app_->Ended());

    // The installer runs on its own; give it a moment to leave its mark.
    for (int i = 0; i < 100 && ReadBytes(marker) != "ran\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadBytes(marker), "ran\n");
}

TEST_F(FrmUpdateTest, InstallerThatCannotStartSaysSoAndTheProgramGoesOn) {
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", "not a program at all");
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
    EXPECT_EQ(update->LblProgramVer->text(), QStringLiteral("1.1.47"));

    QTest::mouseClick(update->Command3, Qt::LeftButton);
    app::test::ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(app_->MainWindow()->isVisible());
}

}  // namespace
}  // namespace velotan::update::test
