// What must never be lost to one click: the editor's text when a decode would
// replace it with garbage from wrong keys, or replace unsaved work; and the
// keyboard way out of every secondary window.

#include <QLineEdit>
#include <QPointer>

#include "WindowsFixture.h"
#include "app/QtText.h"
#include "cipher/Cipher.h"
#include "strong/StrongPost.h"
#include "windows/Form2.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/FrmUpdate.h"
#include "windows/frmAbout.h"

namespace velotan::windows::test {
namespace {

using app::Q;
using app::test::Asked;
using platform::MsgResult;
using platform::MsgStyle;

class NoWorkLostTest : public WindowsFixture {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        WriteKeyFile("3UGA5");  // the user's own pair
        // A post made with 12 and 7.
        int offset = 0;
        auto pair = cipher::Encrypt(std::u16string(kPlain) + u"F", 12, 7,
                                    [&] { return offset++ % 26 + 1; });
        ASSERT_TRUE(pair);
        sent_ = *pair;
    }
    Form3* OpenDecode(const char* first, const char* second) {
        Click(Main(), "cmdEncoding");
        decode_ = OpenWindow<Form3>("Form3");
        EXPECT_NE(decode_, nullptr);
        if (decode_) {
            decode_->txtText1->SetText16(sent_.cipherText);
            decode_->txtText2->SetText16(sent_.codeTable);
            decode_->txtText3->setText(QString::fromLatin1(first));
            decode_->txtText4->setText(QString::fromLatin1(second));
        }
        return decode_;
    }
    QStringList Boxes() {
        return {decode_->txtText1->Text(), decode_->txtText2->Text(), decode_->txtText3->text(),
                decode_->txtText4->text()};
    }

    static constexpr std::u16string_view kPlain = u"Hello 世界";
    cipher::CipherPair sent_;
    QPointer<Form3> decode_;
};

TEST_F(NoWorkLostTest, KeysThatDidNotMakeTheTextAskFirstAndNoChangesNothing) {
    Main();
    Editor()->SetText(QStringLiteral("原来的文字"));
    app_->SettleEditorText(u"原来的文字");  // saved: only the keys are in question
    // 12 and 8 would round to the very text; nothing tells them from wrong keys.
    for (const char* first : {"13", "0"}) {
        for (const char* second : {"7", "8"}) {
            SCOPED_TRACE(std::string(first) + "," + second);
            dialogs_.asked.clear();
            dialogs_.msgAnswers = {MsgResult::No};
            ASSERT_TRUE(OpenDecode(first, second));
            const QStringList before = Boxes();
            Click(decode_, "cmdEncoding");
            ASSERT_EQ(dialogs_.Messages().size(), 1u);
            const Asked asked = dialogs_.Messages()[0];
            EXPECT_EQ(
                asked.text,
                QStringLiteral("密钥与这段密文不符，解码结果很可能是乱码。仍要放进文本区吗？"));
            EXPECT_EQ(asked.title, QStringLiteral("请确认！"));
            EXPECT_EQ(asked.style, platform::kRiskyQuestion);
            // The editor, the boxes, the window and the keys stay as they were.
            EXPECT_EQ(Editor()->Text(), QStringLiteral("原来的文字"));
            ASSERT_FALSE(decode_.isNull());
            EXPECT_TRUE(decode_->isVisible());
            EXPECT_EQ(Boxes(), before);
            EXPECT_EQ(app_->Cipher().FirstKey, 3);
            EXPECT_EQ(app_->Cipher().SecondKey, 5);
        }
    }
    decode_->txtText3->setText(QStringLiteral("12"));
    // Yes takes the decoding as it comes: 12 and 8 give the text after all.
    dialogs_.asked.clear();
    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(decode_, "cmdEncoding");
    EXPECT_EQ(Editor()->Text16(), kPlain);
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[1].text, QStringLiteral("解码操作完成！"));
}

TEST_F(NoWorkLostTest, TheRightKeysDecodeWithoutAQuestion) {
    ASSERT_TRUE(OpenDecode("12", "7"));
    Click(decode_, "cmdEncoding");
    EXPECT_EQ(Editor()->Text16(), kPlain);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("解码操作完成！"));
}

TEST_F(NoWorkLostTest, UnsavedTextIsReplacedByADecodeOnlyOnYes) {
    Main();
    Editor()->SetText(QStringLiteral("还没保存的心情"));
    dialogs_.msgAnswers = {MsgResult::No};
    ASSERT_TRUE(OpenDecode("12", "7"));
    Click(decode_, "cmdEncoding");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, Q(app::kReplaceUnsavedQuestion));
    EXPECT_EQ(dialogs_.Messages()[0].style, platform::kRiskyQuestion);
    EXPECT_EQ(Editor()->Text(), QStringLiteral("还没保存的心情"));
    ASSERT_FALSE(decode_.isNull());

    dialogs_.asked.clear();
    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(decode_, "cmdEncoding");
    EXPECT_EQ(Editor()->Text16(), kPlain);
    // A decoded text can be decoded again: it goes without a question.
    dialogs_.asked.clear();
    ASSERT_TRUE(OpenDecode("12", "7"));
    Click(decode_, "cmdEncoding");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("解码操作完成！"));
}

TEST_F(NoWorkLostTest, TextKeptForTheMainWindowsReturnCountsAsUnsavedToo) {
    Main();
    Editor()->SetText(QStringLiteral("去设置前写的"));
    Click(main_, "cmdSettings");  // the settings window takes the main window's place
    ProcessEvents();
    EXPECT_TRUE(app_->EditorTextUnsaved());
    QPointer<QWidget> decode = app_->OpenWindow(app::AppWindow::Decode);
    ASSERT_FALSE(decode.isNull());
    decode_ = qobject_cast<Form3*>(decode.data());
    decode_->txtText1->SetText16(sent_.cipherText);
    decode_->txtText2->SetText16(sent_.codeTable);
    decode_->txtText3->setText(QStringLiteral("12"));
    decode_->txtText4->setText(QStringLiteral("7"));
    dialogs_.asked.clear();
    dialogs_.msgAnswers = {MsgResult::No};
    Click(decode_, "cmdEncoding");
    ASSERT_FALSE(dialogs_.Messages().empty());
    EXPECT_EQ(dialogs_.Messages()[0].text, Q(app::kReplaceUnsavedQuestion));
    EXPECT_EQ(app_->EditorText(), u"去设置前写的");
}

TEST_F(NoWorkLostTest, AStrongPostReplacesUnsavedTextOnlyOnYes) {
    const auto post = strong::SealPost(GiveOwnStrongKey(), "强加密的心情");
    ASSERT_TRUE(post);
    Main();
    Editor()->SetText(QStringLiteral("还没保存的心情"));
    Click(main_, "cmdEncoding");
    decode_ = OpenWindow<Form3>("Form3");
    ASSERT_FALSE(decode_.isNull());
    decode_->txtText1->SetText(QString::fromStdString(*post));
    dialogs_.asked.clear();
    dialogs_.msgAnswers = {MsgResult::No};
    Click(decode_, "cmdEncoding");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, Q(app::kReplaceUnsavedQuestion));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("还没保存的心情"));
    ASSERT_FALSE(decode_.isNull());

    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(decode_, "cmdEncoding");
    EXPECT_EQ(Editor()->Text(), QStringLiteral("强加密的心情"));
}

// ---- the keyboard ---------------------------------------------------------------------

TEST_F(NoWorkLostTest, AfterLoginTypingGoesIntoTheEditor) {
    Main();
    EXPECT_EQ(main_->focusWidget(), main_->txtText1);
    // The window takes the keyboard itself: the login window that showed it
    // is gone, and no window manager need pass the keyboard on.
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_));
    EXPECT_EQ(QApplication::focusWidget(), main_->txtText1);
}

TEST_F(NoWorkLostTest, EscapeActsAsEachWindowsBackOrCloseButton) {
    struct Case {
        app::AppWindow window;
        const char* focus;   // the child Escape is pressed in; "" the window itself
        bool mainComesBack;  // the window stood in for the main window
    };
    const Case cases[] = {
        {app::AppWindow::Settings, "", true},
        {app::AppWindow::Settings, "cmdBuildChar", true},
        {app::AppWindow::Decode, "txtText1", false},
        {app::AppWindow::Decode, "txtText3", false},
        {app::AppWindow::Share, "", false},
        {app::AppWindow::Share, "lblToShare", false},
        {app::AppWindow::Update, "", true},
        {app::AppWindow::About, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.window)) + " " + c.focus);
        Main();
        if (c.mainComesBack) {
            Click(main_, c.window == app::AppWindow::Settings ? "cmdSettings" : "Command2");
            ProcessEvents();
            ASSERT_TRUE(main_.isNull() || !main_->isVisible());
        }
        QPointer<QWidget> window = app_->OpenWindow(c.window);
        ASSERT_FALSE(window.isNull());
        QWidget* target =
            *c.focus ? window->findChild<QWidget*>(QString::fromLatin1(c.focus)) : window.data();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key_Escape);
        ProcessEvents();
        EXPECT_TRUE(window.isNull());
        if (c.mainComesBack) {
            ASSERT_NE(app_->MainWindow(), nullptr);
            EXPECT_TRUE(app_->MainWindow()->isVisible());
        }
    }
}

}  // namespace
}  // namespace velotan::windows::test
