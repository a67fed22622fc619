// Every caption fits its control in the designed layout: no button or label
// text is cut off. Sizes are logical pixels, so what fits here fits at any
// device pixel ratio (scripts/screenshots shows 1x and 2x).

#include <QAbstractButton>
#include <QLabel>
#include <QRegularExpression>

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"

namespace velotan::app::test {
namespace {

QString Visible(QString text) {
    // The mnemonic marker is not drawn.
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The captions of `window` that do not fit, with their sizes.
std::vector<std::string> Clipped(QWidget* window) {
    std::vector<std::string> out;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const int text = button->fontMetrics().horizontalAdvance(Visible(button->text()));
        // Two pixels of the frame on each side stay free.
        if (text > button->width() - 4) {
            out.push_back(button->objectName().toStdString() + ": " + std::to_string(text) + " > " +
                          std::to_string(button->width() - 4));
        }
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().isEmpty())
            continue;
        // The width of the text, and the height of its ink: the font's line
        // box is taller than what it draws, and a label centres it.
        const QFontMetrics metrics = label->fontMetrics();
        const QSize text(metrics.horizontalAdvance(label->text()),
                         metrics.tightBoundingRect(label->text()).height());
        const QRect room = label->contentsRect();
        if (text.width() > room.width() || text.height() > room.height()) {
            out.push_back(label->objectName().toStdString() + ": " + std::to_string(text.width()) +
                          "x" + std::to_string(text.height()) + " > " +
                          std::to_string(room.width()) + "x" + std::to_string(room.height()));
        }
    }
    return out;
}

class TextFitTest : public AppFixture {};

TEST_F(TextFitTest, LoginAndMainWindowCaptionsFit) {
    MakeApp();
    ForLoad* login = app_->StartLogin();
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(Clipped(login), std::vector<std::string>{});
    login->PreparePasswordSetting(nullptr);
    EXPECT_EQ(Clipped(login), std::vector<std::string>{});

    Form1* main = app_->ShowMainWindow();
    ASSERT_NE(main, nullptr);
    // ctest runs this at a ratio of 1 and again at 2 (QT_SCALE_FACTOR=2).
    EXPECT_EQ(main->devicePixelRatio(),
              qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2 : 1);
    EXPECT_EQ(Clipped(main), std::vector<std::string>{});
    // The counters with the largest numbers they show in practice.
    Find<QLabel>(main, "SkiW")->setText(QStringLiteral("字数统计：32767"));
    Find<QLabel>(main, "lblV")->setText(QStringLiteral("输入速度（个/min）：-32767"));
    EXPECT_EQ(Clipped(main), std::vector<std::string>{});
}

}  // namespace
}  // namespace velotan::app::test
