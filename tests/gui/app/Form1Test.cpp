// The main window: editor, counters, encrypt, documents, start-up work.

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "app/Twips.h"
#include "app/WebSites.h"
#include "encoding/Cp936.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using platform::MsgStyle;

class Form1Test : public AppFixture {
  protected:
    Form1* Open() {
        if (!app_)
            MakeApp();
        window_ = app_->ShowMainWindow();
        return window_;
    }
    TextBox* Editor() { return Find<TextBox>(window_, "txtText1"); }
    QString Label(const char* name) { return Find<QLabel>(window_, name)->text(); }
    void Click(const char* name) {
        QPushButton* button = Find<QPushButton>(window_, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    Form1State& State() { return app_->MainState(); }

    QPointer<Form1> window_;
};

TEST_F(Form1Test, ControlsCaptionsAndLayout) {
    Form1* window = Open();
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("青岚心情加密器 - Powered By Orvan From Mirelsoftware."));
    EXPECT_EQ(window->size(), TwipsSize(11160, 6450));
    struct Button {
        const char* name;
        const char* caption;
        int top;
        int height;
    };
    const Button buttons[] = {
        {"cmdLoad", "载入文档(&O)", 240, 360},      {"cmdEncrypt", "加密文档(&E)", 600, 360},
        {"cmdSave", "保存文档(&S)", 960, 360},      {"cmdEncoding", "解码他人文件", 1320, 360},
        {"Command1", "分享心情(&F)", 1680, 375},    {"cmdClear", "清空文本(&C)", 2040, 360},
        {"cmdSettings", "多项设置(&P)", 2400, 360}, {"cmdAbout", "关于程序(&A)", 2760, 360},
        {"cmdGetHelp", "获得帮助(&H)", 3120, 360},  {"Command2", "升级程序(&U)", 3480, 375},
        {"cmdSubmit", "提出建议", 3840, 360},
    };
    for (const Button& b : buttons) {
        QPushButton* button = Find<QPushButton>(window, b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
        EXPECT_EQ(button->geometry(), TwipsRect(120, b.top, 1215, b.height)) << b.name;
    }
    auto* frame = Find<QGroupBox>(window, "FrameWork");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("文本区"));
    EXPECT_EQ(frame->geometry(), TwipsRect(1440, 120, 9615, 6255));
    EXPECT_EQ(Editor()->parentWidget(), frame);
    EXPECT_EQ(Editor()->geometry(), TwipsRect(120, 240, 9375, 5415));
    EXPECT_EQ(Editor()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计："));
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）："));
    auto* timer = window->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 60000);
    EXPECT_TRUE(timer->isActive());
}

TEST_F(Form1Test, CountAndTypingSpeed) {
    Open();
    QTest::keyClicks(Editor(), QStringLiteral("ab"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    QTest::keyClicks(Editor(), QStringLiteral("c"));
    // The line break counts as CR and LF.
    EXPECT_EQ(Editor()->Text(), QStringLiteral("ab\r\nc"));
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：5"));

    // The first tick shows the whole length.
    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：5"));
    QTest::keyClicks(Editor(), QStringLiteral("defghij"));
    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：7"));
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(Editor(), Qt::Key_Backspace);
    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：-7"));
    EXPECT_EQ(Label("SkiW"), QStringLiteral("字数统计：5"));
    window_->Timer1_Timer();
    EXPECT_EQ(Label("lblV"), QStringLiteral("输入速度（个/min）：0"));
}

TEST_F(Form1Test, EncryptSaveLoadBringsTheTextBack) {
    WriteKeyFile("7UGA3");
    Open();
    EXPECT_EQ(app_->Cipher().FirstKey, 7);
    EXPECT_EQ(app_->Cipher().SecondKey, 3);
    const QString typed =
        QStringLiteral("今天天气很好，我们去公园。\r\n他说：“真的吗？”（是的！）");
    Editor()->SetText(typed);
    Click("cmdEncrypt");
    EXPECT_TRUE(dialogs_.asked.empty());
    // The editor shows the text as typed; the cipher saw placeholders and "F".
    EXPECT_EQ(Editor()->Text(), typed);
    EXPECT_EQ(State().SavedEditorText, typed.toStdU16String());
    EXPECT_EQ(State().ArticleContent.back(), u'F');
    EXPECT_NE(State().ArticleContent.find(u"{$02,$03}"), std::u16string::npos);
    const std::u16string cipherText = app_->Cipher().ResultText;
    const std::u16string codeTable = app_->Cipher().CodeTable;
    ASSERT_FALSE(cipherText.empty());

    const fs::path document = temp_.path() / "notes" / "diary.mxe";
    fs::create_directories(document.parent_path());
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdSave");
    ASSERT_EQ(dialogs_.asked.size(), 1u);
    const Asked& save = dialogs_.asked[0];
    EXPECT_EQ(save.kind, "save");
    EXPECT_EQ(
        save.file.title,
        QStringLiteral("保存加密文件 - 青岚心情加密器 - Powered By Orvan From Mirelsoftware."));
    EXPECT_EQ(save.file.filter, QStringLiteral("青岚加密文件(*.mxe)|*.mxe"));
    EXPECT_EQ(save.file.initialFolder, QPath(Folder()));
    EXPECT_EQ(ReadBytes(document), encoding::ToCp936(cipherText) + "\r\n");
    EXPECT_EQ(ReadBytes(temp_.path() / "notes" / "diary.mxr"),
              encoding::ToCp936(codeTable) + "\r\n");
    EXPECT_EQ(State().ArticleTitle, u"diary.mxe");
    EXPECT_EQ(State().ArticlePath, QPath(document).toStdU16String());
    // Saving leaves the caption alone.
    EXPECT_EQ(Find<QGroupBox>(window_, "FrameWork")->title(), QStringLiteral("文本区"));

    Click("cmdClear");
    EXPECT_EQ(Editor()->Text(), QString());
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_EQ(dialogs_.asked.back().kind, "open");
    EXPECT_EQ(dialogs_.asked.back().file.filter, QStringLiteral("青岚加密文件(*.mxe)|*.mxe"));
    EXPECT_EQ(Editor()->Text(), typed);
    EXPECT_EQ(Find<QGroupBox>(window_, "FrameWork")->title(),
              QStringLiteral("文本区 当前编辑《diary.mxe》"));
    EXPECT_EQ(State().ArticleContent, cipherText);
    EXPECT_EQ(State().RndNumList, codeTable);
    EXPECT_EQ(dialogs_.Messages().size(), 0u);

    // The clear command resets only the caption and the editor.
    Click("cmdClear");
    EXPECT_EQ(Find<QGroupBox>(window_, "FrameWork")->title(), QStringLiteral("文本区"));
    EXPECT_EQ(State().ArticleTitle, u"diary.mxe");
    EXPECT_EQ(State().ArticleContent, cipherText);
    EXPECT_EQ(app_->Cipher().CodeTable, codeTable);
}

TEST_F(Form1Test, SaveWritesOnlyAnEncryptionResult) {
    WriteKeyFile("5UGA11");
    Open();
    const fs::path document = temp_.path() / "a.mxe";
    // Nothing encrypted yet.
    Click("cmdSave");
    ASSERT_EQ(dialogs_.asked.size(), 1u);
    EXPECT_EQ(dialogs_.asked[0].kind, "msgbox");
    EXPECT_EQ(dialogs_.asked[0].text,
              QStringLiteral("没有可保存的加密结果，请先加密文本后再保存！"));
    EXPECT_EQ(dialogs_.asked[0].title, QStringLiteral("错误"));
    EXPECT_FALSE(fs::exists(document));

    Editor()->SetText(QStringLiteral("秘密"));
    Click("cmdEncrypt");
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdSave");
    const std::string savedCipher = ReadBytes(document);
    const std::string savedTable = ReadBytes(temp_.path() / "a.mxr");

    // After a load ResultText holds the plain text: saving it would put the
    // secret in the clear into an "encrypted" file.
    dialogs_.asked.clear();
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_EQ(Editor()->Text(), QStringLiteral("秘密"));
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdSave");
    ASSERT_EQ(dialogs_.asked.size(), 2u);
    EXPECT_EQ(dialogs_.asked[1].kind, "msgbox");
    EXPECT_EQ(dialogs_.asked[1].title, QStringLiteral("错误"));
    EXPECT_EQ(ReadBytes(document), savedCipher);
    EXPECT_EQ(ReadBytes(temp_.path() / "a.mxr"), savedTable);

    // Encrypting again makes a result to save.
    Click("cmdEncrypt");
    dialogs_.fileAnswers = {QPath(temp_.path() / "b.mxe")};
    Click("cmdSave");
    EXPECT_TRUE(fs::exists(temp_.path() / "b.mxe"));
    EXPECT_TRUE(fs::exists(temp_.path() / "b.mxr"));
}

TEST_F(Form1Test, EncryptRefusesWithoutKeysAndForOverlongText) {
    // No key store: the keys are 0.
    Open();
    ASSERT_EQ(app_->Cipher().FirstKey, 0);
    Editor()->SetText(QStringLiteral("hello"));
    Click("cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text,
              QStringLiteral("尚未生成或导入密钥，无法加密！请先在“多项设置”中生成或导入密钥。"));
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_EQ(dialogs_.Messages()[0].style & platform::kIconMask, MsgStyle::kCritical);
    EXPECT_EQ(Editor()->Text(), QStringLiteral("hello"));
    EXPECT_TRUE(app_->Cipher().ResultText.empty());

    // Keys from a key file, as a stick plugged in later gives them.
    WriteKeyFile("3UGA4");
    ASSERT_EQ(app_->Cipher().LoadKeys(QPath(Store()).toStdU16String()), cipher::LoadResult::Loaded);
    // With the sentinel this is one element too many for the format.
    const QString tooLong(32767, u'a');
    Editor()->SetText(tooLong);
    Click("cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[1].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[1].text.startsWith(QStringLiteral("文本过长，无法加密！")));
    // The limit the message names is the longest text that does encrypt.
    EXPECT_TRUE(dialogs_.Messages()[1].text.contains(QStringLiteral("不能超过 32766 个字符")));
    EXPECT_EQ(Editor()->Text(), tooLong);
    EXPECT_TRUE(app_->Cipher().ResultText.empty());

    Editor()->SetText(QString(32766, u'a'));
    Click("cmdEncrypt");
    EXPECT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_FALSE(app_->Cipher().ResultText.empty());
}

TEST_F(Form1Test, EmptyEditorEncryptsTheSentinelAlone) {
    WriteKeyFile("2UGA9");
    Open();
    Click("cmdEncrypt");
    EXPECT_EQ(State().ArticleContent, u"F");
    EXPECT_EQ(Editor()->Text(), QString());
    EXPECT_EQ(app_->Cipher().ResultText.find(u"UUA"), std::u16string::npos);
    EXPECT_FALSE(app_->Cipher().ResultText.empty());
}

TEST_F(Form1Test, UnreadableOrUnwritableDocumentsLeaveTheStateAlone) {
    WriteKeyFile("7UGA3");
    Open();
    State().ArticleTitle = u"old.mxe";
    State().ArticlePath = u"/somewhere/old.mxe";
    State().ArticleContent = u"content";
    State().RndNumList = u"table";
    Editor()->SetText(QStringLiteral("keep me"));

    // A document without its companion.
    const fs::path lonely = temp_.path() / "lonely.mxe";
    WriteBytes(lonely, "~~UUA~~\r\n");
    dialogs_.fileAnswers = {QPath(lonely)};
    Click("cmdLoad");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("lonely.mxe")));
    EXPECT_EQ(State().ArticleTitle, u"old.mxe");
    EXPECT_EQ(State().ArticlePath, u"/somewhere/old.mxe");
    EXPECT_EQ(State().ArticleContent, u"content");
    EXPECT_EQ(State().RndNumList, u"table");
    EXPECT_EQ(Editor()->Text(), QStringLiteral("keep me"));
    EXPECT_EQ(Find<QGroupBox>(window_, "FrameWork")->title(), QStringLiteral("文本区"));

    // Saving into a folder that does not exist.
    Click("cmdEncrypt");
    const auto cipherBefore = app_->Cipher().ResultText;
    dialogs_.fileAnswers = {QPath(temp_.path() / "missing" / "x.mxe")};
    Click("cmdSave");
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(dialogs_.Messages()[1].title, QStringLiteral("错误"));
    EXPECT_EQ(State().ArticleTitle, u"old.mxe");
    EXPECT_EQ(app_->Cipher().ResultText, cipherBefore);

    // Cancelling the open dialog: no message, the names are emptied.
    dialogs_.fileAnswers = {QString()};
    Click("cmdLoad");
    EXPECT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_TRUE(State().ArticleTitle.empty());
    EXPECT_TRUE(State().ArticlePath.empty());
    EXPECT_TRUE(State().ArticleContent.empty());
    EXPECT_EQ(Editor()->Text(), QStringLiteral("keep me"));
}

TEST_F(Form1Test, FirstRunKeysGoToTheConfiguredStore) {
    ConfigureKeyStore();
    WriteBytes(Folder() / "first", "");
    Open();
    // KeyChar was read before the keys were made, so they are in the store.
    ASSERT_TRUE(fs::exists(KeyFile()));
    EXPECT_FALSE(fs::exists(Folder() / "first"));
    EXPECT_EQ(State().USBNAME, QPath(Store()).toStdU16String());
    const int16_t first = app_->Cipher().FirstKey;
    const int16_t second = app_->Cipher().SecondKey;
    EXPECT_GE(first, 1);
    EXPECT_LE(first, 39);
    EXPECT_EQ(ReadBytes(KeyFile()),
              std::to_string(first) + "UGA" + std::to_string(second) + "\r\n");
    EXPECT_TRUE(dialogs_.asked.empty());

    // Coming back to the main window does not make new keys.
    const std::string keyLine = ReadBytes(KeyFile());
    window_->close();
    ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    Open();
    EXPECT_EQ(ReadBytes(KeyFile()), keyLine);
}

TEST_F(Form1Test, FirstStartWithoutAStickKeepsTheKeysInTheDataFolderOnYes) {
    // No stick, no KeyChar: the common case on a desktop.
    WriteBytes(Folder() / "first", "");
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Open();
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked question = dialogs_.Messages()[0];
    // A portable folder: the program's own folder, named.
    EXPECT_EQ(
        question.text,
        QStringLiteral("没有找到U盘等可移动磁盘。\r\n是否把密钥保存在程序所在的文件夹中？\r\n") +
            QPath(Folder()));
    EXPECT_EQ(question.title, QStringLiteral("提示"));
    // Yes and No, Yes the default (the first button of the set).
    EXPECT_EQ(question.style & platform::kButtonMask, MsgStyle::kYesNo);
    EXPECT_EQ(question.style & platform::kIconMask, MsgStyle::kQuestion);

    // Named relatively, so that the keys go with the folder.
    EXPECT_EQ(ReadBytes(Folder() / "settings.ini"), "[set]\r\nKeyChar=.\\\r\n");
    const fs::path keyFile = Folder() / "mxsw" / "encrypt" / "chat.mx";
    ASSERT_TRUE(fs::exists(keyFile));
    EXPECT_EQ(fs::status(keyFile).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(Folder() / "first"));
    EXPECT_TRUE(app_->Cipher().KeysStored());
    EXPECT_EQ(State().USBNAME, u".\\");

    // Encrypt, save, start again, load: the mood comes back.
    const QString mood = QStringLiteral("今天下雨，心情还好。");
    Editor()->SetText(mood);
    Click("cmdEncrypt");
    const fs::path document = temp_.path() / "mood.mxe";
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdSave");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    app_.reset();
    ProcessEvents();
    Open();
    EXPECT_EQ(dialogs_.Messages().size(), 1u);  // nothing asked at the next start
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_EQ(Editor()->Text(), mood);
}

TEST_F(Form1Test, KeysKeptNowhereNeitherEncryptNorSave) {
    WriteBytes(Folder() / "first", "");
    dialogs_.msgAnswers = {platform::MsgResult::No};
    Open();
    // No: the keys serve this run only, and the message names the real
    // settings.ini on its second line.
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_EQ(
        dialogs_.Messages()[1].text,
        QStringLiteral("路径设置失败，请到安装目录下，重新设置settings.ini文件中的KeyChar项\r\n") +
            QPath(Folder() / "settings.ini"));
    EXPECT_TRUE(fs::exists(Folder() / "first"));
    EXPECT_FALSE(fs::exists(Folder() / "settings.ini"));
    ASSERT_NE(app_->Cipher().FirstKey, 0);

    const QString howTo = QStringLiteral(
        "\r\n请插入U盘等可移动磁盘，然后在“多项设置”中点“生成随机密钥”；"
        "或在“多项设置”中用“给密钥挪地”指定存放密钥的文件夹，然后重新启动本程序。");
    Editor()->SetText(QStringLiteral("hello"));
    Click("cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 3u);
    EXPECT_EQ(dialogs_.Messages()[2].text,
              QStringLiteral("当前的密钥没有保存在任何地方，程序关闭后就会丢失，"
                             "用它加密的文本将永远无法解密，因此不能加密或保存。") +
                  howTo);
    EXPECT_EQ(dialogs_.Messages()[2].title, QStringLiteral("错误"));
    EXPECT_TRUE(app_->Cipher().ResultText.empty());
    EXPECT_EQ(Editor()->Text(), QStringLiteral("hello"));

    // A cipher text made while the keys were kept is not saved once the
    // keys in force are kept nowhere.
    WriteKeyFile("3UGA4");
    ASSERT_EQ(app_->Cipher().LoadKeys(QPath(Store()).toStdU16String()), cipher::LoadResult::Loaded);
    Click("cmdEncrypt");
    ASSERT_FALSE(app_->Cipher().ResultText.empty());
    app_->Cipher().KeyStoreRoot.clear();
    ASSERT_FALSE(app_->Cipher().BuildKeys(u""));
    dialogs_.asked.clear();
    Click("cmdSave");
    ASSERT_EQ(dialogs_.asked.size(), 1u);  // no save dialog
    EXPECT_TRUE(dialogs_.asked[0].text.startsWith(QStringLiteral("当前的密钥没有保存在任何地方")));
}

TEST_F(Form1Test, LoadingWithoutKeysIsRefused) {
    Open();
    ASSERT_EQ(app_->Cipher().FirstKey, 0);
    Editor()->SetText(QStringLiteral("typed"));
    Click("cmdLoad");
    ASSERT_EQ(dialogs_.asked.size(), 1u);  // no open dialog
    EXPECT_EQ(dialogs_.asked[0].text,
              QStringLiteral("尚未生成或导入密钥，无法解密文档！\r\n"
                             "请插入U盘等可移动磁盘，然后在“多项设置”中点“生成随机密钥”；"
                             "或在“多项设置”中用“给密钥挪地”指定存放密钥的文件夹，"
                             "然后重新启动本程序。"));
    EXPECT_EQ(dialogs_.asked[0].title, QStringLiteral("错误"));
    EXPECT_EQ(Editor()->Text(), QStringLiteral("typed"));
}

TEST_F(Form1Test, CharactersTheCodePageCannotCarryAreEncryptedOnlyOnYes) {
    WriteKeyFile("12UGA7");
    Open();
    Editor()->SetText(QStringLiteral("开心😀，再开心😀"));
    dialogs_.msgAnswers = {platform::MsgResult::No};
    Click("cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked question = dialogs_.Messages()[0];
    EXPECT_EQ(question.text, QStringLiteral("文本中有本程序无法加密的字符：\r\n😀\r\n"
                                            "加密后它们将变成“?”，收到的人看不到它们。\r\n"
                                            "是否继续加密？"));
    EXPECT_EQ(question.style & platform::kButtonMask, MsgStyle::kYesNo);
    EXPECT_EQ(question.title, QStringLiteral("请确认！"));
    // No changes nothing.
    EXPECT_TRUE(app_->Cipher().ResultText.empty());
    EXPECT_TRUE(State().ArticleContent.empty());
    EXPECT_EQ(Editor()->Text(), QStringLiteral("开心😀，再开心😀"));

    // At most ten are listed, then "等".
    QString many = QStringLiteral("€");
    for (char16_t c = 0xAC00; c < 0xAC00 + 11; ++c)
        many += QChar(c);
    Editor()->SetText(many);
    Click("cmdEncrypt");
    ASSERT_EQ(dialogs_.Messages().size(), 2u);
    EXPECT_TRUE(
        dialogs_.Messages()[1].text.contains(QStringLiteral("€ 가 각 갂 갃 간 갅 갆 갇 갈 等\r\n")))
        << dialogs_.Messages()[1].text.toStdString();

    // Yes encrypts, each unit of the emoji as "?".
    Editor()->SetText(QStringLiteral("开心😀"));
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Click("cmdEncrypt");
    ASSERT_FALSE(app_->Cipher().ResultText.empty());
    EXPECT_EQ(Editor()->Text(), QStringLiteral("开心😀"));
    app_->Cipher().DecryptText(app_->Cipher().ResultText, app_->Cipher().CodeTable);
    EXPECT_EQ(app_->Cipher().ResultText, u"开心??");
}

TEST_F(Form1Test, KeyStoreRootSurvivesAnEmptiedKeyChar) {
    WriteKeyFile("7UGA3");
    Open();
    const std::u16string root = QPath(Store()).toStdU16String();
    EXPECT_EQ(State().USBNAME, root);
    WriteBytes(Folder() / "settings.ini", "[set]\r\nKeyChar=\r\n");
    // Reopened before the closed window is even deleted: a new window, and
    // the start-up work runs again.
    Form1* closed = window_;
    window_->close();
    app_->Cipher().FirstKey = 0;
    Open();
    EXPECT_NE(window_.data(), closed);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(State().USBNAME, root);
    EXPECT_EQ(app_->Cipher().FirstKey, 7);
}

TEST_F(Form1Test, WebCommandsOpenTheMakersPages) {
    MakeApp();
    std::vector<std::string> opened;
    app_->SetUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    Open();
    Click("cmdGetHelp");
    Click("cmdSubmit");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], std::string(kMakerSite) + "/index.php");
    EXPECT_EQ(opened[1], std::string(kMakerSite) + "/tousu");
    EXPECT_TRUE(dialogs_.asked.empty());

    app_->SetUrlOpener([](const std::string&) { return false; });
    Click("cmdGetHelp");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
}

TEST_F(Form1Test, LaterWindowsOpenBesideOrInsteadOfTheMainWindow) {
    MakeApp();
    QWidget settings;
    QWidget about;
    app_->SetWindowOpener(AppWindow::Settings, [&](App&) {
        settings.show();
        return &settings;
    });
    app_->SetWindowOpener(AppWindow::About, [&](App&) {
        about.show();
        return &about;
    });
    Open();
    // Not provided yet: nothing happens.
    Click("cmdEncoding");
    EXPECT_TRUE(window_->isVisible());
    Click("cmdAbout");
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(window_->isVisible());
    Click("cmdSettings");
    ProcessEvents();
    EXPECT_TRUE(settings.isVisible());
    EXPECT_TRUE(window_.isNull());
}

}  // namespace
}  // namespace velotan::app::test
