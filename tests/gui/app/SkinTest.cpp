// The skin: the shipped file styles every window; a missing or unreadable
// one leaves the plain look and breaks nothing.

#include "AppFixture.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/QtDialogs.h"
#include "app/Skin.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;

class SkinTest : public AppFixture {};

TEST_F(SkinTest, ShippedSkinStylesBothWindows) {
    fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "Main.skn", Folder() / "Main.skn");
    MakeApp();
    ForLoad* login = app_->StartLogin();
    ASSERT_NE(login, nullptr);
    EXPECT_FALSE(login->styleSheet().isEmpty());
    EXPECT_TRUE(login->styleSheet().contains(QStringLiteral("QPushButton")));
    Form1* main = app_->ShowMainWindow();
    EXPECT_EQ(main->styleSheet(), login->styleSheet());
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(SkinTest, MissingOrUnreadableSkinLeavesThePlainLook) {
    for (bool asFolder : {false, true}) {
        SCOPED_TRACE(asFolder ? "Main.skn is a folder" : "no Main.skn");
        app_.reset();
        if (asFolder)
            fs::create_directories(Folder() / "Main.skn");
        MakeApp();
        ForLoad* login = app_->StartLogin();
        ASSERT_NE(login, nullptr);
        EXPECT_TRUE(login->styleSheet().isEmpty());
        EXPECT_TRUE(login->isVisible());
        Form1* main = app_->ShowMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(main->styleSheet().isEmpty());
        EXPECT_TRUE(main->isVisible());
        EXPECT_TRUE(dialogs_.asked.empty());
        EXPECT_FALSE(app_->Ended());
    }
    Skin skin;
    EXPECT_FALSE(skin.LoadSkin(Folder() / "nothing.skn"));
    EXPECT_TRUE(skin.StyleSheet().isEmpty());
}

TEST(CommonDialogFilterTest, FilterBecomesQtsForm) {
    EXPECT_EQ(ToQtFilter(QStringLiteral("青岚加密文件(*.mxe)|*.mxe")),
              QStringLiteral("青岚加密文件(*.mxe)"));
    EXPECT_EQ(ToQtFilter(QStringLiteral("文本|*.txt|全部(*.*)|*.*")),
              QStringLiteral("文本 (*.txt);;全部(*.*)"));
}

TEST(CommonDialogTest, KeepsItsValuesBetweenUses) {
    ScriptedDialogs dialogs;
    CommonDialog1 dialog(dialogs);
    dialog.DialogTitle = QStringLiteral("保存");
    dialog.InitDir = QStringLiteral("/tmp");
    dialog.Filter = QStringLiteral("a|*.a");
    dialogs.fileAnswers = {QStringLiteral("/tmp/x/diary.mxe"), QString()};
    EXPECT_TRUE(dialog.ShowSave());
    EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/x/diary.mxe"));
    EXPECT_EQ(dialog.FileTitle, QStringLiteral("diary.mxe"));
    // The open dialog sees what the save dialog last had.
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(dialogs.asked[1].file.title, QStringLiteral("保存"));
    EXPECT_EQ(dialogs.asked[1].file.initialFolder, QStringLiteral("/tmp"));
    EXPECT_EQ(dialogs.asked[1].file.fileName, QStringLiteral("/tmp/x/diary.mxe"));
    EXPECT_TRUE(dialog.FileName.isEmpty());
    EXPECT_TRUE(dialog.FileTitle.isEmpty());

    dialogs.fontAnswers = {FontChoice{QStringLiteral("宋体"), 12, true, false, 255}};
    EXPECT_TRUE(dialog.ShowFont());
    EXPECT_EQ(dialog.FontName, QStringLiteral("宋体"));
    EXPECT_EQ(dialog.Color, 255);
    EXPECT_FALSE(dialog.ShowColor());  // cancelled: the colour stays
    EXPECT_EQ(dialog.Color, 255);
}

}  // namespace
}  // namespace velotan::app::test
