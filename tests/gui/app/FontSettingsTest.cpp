// Font.ini: the six-line format, the line-count rule, and values that
// cannot be converted.

#include <QPalette>
#include <QSignalSpy>

#include "AppFixture.h"
#include "app/EditorFontSettings.h"
#include "app/FontSettings.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "app/WindowFonts.h"
#include "encoding/Cp936.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;

TEST(FontSettingsTest, WriterProducesTheSixLines) {
    TempFolder temp;
    FontSettings font{QStringLiteral("宋体"), 10.5, true, false, 255};
    ASSERT_TRUE(WriteFontIni(temp.path(), font));
    // Whatever the machine's locale, the test pins the decimal point.
    const auto lines = FontIniLines(font, QLocale::c());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], u"[Font]");
    EXPECT_EQ(lines[1], u"FontName=宋体");
    EXPECT_EQ(lines[2], u"FontSize=10.5");
    EXPECT_EQ(lines[3], u"FontBold=True");
    EXPECT_EQ(lines[4], u"FontItalic=False");
    EXPECT_EQ(lines[5], u"FontColor=255");
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 9, false, true, 0}, QLocale::c())[2],
              u"FontSize=9");
    // The size is single precision and written in that precision's shortest
    // form, not as the double it widens to.
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 10.3, false, false, 0}, QLocale::c())[2],
              u"FontSize=10.3");
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 7.8, false, false, 0}, QLocale::c())[2],
              u"FontSize=7.8");
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 8.25, false, false, 0}, QLocale::c())[2],
              u"FontSize=8.25");
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 72, false, false, 0}, QLocale::c())[2],
              u"FontSize=72");
    EXPECT_EQ(ParseFontSize(QStringLiteral("10.3"), QLocale::c()), double(10.3f));
    // A German user writes and reads a decimal comma.
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FontIniLines(font, german)[2], u"FontSize=10,5");
    EXPECT_EQ(FontIniLines({QStringLiteral("A"), 10.3, false, false, 0}, german)[2],
              u"FontSize=10,3");
    EXPECT_EQ(ParseFontSize(QStringLiteral("10,5"), german), 10.5);
    EXPECT_EQ(ParseFontSize(QStringLiteral("10.5"), german), 10.5);

    const std::string bytes = ReadBytes(temp.path() / "Font.ini");
    EXPECT_EQ(bytes.substr(0, 8), "[Font]\r\n");
    EXPECT_NE(bytes.find("FontName=" + encoding::ToCp936(u"宋体") + "\r\n"), std::string::npos);
    auto values = ReadFontIni(temp.path());
    EXPECT_EQ(values.name, QStringLiteral("宋体"));
    EXPECT_EQ(values.size, 10.5);
    EXPECT_EQ(values.bold, true);
    EXPECT_EQ(values.italic, false);
    EXPECT_EQ(values.color, 255);
}

TEST(FontSettingsTest, LineCountDecidesWhichSettingsApply) {
    TempFolder temp;
    const fs::path file = temp.path() / "Font.ini";
    // Keys in another order: each is looked up by name.
    WriteBytes(file,
               "[Font]\r\nFontColor=65280\r\nFontItalic=True\r\nFontBold=True\r\n"
               "FontSize=12\r\nFontName=Serif\r\n");
    auto all = ReadFontIni(temp.path(), QLocale::c());
    EXPECT_EQ(all.name, QStringLiteral("Serif"));
    EXPECT_EQ(all.size, 12);
    EXPECT_EQ(all.bold, true);
    EXPECT_EQ(all.italic, true);
    EXPECT_EQ(all.color, 65280);

    // Three lines: name, size and bold only, whatever else the lines hold.
    WriteBytes(file, "[Font]\r\nFontItalic=True\r\nFontSize=12\r\n");
    auto three = ReadFontIni(temp.path(), QLocale::c());
    EXPECT_FALSE(three.name.has_value());  // key missing: left alone
    EXPECT_EQ(three.size, 12);
    EXPECT_FALSE(three.bold.has_value());
    EXPECT_FALSE(three.italic.has_value());
    EXPECT_FALSE(three.color.has_value());

    // A blank first line and extra lines still give all five.
    WriteBytes(file,
               "\r\n[Font]\r\nFontName=Serif\r\nFontSize=9\r\nFontBold=False\r\n"
               "FontItalic=False\r\nFontColor=1\r\n; more\r\n");
    auto padded = ReadFontIni(temp.path(), QLocale::c());
    EXPECT_TRUE(padded.name && padded.size && padded.bold && padded.italic && padded.color);

    // Values that cannot be converted leave just that property alone.
    WriteBytes(file,
               "[Font]\r\nFontName=\r\nFontSize=big\r\nFontBold=Ja\r\nFontItalic=1\r\n"
               "FontColor=red\r\n");
    auto bad = ReadFontIni(temp.path(), QLocale::c());
    EXPECT_FALSE(bad.name.has_value());
    EXPECT_FALSE(bad.size.has_value());
    EXPECT_FALSE(bad.bold.has_value());
    EXPECT_EQ(bad.italic, true);
    EXPECT_FALSE(bad.color.has_value());

    fs::remove(file);
    auto none = ReadFontIni(temp.path());
    EXPECT_FALSE(none.name || none.size || none.bold || none.italic || none.color);
}

TEST(EditorFontSettingsTest, LoadGivesTheDesignedFontWithFontIniApplied) {
    QtApp();
    TempFolder temp;
    EditorFontSettings settings;
    QSignalSpy changed(&settings, &EditorFontSettings::Changed);
    EXPECT_EQ(settings.Font(), ProgramFont());
    EXPECT_FALSE(settings.Color().has_value());

    // Only what the file holds changes: here the name and the size.
    WriteBytes(temp.path() / "Font.ini", "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=14\r\n");
    settings.Load(temp.path());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(settings.Font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_DOUBLE_EQ(settings.Font().pointSizeF(), 14);
    EXPECT_EQ(settings.Font().bold(), ProgramFont().bold());
    EXPECT_FALSE(settings.Color().has_value());

    WriteBytes(temp.path() / "Font.ini",
               "[Font]\r\nFontName=A\r\nFontSize=9\r\nFontBold=True\r\nFontItalic=False\r\n"
               "FontColor=255\r\n");
    settings.Load(temp.path());
    EXPECT_TRUE(settings.Font().bold());
    EXPECT_EQ(settings.Color(), 255);

    // Without the file: the designed font and colour again, not what was
    // there before.
    fs::remove(temp.path() / "Font.ini");
    settings.Load(temp.path());
    EXPECT_EQ(settings.Font(), ProgramFont());
    EXPECT_FALSE(settings.Color().has_value());
    EXPECT_EQ(changed.count(), 3);
}

class FontWindowTest : public AppFixture {};

TEST_F(FontWindowTest, TheEditorShowsEachChangeOfTheRunsFontSettings) {
    MakeApp();
    Form1* window = app_->ShowMainWindow();
    const QColor designedColor = window->txtText1->palette().color(QPalette::Text);
    EditorFontSettings& settings = app_->EditorFont();
    QFont font = settings.Font();
    font.setItalic(true);
    font.setPointSizeF(17);
    settings.SetFont(font);
    EXPECT_TRUE(window->txtText1->font().italic());
    EXPECT_DOUBLE_EQ(window->txtText1->font().pointSizeF(), 17);
    settings.SetColor(0x00FF00);
    EXPECT_EQ(window->txtText1->palette().color(QPalette::Text), QColor(0, 255, 0));
    // Font.ini read again while the window is open: without one, the
    // designed look, colour included.
    window->LoadFontSettings();
    EXPECT_FALSE(window->txtText1->font().italic());
    EXPECT_EQ(window->txtText1->palette().color(QPalette::Text), designedColor);
    settings.SetFont(font);

    // The next load reads Font.ini again: without one, the designed look.
    window->close();
    ProcessEvents();
    window = app_->ShowMainWindow();
    EXPECT_FALSE(window->txtText1->font().italic());
    EXPECT_EQ(window->txtText1->palette().color(QPalette::Text), designedColor);
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(FontWindowTest, MainWindowAppliesFontIniToTheEditor) {
    // With the shipped skin, so that the skin does not override the font.
    fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "Main.skn", Folder() / "Main.skn");
    MakeApp();
    Form1* plain = app_->ShowMainWindow();
    const QFont designed = plain->txtText1->font();
    const QColor designedColor = plain->txtText1->palette().color(QPalette::Text);
    EXPECT_TRUE(dialogs_.asked.empty());
    plain->close();
    ProcessEvents();

    WriteBytes(Folder() / "Font.ini",
               "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=14\r\nFontBold=True\r\n"
               "FontItalic=True\r\nFontColor=255\r\n");
    Form1* window = app_->ShowMainWindow();
    const QFont font = window->txtText1->font();
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 14);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(window->txtText1->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_NE(font, designed);
    EXPECT_NE(designedColor, QColor(255, 0, 0));
    window->close();
    ProcessEvents();

    // A size that cannot be read keeps the designed size; the rest applies.
    WriteBytes(Folder() / "Font.ini",
               "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=x\r\nFontBold=True\r\n"
               "FontItalic=False\r\nFontColor=16711680\r\n");
    window = app_->ShowMainWindow();
    EXPECT_DOUBLE_EQ(window->txtText1->font().pointSizeF(), designed.pointSizeF());
    EXPECT_TRUE(window->txtText1->font().bold());
    EXPECT_EQ(window->txtText1->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_TRUE(dialogs_.asked.empty());
}

}  // namespace
}  // namespace velotan::app::test
