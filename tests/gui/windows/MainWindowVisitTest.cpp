// The settings and update windows take the main window's place for a while.
// What was typed survives the visit, and a decode finished meanwhile waits
// for the main window instead of opening a second one beside them.

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include "WindowsFixture.h"
#include "app/WindowFrame.h"
#include "cipher/Cipher.h"
#include "windows/Form3.h"

namespace velotan::windows::test {
namespace {

struct Visit {
    const char* button;  // in the main window
    const char* window;
    const char* back;  // "返回主界面"
};

void PrintTo(const Visit& visit, std::ostream* out) {
    *out << visit.window;
}

class MainWindowVisitTest : public WindowsFixture, public ::testing::WithParamInterface<Visit> {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        // The settings window looks its LED control up in the user's
        // registry: an empty one of the test's own.
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (temp_.path() / "xdg").c_str());
    }
    void TearDown() override {
        WindowsFixture::TearDown();
        if (hadXdg_)
            qputenv("XDG_DATA_HOME", oldXdg_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    // Leaves the main window for the window of this visit.
    app::WindowFrame* Leave() {
        Click(main_, GetParam().button);
        ProcessEvents();
        return OpenWindow<app::WindowFrame>(GetParam().window);
    }
    static int VisibleMainWindows() {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += qobject_cast<app::Form1*>(widget) && widget->isVisible();
        return count;
    }

    bool hadXdg_ = false;
    QByteArray oldXdg_;
};

TEST_P(MainWindowVisitTest, TypedTextSurvivesTheVisit) {
    WriteKeyFile("3UGA4");
    Main();
    const QString typed = QStringLiteral("写了很久的心情，\r\n还没有加密。");
    Editor()->SetText(typed);
    QPointer<app::WindowFrame> visit = Leave();
    ASSERT_FALSE(visit.isNull());
    EXPECT_EQ(VisibleMainWindows(), 0);

    // The load sequence runs anew on the way back: a key file changed
    // meanwhile is what the keys come from.
    WriteBytes(KeyFile(), "8UGA9\r\n");
    Click(visit, GetParam().back);
    ProcessEvents();
    EXPECT_TRUE(visit.isNull());
    app::Form1* main = app_->MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->txtText1->Text(), typed);
    EXPECT_EQ(app_->Cipher().FirstKey, 8);
    EXPECT_EQ(app_->Cipher().SecondKey, 9);
    EXPECT_EQ(Find<QLabel>(main, "SkiW")->text(), QStringLiteral("字数统计：%1").arg(typed.size()));

    // Kept for the visit only: a main window closed by its close box comes
    // back empty, as designed.
    main->close();
    ProcessEvents();
    EXPECT_TRUE(app_->ShowMainWindow()->txtText1->Text().isEmpty());
}

TEST_P(MainWindowVisitTest, ADecodeDuringTheVisitWaitsForTheMainWindow) {
    WriteKeyFile("12UGA200");
    Main();
    Click(main_, "cmdEncoding");
    QPointer<Form3> decode = OpenWindow<Form3>("Form3");
    ASSERT_FALSE(decode.isNull());
    Editor()->SetText(QStringLiteral("被解码结果替换"));
    QPointer<app::WindowFrame> visit = Leave();
    ASSERT_FALSE(visit.isNull());

    const std::u16string plain = u"Decoded while away, 不丢失";
    int offset = 0;
    const auto sent =
        cipher::Encrypt(plain + u"F", 7, 3, [&] { return offset++ % 26 + 1; }).value();
    decode->txtText1->SetText16(sent.cipherText);
    decode->txtText2->SetText16(sent.codeTable);
    decode->txtText3->setText(QStringLiteral("7"));
    decode->txtText4->setText(QStringLiteral("3"));
    dialogs_.asked.clear();
    // The typed text was never saved: it goes only on Yes.
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Click(decode, "cmdEncoding");
    ProcessEvents();
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QString::fromUtf16(app::kReplaceUnsavedQuestion));
    EXPECT_EQ(dialogs_.Messages()[1].text, QStringLiteral("解码操作完成！"));
    // No main window beside the one that stands in for it.
    EXPECT_EQ(VisibleMainWindows(), 0);
    EXPECT_TRUE(visit->isVisible());
    EXPECT_EQ(app_->Cipher().FirstKey, 12);

    Click(visit, GetParam().back);
    ProcessEvents();
    EXPECT_EQ(VisibleMainWindows(), 1);
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_EQ(app_->MainWindow()->txtText1->Text16(), plain);
}

INSTANTIATE_TEST_SUITE_P(SettingsAndUpdate, MainWindowVisitTest,
                         ::testing::Values(Visit{"cmdSettings", "Form2", "cmdBack"},
                                           Visit{"Command2", "FrmUpdate", "Command3"}));

}  // namespace
}  // namespace velotan::windows::test
