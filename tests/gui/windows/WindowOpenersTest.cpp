// The main window's buttons open the decode, share and about windows beside
// it, one of each.

#include <QPointer>

#include "WindowsFixture.h"
#include "windows/Form2.h"
#include "windows/Form3.h"
#include "windows/Form4.h"
#include "windows/FrmUpdate.h"
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

// The settings and update windows take the main window's place. Each exists
// once: a second request (the decode window can bring the main window back
// beside them) raises the open one, so no second update check can start.
template <typename Window>
void ExistsOnce(app::App& app, app::AppWindow which, const char* name) {
    QPointer<QWidget> first = app.OpenWindow(which);
    ASSERT_FALSE(first.isNull()) << name;
    EXPECT_EQ(app.OpenWindow(which), first.data()) << name;
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<Window*>(widget) != nullptr && widget->isVisible();
    EXPECT_EQ(count, 1) << name;
    // Once closed, the next request makes a new one.
    first->close();
    ProcessEvents();
    EXPECT_TRUE(first.isNull()) << name;
    QPointer<QWidget> second = app.OpenWindow(which);
    ASSERT_FALSE(second.isNull()) << name;
    EXPECT_TRUE(second->isVisible()) << name;
    second->close();
    ProcessEvents();
}

TEST_F(WindowOpenersTest, SettingsAndUpdateWindowsExistOnce) {
    app::App& app = StartApp();
    ExistsOnce<Form2>(app, app::AppWindow::Settings, "Form2");
    ExistsOnce<update::FrmUpdate>(app, app::AppWindow::Update, "FrmUpdate");
}

}  // namespace
}  // namespace velotan::windows::test
