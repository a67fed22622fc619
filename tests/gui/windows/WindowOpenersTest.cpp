// The main window's buttons open the decode, share and about windows beside
// it, one of each.

#include <QPointer>

#include "WindowsFixture.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/frmAbout.h"

namespace velotan::windows::test {
namespace {

class WindowOpenersTest : public WindowsFixture {
  protected:
    template <typename Window>
    void OpensBesideOnce(const char* button, const char* name) {
        Click(main_, button);
        QPointer<Window> first = OpenWindow<Window>(name);
        ASSERT_FALSE(first.isNull()) << name;
        EXPECT_TRUE(first->isVisible());
        EXPECT_TRUE(main_->isVisible());
        // A second click brings the same window to the front.
        Click(main_, button);
        EXPECT_EQ(OpenWindow<Window>(name), first.data());
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += widget->objectName() == QLatin1String(name) && widget->isVisible();
        EXPECT_EQ(count, 1) << name;
        // Once closed, the next click makes a new one.
        first->close();
        ProcessEvents();
        EXPECT_TRUE(first.isNull());
        Click(main_, button);
        QPointer<Window> second = OpenWindow<Window>(name);
        ASSERT_FALSE(second.isNull());
        second->close();
        ProcessEvents();
    }
};

TEST_F(WindowOpenersTest, TheMainWindowOpensEachWindowBesideItself) {
    app::Form1* main = Main();
    main->txtText1->SetText(QStringLiteral("有话要说"));
    OpensBesideOnce<Form3>("cmdEncoding", "Form3");
    OpensBesideOnce<Form4>("Command1", "Form4");
    OpensBesideOnce<frmAbout>("cmdAbout", "frmAbout");
    EXPECT_TRUE(main_->isVisible());
}

TEST_F(WindowOpenersTest, AllThreeAreOpenAtOnce) {
    app::Form1* main = Main();
    main->txtText1->SetText(QStringLiteral("有话要说"));
    Click(main, "cmdEncoding");
    Click(main, "Command1");
    Click(main, "cmdAbout");
    EXPECT_NE(OpenWindow<Form3>("Form3"), nullptr);
    EXPECT_NE(OpenWindow<Form4>("Form4"), nullptr);
    EXPECT_NE(OpenWindow<frmAbout>("frmAbout"), nullptr);
    EXPECT_TRUE(main->isVisible());
}

}  // namespace
}  // namespace velotan::windows::test
