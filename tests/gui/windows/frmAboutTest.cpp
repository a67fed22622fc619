// The about box: caption, version, and the two rotating information lines.

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include "WindowsFixture.h"
#include "app/Twips.h"
#include "common/FifoGuard.h"
#include "encoding/Cp936.h"
#include "windows/frmAbout.h"

namespace velotan::windows::test {
namespace {

using app::TwipsRect;

// The info files as shipped: code page 936, CR LF.
void WriteInfo(const std::filesystem::path& file, const std::vector<std::u16string>& lines) {
    std::string bytes;
    for (const auto& line : lines)
        bytes += encoding::ToCp936(line) + "\r\n";
    WriteBytes(file, bytes);
}

class FrmAboutTest : public WindowsFixture {
  protected:
    frmAbout* Open() {
        Main();
        Click(main_, "cmdAbout");
        window_ = OpenWindow<frmAbout>("frmAbout");
        return window_;
    }
    void CloseWindow() {
        window_->cmdOK_Click();
        ProcessEvents();
        ASSERT_TRUE(window_.isNull());
    }
    // Both labels after each of `ticks` ticks.
    std::vector<std::pair<QString, QString>> Run(int ticks) {
        std::vector<std::pair<QString, QString>> seen;
        for (int i = 0; i < ticks; ++i) {
            window_->Timer1_Timer();
            seen.emplace_back(window_->lblControlInfo->text(), window_->lblThanksfor->text());
        }
        return seen;
    }
    static std::vector<QString> Column(const std::vector<std::pair<QString, QString>>& seen,
                                       bool controls) {
        std::vector<QString> out;
        for (const auto& s : seen)
            out.push_back(controls ? s.first : s.second);
        return out;
    }

    QPointer<frmAbout> window_;
};

TEST_F(FrmAboutTest, CaptionVersionMakerAndLayout) {
    frmAbout* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("关于 青岚心情加密器"));
    // The project's version as CMake has it, which every release changes.
    EXPECT_EQ(window->SkinLabel1->text(),
              QStringLiteral("版本信息：") + QString::fromLatin1(VELOTAN_PROJECT_VERSION));
    EXPECT_EQ(Find<QLabel>(window, "SkinLabel2")->text(), QStringLiteral("版权信息："));
    // The maker's line, the one the main window's caption ends with, shown
    // whole in its label.
    EXPECT_EQ(window->SkinLabel3->text(), QStringLiteral("Powered By Orvan From Mirelsoftware."));
    EXPECT_TRUE(main_->windowTitle().endsWith(window->SkinLabel3->text()));
    EXPECT_LE(
        QFontMetrics(window->SkinLabel3->font()).horizontalAdvance(window->SkinLabel3->text()),
        window->SkinLabel3->contentsRect().width());
    auto* frame1 = Find<QGroupBox>(window, "Frame1");
    ASSERT_NE(frame1, nullptr);
    EXPECT_EQ(frame1->title(), QStringLiteral("青岚心情加密器"));
    EXPECT_EQ(frame1->geometry(), TwipsRect(240, 120, 5295, 2415));
    EXPECT_EQ(Find<QGroupBox>(window, "Frame2")->title(), QStringLiteral("控件信息"));
    EXPECT_EQ(Find<QGroupBox>(window, "Frame3")->title(), QStringLiteral("算法信息"));
    EXPECT_EQ(Find<QGroupBox>(window, "Frame2")->geometry(), TwipsRect(120, 960, 5055, 615));
    EXPECT_EQ(Find<QGroupBox>(window, "Frame3")->geometry(), TwipsRect(120, 1680, 5055, 615));
    EXPECT_EQ(window->lblControlInfo->parentWidget()->objectName(), QStringLiteral("Frame2"));
    EXPECT_EQ(window->lblThanksfor->parentWidget()->objectName(), QStringLiteral("Frame3"));
    EXPECT_EQ(window->cmdOK->text(), QStringLiteral("确定"));
    EXPECT_EQ(window->cmdOK->geometry(), TwipsRect(4125, 2625, 1500, 345));
    EXPECT_TRUE(window->cmdOK->isDefault());
    EXPECT_EQ(window->Timer1->interval(), 1000);
    EXPECT_TRUE(window->Timer1->isActive());
}

TEST_F(FrmAboutTest, ThreeLinesRotateInACycleOfFourTicksAgainAfterReopening) {
    WriteInfo(Folder() / "controlsinfo.txt", {u"第一行", u"第二行", u"第三行"});
    WriteInfo(Folder() / "algorithm.txt", {u"甲", u"乙"});
    const QString loading = QStringLiteral("Loading...Please wait...");
    const std::vector<QString> controls = {
        loading,
        QStringLiteral("第一行"),
        QStringLiteral("第二行"),
        QStringLiteral("第三行"),
        QStringLiteral("第三行"),
        QStringLiteral("第一行"),
        QStringLiteral("第二行"),
        QStringLiteral("第三行"),
        QStringLiteral("第三行"),
    };
    // Two lines: a cycle of three ticks, drifting against the other label.
    const std::vector<QString> algorithm = {
        loading,
        QStringLiteral("甲"),
        QStringLiteral("乙"),
        QStringLiteral("乙"),
        QStringLiteral("甲"),
        QStringLiteral("乙"),
        QStringLiteral("乙"),
        QStringLiteral("甲"),
        QStringLiteral("乙"),
    };
    for (int opening = 0; opening < 2; ++opening) {
        ASSERT_TRUE(Open());
        EXPECT_EQ(window_->lblControlInfo->text(), loading);
        EXPECT_EQ(window_->lblThanksfor->text(), loading);
        const auto seen = Run(9);
        EXPECT_EQ(Column(seen, true), controls) << "opening " << opening;
        EXPECT_EQ(Column(seen, false), algorithm) << "opening " << opening;
        CloseWindow();
    }
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(FrmAboutTest, TheTimerDrivesTheRotationOncePerSecond) {
    WriteInfo(Folder() / "controlsinfo.txt", {u"唯一一行"});
    ASSERT_TRUE(Open());
    EXPECT_EQ(window_->lblControlInfo->text(), QStringLiteral("Loading...Please wait..."));
    // The first tick only resets; the second shows the line.
    QSignalSpy ticks(window_->Timer1, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(window_->lblControlInfo->text(), QStringLiteral("Loading...Please wait..."));
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_EQ(window_->lblControlInfo->text(), QStringLiteral("唯一一行"));
}

TEST_F(FrmAboutTest, EmptyLinesShowEmptyAndLinesShowAsTheyStand) {
    WriteInfo(Folder() / "controlsinfo.txt", {u"<b>粗体</b>", u"", u"最后"});
    ASSERT_TRUE(Open());
    const auto seen = Column(Run(4), true);
    EXPECT_EQ(seen[1], QStringLiteral("<b>粗体</b>"));
    EXPECT_EQ(window_->lblControlInfo->textFormat(), Qt::PlainText);
    EXPECT_EQ(seen[2], QString());
    EXPECT_EQ(seen[3], QStringLiteral("最后"));
}

TEST_F(FrmAboutTest, AMissingOrEmptyFileLeavesItsLabelBlank) {
    // algorithm.txt missing, controlsinfo.txt empty.
    WriteBytes(Folder() / "controlsinfo.txt", "");
    ASSERT_TRUE(Open());
    EXPECT_EQ(window_->lblControlInfo->text(), QString());
    EXPECT_EQ(window_->lblThanksfor->text(), QString());
    for (const auto& [controls, algorithm] : Run(5)) {
        EXPECT_EQ(controls, QString());
        EXPECT_EQ(algorithm, QString());
    }
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(FrmAboutTest, NamedPipesInPlaceOfTheFilesLeaveTheLabelsBlank) {
    // As missing files, and at once: the window never waits for a writer.
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(Folder() / "controlsinfo.txt"));
    ASSERT_TRUE(pipes.Add(Folder() / "algorithm.txt"));
    ASSERT_TRUE(Open());
    for (const auto& [controls, algorithm] : Run(3)) {
        EXPECT_EQ(controls, QString());
        EXPECT_EQ(algorithm, QString());
    }
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_FALSE(pipes.Stop()) << "the about box waited for a writer on a named pipe";
}

TEST_F(FrmAboutTest, EachOpeningReadsTheFilesAnew) {
    WriteInfo(Folder() / "controlsinfo.txt", {u"旧的"});
    ASSERT_TRUE(Open());
    EXPECT_EQ(Column(Run(2), true).back(), QStringLiteral("旧的"));
    WriteInfo(Folder() / "controlsinfo.txt", {u"新的"});
    EXPECT_EQ(Column(Run(2), true).back(), QStringLiteral("旧的"));
    CloseWindow();
    ASSERT_TRUE(Open());
    EXPECT_EQ(Column(Run(2), true).back(), QStringLiteral("新的"));
}

TEST_F(FrmAboutTest, EnterAndEscapeCloseTheWindowAndStopTheTimer) {
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        ASSERT_TRUE(Open());
        QTimer* timer = window_->Timer1;
        QSignalSpy stopped(timer, &QObject::destroyed);
        QTest::keyClick(window_, key);
        EXPECT_TRUE(window_->Unloaded());
        EXPECT_FALSE(timer->isActive());
        ProcessEvents();
        EXPECT_TRUE(window_.isNull());
        EXPECT_EQ(stopped.count(), 1);
        EXPECT_TRUE(main_->isVisible());
    }
}

}  // namespace
}  // namespace velotan::windows::test
