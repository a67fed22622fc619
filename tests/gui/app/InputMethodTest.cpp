// Chinese input methods (fcitx5, IBus) hand the editor composed text through
// input-method events: committed text counts, text still being composed
// (preedit) does not.

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLabel>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/TextBox.h"

namespace velotan::app::test {
namespace {

class InputMethodTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        MakeApp();
        window_ = app_->ShowMainWindow();
        ASSERT_NE(window_, nullptr);
        Editor()->setFocus();
    }
    TextBox* Editor() { return Find<TextBox>(window_, "txtText1"); }
    QString Label(const char* name) { return Find<QLabel>(window_, name)->text(); }

    void Preedit(const QString& text) {
        QList<QInputMethodEvent::Attribute> attributes;
        attributes.append({QInputMethodEvent::Cursor, int(text.size()), 1, QVariant()});
        QInputMethodEvent event(text, attributes);
        QCoreApplication::sendEvent(Editor(), &event);
    }
    void Commit(const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(Editor(), &event);
    }

    Form1* window_ = nullptr;
};

TEST_F(InputMethodTest, CommittedTextCountsAndPreeditDoesNot) {
    EXPECT_TRUE(Editor()->testAttribute(Qt::WA_InputMethodEnabled));
    window_->Timer1_Timer();  // the speed count starts from an empty editor

    // Pinyin being composed: nothing is in the text yet (the editor reports
    // a change, and the count says 0).
    Preedit(QStringLiteral("jintian"));
    EXPECT_EQ(Editor()->Text(), QString());
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：0"));

    // The candidate is chosen: two characters arrive at once.
    Commit(QStringLiteral("今天"));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("今天"));
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：2"));

    // Composing again shows in the editor but still counts nothing.
    Preedit(QStringLiteral("hen"));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("今天"));
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：2"));
    Commit(QStringLiteral("很好。"));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("今天很好。"));
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：5"));

    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：5"));

    // A commit that replaces the character before the cursor (an input
    // method's correction) changes the count by the difference.
    QInputMethodEvent correction;
    correction.setCommitString(QStringLiteral("！"), -1, 1);
    QCoreApplication::sendEvent(Editor(), &correction);
    EXPECT_EQ(Editor()->Text(), QStringLiteral("今天很好！"));
    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：0"));
}

}  // namespace
}  // namespace velotan::app::test
