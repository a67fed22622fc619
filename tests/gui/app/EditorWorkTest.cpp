// The main window never replaces text that was not saved without asking, and
// never puts the garbage of a document made with other keys into the editor
// without asking; a question whose safe answer is No has No as its default.

#include <QApplication>
#include <QGroupBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "app/TextBox.h"
#include "cipher/Cipher.h"
#include "cipher/DocumentFiles.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using platform::MsgResult;
using platform::MsgStyle;

class EditorWorkTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        WriteKeyFile("12UGA7");
        MakeApp();
        window_ = app_->ShowMainWindow();
    }
    TextBox* Editor() { return window_->txtText1; }
    QString Caption() { return Find<QGroupBox>(window_, "FrameWork")->title(); }
    void Click(const char* name) {
        QPushButton* button = Find<QPushButton>(window_, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // A document of `plain`, encrypted with the given keys.
    fs::path Document(const char* name, std::u16string_view plain, int16_t first, int16_t second) {
        int offset = 0;
        const auto pair = cipher::Encrypt(std::u16string(plain) + u"F", first, second,
                                          [&] { return offset++ % 26 + 1; });
        EXPECT_TRUE(pair);
        const fs::path file = temp_.path() / name;
        EXPECT_TRUE(cipher::WriteDocument(file, pair->cipherText, pair->codeTable));
        return file;
    }
    void Load(const fs::path& document) {
        dialogs_.fileAnswers = {QPath(document)};
        Click("cmdLoad");
    }

    QPointer<Form1> window_;
};

TEST_F(EditorWorkTest, ADocumentMadeWithOtherKeysIsLoadedOnlyOnYes) {
    const fs::path own = Document("own.mxe", u"mine", 12, 7);
    Load(own);
    ASSERT_EQ(Editor()->Text(), QStringLiteral("mine"));
    ASSERT_TRUE(dialogs_.Messages().empty());
    const Form1State before = app_->MainState();

    // Made before the keys were replaced; 12 and 8 would round to the text,
    // and the check does not take them either.
    for (const auto& keys : {std::pair<int16_t, int16_t>{13, 7}, {12, 8}}) {
        const fs::path old = Document("old.mxe", u"older", keys.first, keys.second);
        dialogs_.asked.clear();
        dialogs_.msgAnswers = {MsgResult::No};
        Load(old);
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        const Asked asked = dialogs_.Messages()[0];
        EXPECT_EQ(asked.text, Q(kDocumentKeysQuestion));
        EXPECT_EQ(asked.style, platform::kRiskyQuestion);
        EXPECT_TRUE(asked.text.contains(QStringLiteral("更改随机密钥")));
        // Nothing changed: editor, caption, the window's document state.
        EXPECT_EQ(Editor()->Text(), QStringLiteral("mine"));
        EXPECT_EQ(Caption(), QStringLiteral("文本区 当前编辑《own.mxe》"));
        EXPECT_EQ(app_->MainState().ArticleTitle, before.ArticleTitle);
        EXPECT_EQ(app_->MainState().ArticleContent, before.ArticleContent);
        EXPECT_EQ(app_->MainState().RndNumList, before.RndNumList);
    }

    dialogs_.msgAnswers = {MsgResult::Yes};
    Load(temp_.path() / "old.mxe");
    EXPECT_EQ(Caption(), QStringLiteral("文本区 当前编辑《old.mxe》"));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("older"));  // 12 and 8 round to it
}

TEST_F(EditorWorkTest, UnsavedTextIsClearedOrReplacedByALoadOnlyOnYes) {
    const fs::path document = Document("a.mxe", u"loaded", 12, 7);
    struct Case {
        const char* command;
        bool load;
    };
    for (const Case& c : {Case{"cmdClear", false}, Case{"cmdLoad", true}}) {
        SCOPED_TRACE(c.command);
        Editor()->SetText(QStringLiteral("写了一半"));
        dialogs_.asked.clear();
        dialogs_.msgAnswers = {MsgResult::No};
        c.load ? Load(document) : Click(c.command);
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        EXPECT_EQ(dialogs_.Messages()[0].text, Q(kReplaceUnsavedQuestion));
        EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("请确认！"));
        EXPECT_EQ(dialogs_.Messages()[0].style, platform::kRiskyQuestion);
        EXPECT_EQ(Editor()->Text(), QStringLiteral("写了一半"));
        EXPECT_EQ(Caption(), QStringLiteral("文本区"));

        dialogs_.msgAnswers = {MsgResult::Yes};
        c.load ? Load(document) : Click(c.command);
        EXPECT_EQ(Editor()->Text(), c.load ? QStringLiteral("loaded") : QString());
        // What was just loaded, and an empty editor, go without a question.
        dialogs_.asked.clear();
        c.load ? Load(document) : Click(c.command);
        EXPECT_TRUE(dialogs_.Messages().empty());
        Editor()->SetText(QString());
    }
}

TEST_F(EditorWorkTest, SavedTextGoesWithoutAQuestionAndChangedTextAsksAgain) {
    Editor()->SetText(QStringLiteral("第一行\r\n第二行"));
    Click("cmdEncrypt");
    // Encrypted is not saved yet.
    EXPECT_TRUE(app_->EditorTextUnsaved());
    dialogs_.fileAnswers = {QPath(temp_.path() / "saved.mxe")};
    Click("cmdSave");
    EXPECT_FALSE(app_->EditorTextUnsaved());
    // Typed on after the save: the document does not hold that.
    Editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(Editor(), QStringLiteral("x"));
    EXPECT_TRUE(app_->EditorTextUnsaved());
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    EXPECT_FALSE(app_->EditorTextUnsaved());
    dialogs_.asked.clear();
    Click("cmdClear");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_EQ(Editor()->Text(), QString());

    // Saving after more typing keeps what was encrypted, not what is shown.
    Editor()->SetText(QStringLiteral("加密了"));
    Click("cmdEncrypt");
    Editor()->SetText(QStringLiteral("加密了，又改了"));
    dialogs_.fileAnswers = {QPath(temp_.path() / "later.mxe")};
    Click("cmdSave");
    EXPECT_TRUE(app_->EditorTextUnsaved());
}

// The real message box: Enter takes the default button.
TEST_F(EditorWorkTest, TheSecondButtonIsTheDefaultWhenAskedFor) {
    QtDialogs real;
    for (const auto& [style, expected] :
         {std::pair<int, MsgResult>{MsgStyle::kYesNo, MsgResult::Yes},
          {MsgStyle::kYesNo | MsgStyle::kDefaultButton2, MsgResult::No},
          {MsgStyle::kOkCancel | MsgStyle::kDefaultButton2, MsgResult::Cancel},
          {MsgStyle::kOkOnly | MsgStyle::kDefaultButton2, MsgResult::Ok}}) {
        SCOPED_TRACE(style);
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(real.MsgBox(u"问题", style, u"请确认！"), expected);
    }
}

}  // namespace
}  // namespace velotan::app::test
