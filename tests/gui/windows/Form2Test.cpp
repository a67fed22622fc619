// The settings window, opened the way the program opens it: through the
// opener registered for the main window's settings button, with the LED
// panel from the real control library of the build tree.

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "VxLedControl/VxLedControl.h"
#include "app/FontSettings.h"
#include "app/ForLoad.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "app/Twips.h"
#include "common/KeyCaptionGlyphs.h"
#include "controlhost/ControlLibrary.h"
#include "encoding/Cp936.h"
#include "windows/Form2.h"
#include "windows/WindowOpeners.h"

namespace velotan::windows {
namespace {

namespace fs = std::filesystem;
using app::test::Asked;
using app::test::Find;
using app::test::ProcessEvents;
using app::test::ReadBytes;
using app::test::WriteBytes;
using platform::MsgStyle;

const QString kLibrary = QFileInfo(QStringLiteral(VXLED_LIBRARY_PATH)).absoluteFilePath();

class Form2Test : public app::test::AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        // A registry of our own, holding the library of the build tree.
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        fs::create_directories(temp_.path() / "xdg");
        qputenv("XDG_DATA_HOME", (temp_.path() / "xdg").c_str());
        QString error;
        auto library = platform::ControlLibrary::open(kLibrary, &error);
        ASSERT_TRUE(library) << error.toStdString();
        ASSERT_EQ(library->registerServer(), vxled::S_OK);
    }

    void TearDown() override {
        delete window_.data();
        ProcessEvents();
        AppFixture::TearDown();
        if (hadXdg_)
            qputenv("XDG_DATA_HOME", oldXdg_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    void Unregister() {
        auto library = platform::ControlLibrary::open(kLibrary, nullptr);
        ASSERT_TRUE(library);
        ASSERT_EQ(library->unregisterServer(), vxled::S_OK);
    }

    app::App& Prepare() {
        if (!app_) {
            MakeApp();
            RegisterWindowOpeners(*app_);
        }
        return *app_;
    }

    // The program's way in: the main window loads the keys, its settings
    // button opens this window in its place.
    Form2* OpenFromMainWindow() {
        Prepare();
        main_ = app_->ShowMainWindow();
        EXPECT_NE(main_, nullptr);
        ClickIn(main_, "cmdSettings");
        ProcessEvents();
        window_ = FindSettings();
        return window_;
    }

    // Beside a main window that stays open, so its editor can be watched.
    Form2* OpenBesideMainWindow() {
        Prepare();
        main_ = app_->ShowMainWindow();
        window_ = qobject_cast<Form2*>(app_->OpenWindow(app::AppWindow::Settings));
        return window_;
    }

    static Form2* FindSettings() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* form = qobject_cast<Form2*>(widget);
            if (form && !form->Unloaded())
                return form;
        }
        return nullptr;
    }

    static void ClickIn(QWidget* window, const char* name) {
        auto* button = Find<QPushButton>(window, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void Click(const char* name) { ClickIn(window_, name); }

    QString Caption() {
        if (vxled::IMyPLed* led = window_->LedControl()) {
            vxled::Variant value;
            EXPECT_EQ(led->GetProperty(vxled::MyPLedDispId::Caption, &value), vxled::S_OK);
            return std::get<QString>(value);
        }
        auto* label = Find<QLabel>(window_, "lblChar");
        return label ? label->text() : QStringLiteral("<no lblChar>");
    }

    std::string SettingsIni() { return ReadBytes(Folder() / "settings.ini"); }
    std::string FontIni() { return ReadBytes(Folder() / "Font.ini"); }
    std::vector<Asked> Errors() {
        std::vector<Asked> out;
        for (const Asked& a : dialogs_.Messages())
            if (a.title == QStringLiteral("错误"))
                out.push_back(a);
        return out;
    }
    std::vector<Asked> Inputs() {
        std::vector<Asked> out;
        for (const Asked& a : dialogs_.asked)
            if (a.kind == "input")
                out.push_back(a);
        return out;
    }
    bool AskedFor(const char* kind) {
        for (const Asked& a : dialogs_.asked)
            if (a.kind == kind)
                return true;
        return false;
    }

    QPointer<Form2> window_;
    QPointer<app::Form1> main_;
    bool hadXdg_ = false;
    QByteArray oldXdg_;
};

// ---- the LED panel ---------------------------------------------------------------

using namespace velotan::testing::glyphs;

constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kUnlit = 0xFF033006;  // red 3, green 48, blue 6
constexpr QRgb kBlack = 0xFF000000;

// Pixel of a twip coordinate at 96 dpi.
int Px(int twips) {
    return twips / 15;
}

TEST_F(Form2Test, LedShowsTheKeyPairThroughTheRegisteredLibrary) {
    WriteKeyFile("12UGA200");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    EXPECT_TRUE(main_.isNull() || main_->Unloaded());  // the settings window took its place
    EXPECT_TRUE(dialogs_.Messages().empty());

    vxled::IMyPLed* led = window_->LedControl();
    ASSERT_NE(led, nullptr);
    QWidget* panel = Find<QWidget>(window_, "lblChar");
    ASSERT_EQ(panel, led->widget());
    EXPECT_EQ(panel->parentWidget(), Find<QGroupBox>(window_, "Fra"));
    EXPECT_EQ(Caption(), QStringLiteral("12.200"));

    const auto colour = [&](vxled::DispId id) {
        vxled::Variant value;
        EXPECT_EQ(led->GetProperty(id, &value), vxled::S_OK);
        return std::get<int32_t>(value);
    };
    EXPECT_EQ(colour(vxled::MyPLedDispId::Backcolor), 0x000000);
    EXPECT_EQ(colour(vxled::MyPLedDispId::Forecolor), 0x00FF00);
    EXPECT_EQ(colour(vxled::MyPLedDispId::LedBackcolor), 0x063003);

    // The panel as drawn: 2175 x 375 twips, dots of 41 twips, cells of 246.
    ASSERT_EQ(panel->size(), QSize(145, 25));
    const QImage image = panel->grab().toImage();
    const char* const caption[] = {kOne, kTwo, kDot, kTwo, kZero, kZero};
    int lit = 0;
    for (int cell = 0; cell < 6; ++cell) {
        for (int r = 1; r <= 7; ++r) {
            for (int c = 1; c <= 5; ++c) {
                const bool on = caption[cell][(r - 1) * 5 + (c - 1)] == '1';
                const int x1 = 5 + (c - 1) * 41 + cell * 246;
                const int y1 = 5 + (r - 1) * 41;
                // The outline is the box's edge pixels; the rest is the dot.
                for (int y = Px(y1) + 1; y < Px(y1 + 41); ++y) {
                    for (int x = Px(x1) + 1; x < Px(x1 + 41); ++x) {
                        ASSERT_EQ(image.pixel(x, y), on ? kGreen : kUnlit)
                            << "cell " << cell << " dot " << r << "," << c;
                        lit += on;
                    }
                }
                ASSERT_EQ(image.pixel(Px(x1), Px(y1) + 1), kBlack);
            }
        }
    }
    EXPECT_GT(lit, 40);
}

TEST_F(Form2Test, LedStaysBlankWhileTheKeysAreZeroAndShowsGeneratedKeys) {
    ConfigureKeyStore();  // a store without a key file: keys 0
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    EXPECT_EQ(Caption(), QString());

    int draws = 0;
    app_->Cipher().SetDraw([&](int lo, int hi) {
        EXPECT_EQ(lo, 1);
        EXPECT_EQ(hi, 39);
        return ++draws == 1 ? 7 : 31;
    });
    Click("cmdBuildChar");
    EXPECT_EQ(Caption(), QStringLiteral("7.31"));
    EXPECT_EQ(ReadBytes(KeyFile()), "7UGA31\r\n");
    EXPECT_EQ(app_->Cipher().FirstKey, 7);
    EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(Form2Test, NewKeysAreMadeOnlyOnYesAndTheOldPairStaysFindable) {
    WriteKeyFile("6UGA21");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    app_->Cipher().SetDraw([](int, int) { return 17; });
    const fs::path earlier = KeyFile().parent_path() / "chat-earlier.mx";

    // No, as Enter or closing the box answers: nothing changes.
    dialogs_.msgAnswers = {platform::MsgResult::No};
    Click("cmdBuildChar");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked question = dialogs_.Messages()[0];
    EXPECT_EQ(question.title, QStringLiteral("请确认！"));
    EXPECT_EQ(question.style, platform::kRiskyQuestion);
    // It names the pair, the way back to it and where it will be kept.
    EXPECT_TRUE(question.text.contains(QStringLiteral("（6.21）"))) << question.text.toStdString();
    EXPECT_TRUE(question.text.contains(QStringLiteral("“更改随机密钥”")));
    EXPECT_TRUE(question.text.contains(app::test::QPath(earlier)));
    EXPECT_EQ(ReadBytes(KeyFile()), "6UGA21\r\n");
    EXPECT_FALSE(fs::exists(earlier));
    EXPECT_EQ(Caption(), QStringLiteral("6.21"));
    EXPECT_EQ(app_->Cipher().FirstKey, 6);

    // Yes: the new pair is in force, and the old one waits beside it.
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Click("cmdBuildChar");
    EXPECT_EQ(ReadBytes(KeyFile()), "17UGA17\r\n");
    EXPECT_EQ(Caption(), QStringLiteral("17.17"));
    EXPECT_NE(ReadBytes(earlier).find(encoding::ToCp936(u"第一项密钥 6，第二项密钥 21")),
              std::string::npos);

    // An import replaces the pair just as well, and keeps it too.
    dialogs_.inputAnswers = {QStringLiteral("12"), QStringLiteral("7")};
    Click("cmdLoadChar");
    EXPECT_EQ(ReadBytes(KeyFile()), "12UGA7\r\n");
    EXPECT_NE(ReadBytes(earlier).find(encoding::ToCp936(u"第一项密钥 17，第二项密钥 17")),
              std::string::npos);
}

TEST_F(Form2Test, WithoutTheControlTheKeysShowAsTextAndOneErrorIsShown) {
    Unregister();  // and the program folder holds no library either
    WriteKeyFile("12UGA200");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    EXPECT_EQ(window_->LedControl(), nullptr);
    auto* label = Find<QLabel>(window_, "lblChar");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("12.200"));
    // Where the panel would be: 240, 600 in the window, 2175 x 375 twips.
    EXPECT_EQ(label->geometry(), app::TwipsRect(120, 480, 2175, 375));
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_EQ(dialogs_.Messages()[0].style, MsgStyle::kCritical);
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("VxLedControl.MyPLed")));

    // The label follows the keys like the panel would, with no further error.
    dialogs_.inputAnswers = {QStringLiteral("5"), QStringLiteral("6")};
    Click("cmdLoadChar");
    EXPECT_EQ(label->text(), QStringLiteral("5.6"));
    EXPECT_EQ(Errors().size(), 1u);
}

// ---- import -------------------------------------------------------------------------

TEST_F(Form2Test, ImportingTwelveAndTwoHundred) {
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    EXPECT_EQ(Caption(), QStringLiteral("3.4"));
    dialogs_.inputAnswers = {QStringLiteral("12"), QStringLiteral("200")};
    Click("cmdLoadChar");

    const auto inputs = Inputs();
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].text, QStringLiteral("请输入第一项密钥：（范围在1~255之间）"));
    EXPECT_EQ(inputs[1].text, QStringLiteral("请输入第二项密钥：（范围在1~255之间）"));
    EXPECT_EQ(inputs[0].title, QStringLiteral("青岚心情加密器"));

    EXPECT_EQ(window_->K, 12);
    EXPECT_EQ(window_->B, 200);
    EXPECT_EQ(window_->KeyChar, u"12UGA200");
    EXPECT_EQ(ReadBytes(KeyFile()), "12UGA200\r\n");
    EXPECT_EQ(app_->Cipher().FirstKey, 12);
    EXPECT_EQ(app_->Cipher().SecondKey, 200);
    EXPECT_EQ(Caption(), QStringLiteral("12.200"));
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("导入操作已完成！"));
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("操作成功"));
}

TEST_F(Form2Test, RejectedImportAnswersLeaveTheKeysAndTheKeyFile) {
    struct Case {
        std::vector<std::optional<QString>> answers;
        size_t prompts;
        size_t errors;
    };
    const std::optional<QString> cancel;
    const Case cases[] = {
        {{cancel}, 1, 0},
        {{QString()}, 1, 0},
        {{QStringLiteral("   ")}, 1, 0},
        {{QStringLiteral("12"), cancel}, 2, 0},
        {{QStringLiteral("12"), QString()}, 2, 0},
        // Which answers are keys is the key reader's business (KeyNumberTest).
        {{QStringLiteral("abc")}, 1, 1},
        {{QStringLiteral("256")}, 1, 1},
        {{QStringLiteral("12"), QStringLiteral("300")}, 2, 1},
    };
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    for (const Case& c : cases) {
        dialogs_.asked.clear();
        dialogs_.inputAnswers.assign(c.answers.begin(), c.answers.end());
        Click("cmdLoadChar");
        const std::string what = c.answers[0].value_or(QStringLiteral("<cancel>")).toStdString();
        EXPECT_EQ(Inputs().size(), c.prompts) << what;
        EXPECT_EQ(Errors().size(), c.errors) << what;
        EXPECT_EQ(dialogs_.Messages().size(), c.errors) << what;  // no success claimed
        if (c.errors) {
            EXPECT_EQ(Errors()[0].style, MsgStyle::kCritical);
        }
        EXPECT_EQ(ReadBytes(KeyFile()), "3UGA4\r\n") << what;
        EXPECT_EQ(app_->Cipher().FirstKey, 3) << what;
        EXPECT_EQ(app_->Cipher().SecondKey, 4) << what;
        EXPECT_EQ(Caption(), QStringLiteral("3.4")) << what;
    }
}

// ---- relocation ---------------------------------------------------------------------

TEST_F(Form2Test, RelocationWritesExactlyTwoLinesAndChangesNothingNow) {
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    WriteBytes(Folder() / "settings.ini",
               "; old\r\n[set]\r\nKeyChar=" + Store().string() + "\r\n[other]\r\nx=1\r\n");
    const std::u16string rootBefore = app_->Cipher().KeyStoreRoot;

    dialogs_.inputAnswers = {QStringLiteral("E")};
    Click("Command1");
    ASSERT_EQ(Inputs().size(), 1u);
    // The prompt names the key store in use and an example that works here.
    EXPECT_EQ(Inputs()[0].text,
              QStringLiteral("现在的密钥位置：") + app::test::QPath(Store() / "mxsw" / "encrypt") +
                  QStringLiteral(
                      "\r\n请输入保存的位置（盘符 D 到 Z，如 E；或已存在文件夹的完整路径，如 ") +
                  QDir::toNativeSeparators(QDir::homePath()) + QStringLiteral("）："));
    EXPECT_TRUE(QDir(QDir::homePath()).exists());
    EXPECT_EQ(SettingsIni(), "[set]\r\nKeyChar=E\r\n");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text,
              QStringLiteral("操作完成！\r\n您现在需要重启程序以使更改生效。下次登录时您需要导入"
                             "之前的密钥，或生成新的密钥！"));
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("提示"));
    EXPECT_EQ(dialogs_.Messages()[0].style, MsgStyle::kInformation);
    EXPECT_EQ(app_->Cipher().KeyStoreRoot, rootBefore);
    EXPECT_EQ(app_->Cipher().FirstKey, 3);

    // An existing folder, typed with blanks around it, is stored as the
    // INI reader will read it.
    const fs::path other = temp_.path() / "other store";
    fs::create_directories(other);
    dialogs_.inputAnswers = {QStringLiteral("  ") + app::test::QPath(other) + QStringLiteral(" ")};
    Click("Command1");
    EXPECT_EQ(SettingsIni(), "[set]\r\nKeyChar=" + other.string() + "\r\n");
}

TEST_F(Form2Test, TheKeysGoAlongToANewKeyStoreOnYesAndStayInTheOldOne) {
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    const fs::path oldStore = KeyFile().parent_path();
    WriteBytes(oldStore / "chat-earlier.mx", "earlier pairs\r\n");
    struct Case {
        const char* folder;
        platform::MsgResult answer;
        bool copied;
    };
    for (const Case& c : {Case{"new store", platform::MsgResult::Yes, true},
                          Case{"declined", platform::MsgResult::No, false}}) {
        SCOPED_TRACE(c.folder);
        const fs::path root = temp_.path() / c.folder;
        fs::create_directories(root);
        dialogs_.asked.clear();
        dialogs_.inputAnswers = {app::test::QPath(root)};
        dialogs_.msgAnswers = {c.answer};
        Click("Command1");
        ASSERT_EQ(dialogs_.Messages().size(), 2u);
        const Asked offer = dialogs_.Messages()[0];
        EXPECT_EQ(offer.style, MsgStyle::kYesNo | MsgStyle::kQuestion);  // Yes is the default
        EXPECT_TRUE(offer.text.contains(app::test::QPath(oldStore)));
        EXPECT_TRUE(offer.text.contains(app::test::QPath(root / "mxsw" / "encrypt")));
        const fs::path newKeys = root / "mxsw" / "encrypt" / "chat.mx";
        EXPECT_EQ(fs::exists(newKeys), c.copied);
        if (c.copied) {
            EXPECT_EQ(ReadBytes(newKeys), "3UGA4\r\n");
            EXPECT_EQ(ReadBytes(newKeys.parent_path() / "chat-earlier.mx"), "earlier pairs\r\n");
        }
        EXPECT_EQ(SettingsIni(), "[set]\r\nKeyChar=" + root.string() + "\r\n");
        EXPECT_EQ(dialogs_.Messages()[1].text.contains(QStringLiteral("密钥已复制到新位置")),
                  c.copied);
        // Never taken from the old store.
        EXPECT_EQ(ReadBytes(KeyFile()), "3UGA4\r\n");
    }

    // A store that has keys already is left as it is, without a question.
    const fs::path other = temp_.path() / "has keys";
    WriteBytes(other / "mxsw" / "encrypt" / "chat.mx", "9UGA9\r\n");
    dialogs_.asked.clear();
    dialogs_.inputAnswers = {app::test::QPath(other)};
    Click("Command1");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("提示"));
    EXPECT_EQ(ReadBytes(other / "mxsw" / "encrypt" / "chat.mx"), "9UGA9\r\n");
}

TEST_F(Form2Test, AFailedKeyCopyLeavesSettingsIniAsItWas) {
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    const std::string before = SettingsIni();
    // A plain file where the new store's mxsw folder must go.
    const fs::path root = temp_.path() / "blocked";
    WriteBytes(root / "mxsw", "not a folder");
    dialogs_.inputAnswers = {app::test::QPath(root)};
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Click("Command1");
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Errors()[0].text.contains(QStringLiteral("settings.ini 没有更改")));
    EXPECT_EQ(SettingsIni(), before);
}

TEST_F(Form2Test, CancelledOrRejectedRelocationWritesNothing) {
    ConfigureKeyStore();
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    const std::string before = SettingsIni();
    WriteBytes(temp_.path() / "a-file", "x");
    struct Case {
        std::optional<QString> answer;
        size_t errors;
    };
    const Case cases[] = {
        {std::nullopt, 0},
        {QString(), 0},
        {QStringLiteral("   "), 0},
        {QStringLiteral("7"), 1},
        {app::test::QPath(temp_.path() / "missing"), 1},
        {app::test::QPath(temp_.path() / "a-file"), 1},
        {QStringLiteral("relative/folder"), 1},
        {QStringLiteral("/") + QString(200, u'a'), 1},
        {app::test::QPath(temp_.path()) + QStringLiteral("/\U0001F600"), 1},
    };
    for (const Case& c : cases) {
        dialogs_.asked.clear();
        dialogs_.inputAnswers = {c.answer};
        Click("Command1");
        const std::string what = c.answer.value_or(QStringLiteral("<cancel>")).toStdString();
        EXPECT_EQ(SettingsIni(), before) << what;
        EXPECT_EQ(dialogs_.Messages().size(), c.errors) << what;
        EXPECT_EQ(Errors().size(), c.errors) << what;
    }
    // Drives get the letters D to Z only; keys sent to A, B or C could never
    // be found again. The message names the letters a drive can have.
    for (const char* letter : {"A", "B", "C", "c"}) {
        dialogs_.asked.clear();
        dialogs_.inputAnswers = {QString::fromLatin1(letter)};
        Click("Command1");
        EXPECT_EQ(SettingsIni(), before) << letter;
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << letter;
        ASSERT_EQ(Errors().size(), 1u) << letter;
        EXPECT_TRUE(Errors()[0].text.contains(QStringLiteral("D 到 Z"))) << letter;
        EXPECT_TRUE(Errors()[0].text.contains(QString::fromLatin1(letter))) << letter;
    }
}

TEST_F(Form2Test, FailedSettingsWriteIsReportedAndTheOldFileStays) {
    ConfigureKeyStore();
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    // A folder in the file's place cannot be replaced by a file.
    fs::remove(Folder() / "settings.ini");
    fs::create_directories(Folder() / "settings.ini" / "keep");
    dialogs_.inputAnswers = {QStringLiteral("E")};
    Click("Command1");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("settings.ini")));
    EXPECT_TRUE(fs::is_directory(Folder() / "settings.ini" / "keep"));
    for (const auto& entry : fs::directory_iterator(Folder()))  // no temporary file left
        EXPECT_EQ(entry.path().filename().string().find("settings.ini."), std::string::npos)
            << entry.path();
}

// ---- font -----------------------------------------------------------------------------

std::string DecimalSize(const char* text) {
    return QString::fromLatin1(text).replace(u'.', QLocale::system().decimalPoint()).toStdString();
}

TEST_F(Form2Test, FontAndColourGoToTheEditorAndFontIni) {
    ASSERT_NE(OpenBesideMainWindow(), nullptr);
    ASSERT_FALSE(main_.isNull());
    dialogs_.fontAnswers = {app::FontChoice{QStringLiteral("DejaVu Serif"), 10.5, true, false, 0}};
    dialogs_.colorAnswers = {255};
    Click("cmdSetFontStyle");

    EXPECT_EQ(FontIni(), "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=" + DecimalSize("10.5") +
                             "\r\nFontBold=True\r\nFontItalic=False\r\nFontColor=255\r\n");
    const QFont font = main_->txtText1->font();
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 10.5);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_EQ(main_->txtText1->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_TRUE(dialogs_.Messages().empty());

    // Viewing shows the six lines joined by line breaks.
    Click("cmdSetFontColor");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text.toStdString(),
              "[Font]\r\nFontName=DejaVu Serif\r\nFontSize=" + DecimalSize("10.5") +
                  "\r\nFontBold=True\r\nFontItalic=False\r\nFontColor=255");
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("字体信息"));
    EXPECT_EQ(dialogs_.Messages()[0].style, MsgStyle::kInformation);
}

TEST_F(Form2Test, CancelledFontDialogChangesAndWritesNothing) {
    WriteBytes(Folder() / "Font.ini", "[Font]\r\nFontName=Old\r\n");
    ASSERT_NE(OpenBesideMainWindow(), nullptr);
    const QFont before = main_->txtText1->font();
    dialogs_.fontAnswers = {std::nullopt};
    Click("cmdSetFontStyle");
    EXPECT_FALSE(AskedFor("color"));
    EXPECT_EQ(FontIni(), "[Font]\r\nFontName=Old\r\n");
    EXPECT_EQ(main_->txtText1->font(), before);
    EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(Form2Test, CancelledColourDialogKeepsTheEditorsColour) {
    // The editor is red from Font.ini; an earlier use left blue in the dialog.
    WriteBytes(Folder() / "Font.ini",
               "[Font]\r\nFontName=A\r\nFontSize=9\r\nFontBold=False\r\nFontItalic=False\r\n"
               "FontColor=255\r\n");
    ASSERT_NE(OpenBesideMainWindow(), nullptr);
    app_->CommonDialog().Color = 0xFF0000;
    dialogs_.fontAnswers = {app::FontChoice{QStringLiteral("B"), 12, false, true, 0xFF0000}};
    dialogs_.colorAnswers = {std::nullopt};
    Click("cmdSetFontStyle");
    EXPECT_TRUE(AskedFor("color"));
    EXPECT_EQ(FontIni(),
              "[Font]\r\nFontName=B\r\nFontSize=12\r\nFontBold=False\r\nFontItalic=True\r\n"
              "FontColor=255\r\n");
    EXPECT_EQ(main_->txtText1->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_TRUE(main_->txtText1->font().italic());
}

TEST_F(Form2Test, CancelledColourWhileTheMainWindowIsClosedKeepsTheStoredColour) {
    WriteBytes(Folder() / "Font.ini",
               "[Font]\r\nFontName=A\r\nFontSize=9\r\nFontBold=False\r\nFontItalic=False\r\n"
               "FontColor=32768\r\n");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    app_->CommonDialog().Color = 0xFF0000;
    dialogs_.fontAnswers = {app::FontChoice{QStringLiteral("A"), 9, true, false, 0}};
    dialogs_.colorAnswers = {std::nullopt};
    Click("cmdSetFontStyle");
    EXPECT_EQ(FontIni(),
              "[Font]\r\nFontName=A\r\nFontSize=9\r\nFontBold=True\r\nFontItalic=False\r\n"
              "FontColor=32768\r\n");

    // Back in the main window the editor shows what was stored.
    Click("cmdBack");
    ProcessEvents();
    app::Form1* main = app_->MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->txtText1->font().bold());
    EXPECT_EQ(main->txtText1->palette().color(QPalette::Text), QColor(0, 128, 0));
}

TEST_F(Form2Test, FontViewDropsLeadingBlankLinesOnlyAndNamesAMissingFile) {
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    WriteBytes(Folder() / "Font.ini", "\r\n\r\n[Font]\r\n\r\nFontName=A\r\n\r\n");
    Click("cmdSetFontColor");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("[Font]\r\n\r\nFontName=A\r\n"));

    const QString none = QString::fromUtf16(kNoFontSettingsMessage);
    for (const auto& breakIt : std::vector<std::function<void()>>{
             [&] { fs::remove(Folder() / "Font.ini"); },
             [&] { fs::create_directories(Folder() / "Font.ini"); },  // unreadable
             [&] {
                 fs::remove_all(Folder() / "Font.ini");
                 WriteBytes(Folder() / "Font.ini", "\r\n\r\n");
             }}) {
        breakIt();
        dialogs_.asked.clear();
        Click("cmdSetFontColor");
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        EXPECT_EQ(dialogs_.Messages()[0].text, none);
        EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("字体信息"));
    }
}

// ---- password and back ---------------------------------------------------------------

TEST_F(Form2Test, PasswordModeDisablesTheWindowUntilTheLoginWindowCloses) {
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    Click("cmdChange");
    QPointer<app::ForLoad> login = app_->LoginWindow();
    ASSERT_FALSE(login.isNull());
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(login->windowTitle(), QStringLiteral("口令设置"));
    EXPECT_TRUE(login->TextPass[0]->isHidden());
    EXPECT_FALSE(login->TextPass[1]->isHidden());
    EXPECT_FALSE(login->TextPass[2]->isHidden());
    EXPECT_TRUE(Find<QLabel>(login, "LblEnter")->isHidden());
    EXPECT_FALSE(Find<QLabel>(login, "LblNewPassword")->isHidden());
    EXPECT_FALSE(Find<QLabel>(login, "LblOK")->isHidden());
    EXPECT_FALSE(window_->isEnabled());

    ClickIn(login, "CommandNo");
    ProcessEvents();
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_FALSE(app_->Ended());
}

TEST_F(Form2Test, BackShowsTheMainWindowAgainWithItsStartUpWork) {
    WriteKeyFile("3UGA4");
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    // A key file changed meanwhile is what the main window's load reads.
    WriteBytes(KeyFile(), "8UGA9\r\n");
    Click("cmdBack");
    ProcessEvents();
    EXPECT_TRUE(window_.isNull() || window_->Unloaded());
    app::Form1* main = app_->MainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(app_->Cipher().FirstKey, 8);
    EXPECT_EQ(app_->Cipher().SecondKey, 9);
}

TEST_F(Form2Test, CaptionsAndTheRowOfKeyButtons) {
    ASSERT_NE(OpenFromMainWindow(), nullptr);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("青岚加密设置"));
    const struct {
        const char* name;
        const char* text;
    } buttons[] = {{"cmdBuildChar", "生成随机密钥"},    {"cmdLoadChar", "更改随机密钥"},
                   {"Command1", "给密钥挪地"},          {"cmdSetFontStyle", "设置字体样式"},
                   {"cmdSetFontColor", "查看字体设置"}, {"cmdChange", "修 改(&C)"},
                   {"cmdStrongKeys", "好友与强密钥"},   {"cmdBack", "返回主界面"}};
    for (const auto& b : buttons) {
        auto* button = Find<QPushButton>(window_, b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.text)) << b.name;
    }
    // cmdLoadChar belongs to the window, yet shows in the frame's row of key
    // buttons, between the other two.
    auto* build = Find<QPushButton>(window_, "cmdBuildChar");
    auto* load = Find<QPushButton>(window_, "cmdLoadChar");
    auto* move = Find<QPushButton>(window_, "Command1");
    EXPECT_EQ(load->parentWidget(), window_.data());
    const QPoint buildAt = build->mapTo(window_, QPoint());
    const QPoint moveAt = move->mapTo(window_, QPoint());
    EXPECT_EQ(load->y(), buildAt.y());
    EXPECT_EQ(load->y(), moveAt.y());
    EXPECT_LT(buildAt.x() + build->width(), load->x() + 2);
    EXPECT_LT(load->x() + load->width(), moveAt.x() + 2);
    EXPECT_EQ(window_->childAt(load->geometry().center()), load);
}

}  // namespace
}  // namespace velotan::windows
