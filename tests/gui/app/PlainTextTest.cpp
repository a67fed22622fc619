// Texts from files, paths, servers and other users are shown as the
// characters they hold: labels, message boxes, input boxes and tool tips
// never read them as markup (an <img src="/dev/zero"> would make Qt read
// that file until memory ran out).

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "app/Skin.h"

namespace velotan::app::test {
namespace {

const QString kMarkup =
    QStringLiteral("无法打开 /home/u/<img src=\"/dev/zero\">/a.mxe\r\n<b>粗</b>");

TEST(PlainTextTest, MessageBoxesShowTheirTextAsItIs) {
    QtApp();
    for (int style : {0, int(platform::MsgStyle::kCritical),
                      int(platform::MsgStyle::kYesNo | platform::MsgStyle::kQuestion)}) {
        const std::unique_ptr<QMessageBox> box =
            MakeMessageBox(kMarkup, style, QStringLiteral("<i>标题</i>"), nullptr);
        EXPECT_EQ(box->textFormat(), Qt::PlainText) << style;
        EXPECT_EQ(box->text(), kMarkup);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("<i>标题</i>"));
        // The label that shows it, as Qt names it.
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), kMarkup);
    }
}

TEST(PlainTextTest, InputBoxesShowTheirPromptAsItIs) {
    QtApp();
    const std::unique_ptr<QInputDialog> dialog =
        MakeInputDialog(kMarkup, QStringLiteral("标题"), QStringLiteral("<b>默认</b>"), nullptr);
    EXPECT_EQ(dialog->labelText(), kMarkup);
    EXPECT_EQ(dialog->textValue(), QStringLiteral("<b>默认</b>"));
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    ASSERT_FALSE(labels.isEmpty());
    for (const QLabel* label : labels) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), kMarkup);
    }
}

// A tool tip has no format switch: its text goes in escaped, and reads back
// as the characters it held, line breaks and blanks included.
TEST(PlainTextTest, ToolTipsHoldTheTextEscaped) {
    const QString text = QStringLiteral("无法保存：/tmp/<img src=\"x\">&amp;  两个空格\n第二行");
    const QString tip = PlainToolTip(text);
    EXPECT_TRUE(Qt::mightBeRichText(tip));
    EXPECT_FALSE(tip.contains(QStringLiteral("<img")));
    QTextDocument document;
    document.setHtml(tip);
    EXPECT_EQ(document.toPlainText(), text);
    EXPECT_EQ(PlainToolTip(QString()), QString());
}

class PlainLabelsTest : public AppFixture {};

// Every label of the login and the main window; the other windows have a
// test of their own (test_windows).
TEST_F(PlainLabelsTest, EveryLabelOfTheLoginAndTheMainWindowIsPlainText) {
    ConfigureKeyStore();
    MakeApp();
    ForLoad* login = app_->StartLogin();
    ASSERT_NE(login, nullptr);
    QList<QLabel*> labels = login->findChildren<QLabel*>();
    Form1* main = app_->ShowMainWindow();
    ASSERT_NE(main, nullptr);
    labels += main->findChildren<QLabel*>();
    ASSERT_FALSE(labels.isEmpty());
    for (const QLabel* label : labels)
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    // A skin label made anywhere.
    SkinLabel label(QStringLiteral("<b>x</b>"), QStringLiteral("SkiTest"), nullptr);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

}  // namespace
}  // namespace velotan::app::test
