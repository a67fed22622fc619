// The share window: what is shared, the addresses the buttons open, the
// label that shows it, copying it and its QR code.

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTextDocument>
#include <QUrl>

#include "WindowsFixture.h"
#include "app/Twips.h"
#include "cipher/ShareAddress.h"
#include "common/QrReader.h"
#include "encoding/Cp936.h"
#include "qrcode/QrCode.h"
#include "strong/StrongPost.h"
#include "windows/Form4.h"
#include "windows/QrCodeView.h"

namespace velotan::windows::test {
namespace {

namespace fs = std::filesystem;
using app::TwipsRect;
using app::test::Asked;
using platform::MsgStyle;

class Form4Test : public WindowsFixture {
  protected:
    Form4* Open() {
        Main();
        Click(main_, "Command1");
        window_ = OpenWindow<Form4>("Form4");
        return window_;
    }
    QString Shown() { return window_->lblToShare->toPlainText(); }
    // Every network button, in order; returns the addresses they opened.
    std::vector<std::string> ShareEverywhere() {
        urls_.clear();
        for (const char* name : {"Command1", "Command2", "Command3", "Command4"})
            Click(window_, name);
        return urls_;
    }
    static std::vector<std::string> Endpoints() {
        return {"https://v.t.qq.com/share/share.php?title=",
                "https://service.weibo.com/share/share.php?title=",
                "https://t.ifeng.com/interface.php?_c=share&_a=share&title=",
                "https://sns.qzone.qq.com/cgi-bin/qzshare/cgi_qzshare_onekey?title="};
    }

    // What a reader gets from the code the window shows, drawn at `ratio`.
    std::optional<std::string> ReadShownCode(qreal ratio) {
        const QImage picture = window_->picQrCode->Picture(ratio);
        if (picture.isNull())
            return std::nullopt;
        const fs::path file = temp_.path() / "shown.png";
        EXPECT_TRUE(picture.save(QPath(file), "PNG"));
        return velotan::testing::ReadQrCode(file);
    }
    std::string ShareUtf8() { return encoding::Utf16ToUtf8(window_->ShareText()); }

    QPointer<Form4> window_;
};

TEST_F(Form4Test, ControlsCaptionsAndLayout) {
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    Form4* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("分享心情"));
    EXPECT_EQ(Find<QLabel>(window, "SkinLabel1")->text(),
              QStringLiteral("这是您即将要分享的心情："));
    EXPECT_EQ(Find<QLabel>(window, "SkinLabel1")->geometry(), TwipsRect(120, 120, 5415, 255));
    auto* frame = Find<QGroupBox>(window, "Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("分享到这些地方"));
    EXPECT_EQ(frame->geometry(), TwipsRect(120, 840, 5415, 855));
    const char* captions[] = {"腾讯微博", "新浪微博", "凤凰微博", "QQ空间"};
    const int lefts[] = {120, 1440, 2760, 4080};
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = "Command" + QByteArray::number(i + 1);
        auto* button = Find<QPushButton>(window, name.constData());
        ASSERT_NE(button, nullptr) << i;
        EXPECT_EQ(button->parentWidget(), frame);
        EXPECT_EQ(button->text(), QString::fromUtf8(captions[i]));
        EXPECT_EQ(button->geometry(), TwipsRect(lefts[i], 360, 1215, 375));
    }
    auto* back = Find<QPushButton>(window, "Command5");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), QStringLiteral("返 回"));
    EXPECT_EQ(back->geometry(), TwipsRect(4560, 1800, 975, 375));
    // The label lies between its heading and the frame.
    const QRect label = window->lblToShare->geometry();
    EXPECT_EQ(label.left(), TwipsRect(120, 360, 5415, 375).left());
    EXPECT_EQ(label.top(), TwipsRect(120, 360, 5415, 375).top());
    EXPECT_EQ(label.width(), TwipsRect(120, 360, 5415, 375).width());
    EXPECT_LT(label.bottom(), frame->geometry().top());
    EXPECT_TRUE(window->lblToShare->isReadOnly());
}

TEST_F(Form4Test, AfterAnEncryptionTheCipherTextAndCodeTableAreShared) {
    WriteKeyFile("12UGA200");
    Main();
    // A mood that names the user's own key line: if anything unencrypted
    // went out beside the cipher text, the keys would go with it.
    Editor()->SetText(QStringLiteral("今天很好，明天也好。钥匙：12UGA200"));
    Click(main_, "cmdEncrypt");
    const std::u16string cipherText = app_->Cipher().ResultText;
    const std::u16string codeTable = app_->Cipher().CodeTable;
    ASSERT_FALSE(cipherText.empty());
    ASSERT_TRUE(Open());
    const std::u16string expected = u"心情：" + cipherText + u"解密钥匙：" + codeTable;
    EXPECT_EQ(window_->ShareText(), expected);
    EXPECT_EQ(Shown(), QString::fromStdU16String(expected));
    EXPECT_TRUE(dialogs_.asked.empty());
    // The keys are never part of it: past its two headings the share text
    // holds digit symbols and separators only, never a digit, so no key line.
    const std::u16string& shared = window_->ShareText();
    EXPECT_EQ(shared.find(u"12UGA200"), std::u16string::npos);
    std::u16string body = shared;
    for (const std::u16string heading : {u"心情：", u"解密钥匙："})
        body.erase(body.find(heading), heading.size());
    EXPECT_EQ(body.find_first_not_of(u"~!@}$%^{*|UGA"), std::u16string::npos);

    const auto urls = ShareEverywhere();
    ASSERT_EQ(urls.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const std::string& url = urls[i];
        ASSERT_EQ(url.rfind(Endpoints()[i], 0), 0u) << url;
        const std::string query = url.substr(Endpoints()[i].size());
        // The cipher text's "%", "^", "{", "|" and the rest are all escaped:
        // nothing in the value can end or corrupt the query.
        EXPECT_EQ(query.find_first_of("#&?=^{}|!@$*"), std::string::npos) << query;
        EXPECT_EQ(QUrl::fromPercentEncoding(QByteArray::fromStdString(query)),
                  QString::fromStdU16String(expected));
        const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
        EXPECT_TRUE(parsed.isValid()) << url;
    }
    // Sharing keeps the window open for the next network.
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(Form4Test, TheAddressEscapesReservedCharactersAndChinese) {
    Main();
    Editor()->SetText(QStringLiteral("a&b%c#d^e 今天+/~x.y_z-"));
    ASSERT_TRUE(Open());
    const auto urls = ShareEverywhere();
    const std::string title = "a%26b%25c%23d%5Ee%20%E4%BB%8A%E5%A4%A9%2B%2F~x.y_z-";
    ASSERT_EQ(urls.size(), 4u);
    EXPECT_EQ(urls[0], "https://v.t.qq.com/share/share.php?title=" + title);
    EXPECT_EQ(urls[1], "https://service.weibo.com/share/share.php?title=" + title);
    EXPECT_EQ(urls[2], "https://t.ifeng.com/interface.php?_c=share&_a=share&title=" + title);
    EXPECT_EQ(urls[3],
              "https://sns.qzone.qq.com/cgi-bin/qzshare/cgi_qzshare_onekey?title=" + title);
}

TEST_F(Form4Test, WithNothingEncryptedTheEditorTextIsSharedUnchanged) {
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    ASSERT_TRUE(Open());
    EXPECT_EQ(window_->ShareText(), u"今天很好");
    EXPECT_EQ(Shown(), QStringLiteral("今天很好"));
    EXPECT_TRUE(dialogs_.asked.empty());
    // A line break travels as CR LF, as the editor speaks it.
    Click(window_, "Command5");
    ProcessEvents();
    Editor()->SetText(QStringLiteral("第一行\n第二行"));
    ASSERT_TRUE(Open());
    EXPECT_EQ(window_->ShareText(), u"第一行\r\n第二行");
    EXPECT_EQ(Shown(), QStringLiteral("第一行\n第二行"));
    ShareEverywhere();
    EXPECT_NE(urls_.at(0).find("%0D%0A"), std::string::npos);
}

TEST_F(Form4Test, AfterLoadingADocumentNoPlainTextIsPostedAsIfEncrypted) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("存档的心情"));
    Click(main_, "cmdEncrypt");
    const std::u16string codeTable = app_->Cipher().CodeTable;
    const fs::path document = temp_.path() / "mood.mxe";
    dialogs_.fileAnswers = {QPath(document)};
    Click(main_, "cmdSave");
    ASSERT_TRUE(fs::exists(document));
    Click(main_, "cmdClear");
    dialogs_.fileAnswers = {QPath(document)};
    Click(main_, "cmdLoad");
    ASSERT_EQ(app_->Cipher().ResultText, u"存档的心情");
    ASSERT_EQ(app_->Cipher().CodeTable, codeTable);
    dialogs_.asked.clear();

    ASSERT_TRUE(Open());
    // The plain text is what the editor shows, and it goes out as that: with
    // no code table beside it, as nobody's cipher text.
    EXPECT_EQ(window_->ShareText(), u"存档的心情");
    EXPECT_EQ(window_->ShareText().find(u"解密钥匙："), std::u16string::npos);
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(Form4Test, NothingToShareSaysSoAndTheWindowOpensAllTheSame) {
    Main();
    dialogs_.onMessage = [&](const Asked&) {
        // The message comes while the window loads.
        EXPECT_EQ(OpenWindow<Form4>("Form4"), nullptr);
    };
    ASSERT_TRUE(Open());
    dialogs_.onMessage = nullptr;
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked asked = dialogs_.Messages()[0];
    EXPECT_EQ(asked.text, QStringLiteral("没有心情可供分享，请确认！"));
    EXPECT_EQ(asked.title, QStringLiteral("请确认！"));
    EXPECT_EQ(asked.style, MsgStyle::kOkOnly);
    EXPECT_TRUE(window_->ShareText().empty());
    EXPECT_TRUE(Shown().isEmpty());
    const auto urls = ShareEverywhere();
    ASSERT_EQ(urls.size(), 4u);
    EXPECT_EQ(urls[0], Endpoints()[0]);
}

TEST_F(Form4Test, ALongShareTextWrapsInsideTheLabelAndCanBeCopied) {
    Main();
    // A cipher-like text without a single space.
    const QString text = QString(4000, QLatin1Char('|'));
    Editor()->SetText(text);
    ASSERT_TRUE(Open());
    window_->show();
    ProcessEvents();
    const QSize windowSize = window_->size();
    const QRect labelGeometry = window_->lblToShare->geometry();
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_EQ(Shown(), text);
    EXPECT_GT(window_->lblToShare->document()->lineCount(), 1);
    window_->lblToShare->selectAll();
    EXPECT_EQ(window_->lblToShare->textCursor().selectedText(), text);
    EXPECT_TRUE(window_->lblToShare->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(window_->size(), windowSize);
    EXPECT_EQ(window_->lblToShare->geometry(), labelGeometry);
}

TEST_F(Form4Test, ABrowserThatCannotBeStartedIsReported) {
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    ASSERT_TRUE(Open());
    openUrls_ = false;
    Click(window_, "Command2");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("新浪微博")));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(Form4Test, TheShareTextIsComposedWhenTheWindowOpens) {
    Main();
    Editor()->SetText(QStringLiteral("第一次"));
    ASSERT_TRUE(Open());
    Editor()->SetText(QStringLiteral("第二次"));
    EXPECT_EQ(window_->ShareText(), u"第一次");
    Click(window_, "Command5");
    ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    ASSERT_TRUE(Open());
    EXPECT_EQ(window_->ShareText(), u"第二次");
}

TEST_F(Form4Test, TheWaysToShareAnywhereSitBelowTheDesignedControls) {
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    ASSERT_TRUE(Open());
    auto* frame = Find<QGroupBox>(window_, "Frame2");
    ASSERT_NE(frame, nullptr);
    EXPECT_GT(frame->geometry().top(), Find<QPushButton>(window_, "Command5")->geometry().bottom());
    EXPECT_LE(frame->geometry().bottom(), window_->height());
    auto* copy = Find<QPushButton>(window_, "cmdCopy");
    auto* save = Find<QPushButton>(window_, "cmdSaveQrCode");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(copy->text(), QStringLiteral("复制"));
    EXPECT_EQ(save->text(), QStringLiteral("保存二维码"));
    EXPECT_EQ(Find<QWidget>(window_, "picQrCode"), window_->picQrCode);
    EXPECT_EQ(window_->picQrCode->parentWidget(), frame);
    EXPECT_EQ(window_->picQrCode->width(), window_->picQrCode->height());
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(Form4Test, CopyPutsExactlyTheSharedTextOnTheClipboardQuietly) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("今天很好，明天也好。"));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    Click(window_, "cmdCopy");
    const QString expected = QString::fromStdU16String(u"心情：" + app_->Cipher().ResultText +
                                                       u"解密钥匙：" + app_->Cipher().CodeTable);
    EXPECT_EQ(clipboard->text(), expected);
    if (clipboard->supportsSelection()) {
        EXPECT_EQ(clipboard->text(QClipboard::Selection), expected);
    }
    EXPECT_EQ(window_->lblStatus->text(), QStringLiteral("已复制到剪贴板"));
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_TRUE(urls_.empty());

    // The editor's own words go as the buttons post them: line breaks as CR LF.
    Click(window_, "Command5");
    ProcessEvents();
    app_->Cipher().ResultText.clear();
    Editor()->SetText(QStringLiteral("第一行\n第二行"));
    ASSERT_TRUE(Open());
    EXPECT_TRUE(window_->lblStatus->text().isEmpty());
    Click(window_, "cmdCopy");
    EXPECT_EQ(clipboard->text(), QStringLiteral("第一行\r\n第二行"));
    ShareEverywhere();
    EXPECT_NE(urls_.at(1).find(PercentEncode(clipboard->text().toStdString())), std::string::npos);
}

TEST_F(Form4Test, WithNothingToShareThereIsNothingToCopyOrSave) {
    Main();
    ASSERT_TRUE(Open());
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    EXPECT_FALSE(Find<QPushButton>(window_, "cmdCopy")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(window_, "cmdSaveQrCode")->isEnabled());
    window_->cmdCopy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    EXPECT_FALSE(window_->picQrCode->HasCode());
    EXPECT_FALSE(window_->picQrCode->Note().isEmpty());
}

TEST_F(Form4Test, TheCodeShownReadsAsTheShareTextAtOneAndTwoDevicePixelsPerPixel) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("今天下了一场小雨，青石板路湿漉漉的。"));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    ASSERT_TRUE(window_->picQrCode->HasCode());
    EXPECT_EQ(ReadShownCode(1), ShareUtf8());
    EXPECT_EQ(ReadShownCode(2), ShareUtf8());

    // Whole device pixels per module, with the quiet zone: the picture is a
    // whole multiple of the modules, and twice the density gets at least
    // twice the pixels per module.
    const int modules = window_->picQrCode->Code().width + 2 * qrcode::kQuietZoneModules;
    const QImage one = window_->picQrCode->Picture(1);
    const QImage two = window_->picQrCode->Picture(2);
    ASSERT_EQ(one.width() % modules, 0);
    ASSERT_EQ(two.width() % modules, 0);
    EXPECT_GE(one.width() / modules, 1);
    EXPECT_GE(two.width() / modules, 2 * (one.width() / modules));
    EXPECT_LE(one.width(), window_->picQrCode->width());
    EXPECT_LE(two.width(), 2 * window_->picQrCode->width());
    EXPECT_EQ(two.devicePixelRatio(), 2);

    // What is on the screen reads too.
    window_->show();
    ProcessEvents();
    const fs::path grabbed = temp_.path() / "grabbed.png";
    ASSERT_TRUE(window_->picQrCode->grab().save(QPath(grabbed), "PNG"));
    EXPECT_EQ(velotan::testing::ReadQrCode(grabbed), ShareUtf8());
}

TEST_F(Form4Test, PlainAsciiTextGetsItsCodeToo) {
    Main();
    Editor()->SetText(QStringLiteral("Rainy day, 100% fine & calm."));
    ASSERT_TRUE(Open());
    EXPECT_EQ(ReadShownCode(1), "Rainy day, 100% fine & calm.");
}

TEST_F(Form4Test, ATextTooLongForACodeShowsTheLimitInsteadOfACode) {
    Main();
    // Just at the capacity: a code.
    Editor()->SetText(QString(int(qrcode::kMaxQrBytes), QLatin1Char('~')));
    ASSERT_TRUE(Open());
    ASSERT_TRUE(window_->picQrCode->HasCode());
    EXPECT_TRUE(window_->picQrCode->Note().isEmpty());
    EXPECT_EQ(ReadShownCode(2), ShareUtf8());
    Click(window_, "Command5");
    ProcessEvents();

    // One byte more: no code, and a note that gives the limit.
    Editor()->SetText(QString(int(qrcode::kMaxQrBytes) - 2, QLatin1Char('~')) +
                      QStringLiteral("情"));
    ASSERT_TRUE(Open());
    EXPECT_FALSE(window_->picQrCode->HasCode());
    EXPECT_TRUE(window_->picQrCode->Picture(1).isNull());
    const QString note = window_->picQrCode->Note();
    EXPECT_TRUE(note.contains(QStringLiteral("2331"))) << note.toStdString();
    EXPECT_TRUE(note.contains(QStringLiteral("2332"))) << note.toStdString();
    EXPECT_FALSE(Find<QPushButton>(window_, "cmdSaveQrCode")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(window_, "cmdCopy")->isEnabled());
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(Form4Test, SaveQrCodeWritesAPngThatReadsAsTheShareText) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    const fs::path file = temp_.path() / "mood.png";
    dialogs_.fileAnswers = {QPath(file)};
    Click(window_, "cmdSaveQrCode");
    ASSERT_EQ(dialogs_.asked.size(), 1u);
    EXPECT_EQ(dialogs_.asked[0].kind, "save");
    EXPECT_EQ(dialogs_.asked[0].file.title, QStringLiteral("保存二维码"));
    EXPECT_TRUE(dialogs_.asked[0].file.filter.contains(QStringLiteral("*.png")));
    EXPECT_EQ(velotan::testing::ReadQrCode(file), ShareUtf8());
    EXPECT_EQ(window_->lblStatus->text(), QStringLiteral("二维码已保存"));

    // A name without an ending becomes a .png file.
    dialogs_.fileAnswers = {QPath(temp_.path() / "plain")};
    Click(window_, "cmdSaveQrCode");
    EXPECT_EQ(velotan::testing::ReadQrCode(temp_.path() / "plain.png"), ShareUtf8());
    EXPECT_FALSE(fs::exists(temp_.path() / "plain"));

    // Cancelled: nothing written, nothing said.
    dialogs_.asked.clear();
    dialogs_.fileAnswers = {QString()};
    Click(window_, "cmdSaveQrCode");
    EXPECT_TRUE(dialogs_.Messages().empty());

    // A folder that is not there: an error, and the window stays.
    dialogs_.fileAnswers = {QPath(temp_.path() / "missing" / "mood.png")};
    Click(window_, "cmdSaveQrCode");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("mood.png")));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(Form4Test, AddressesUpToTheLimitOpenLongerOnesPointToCopy) {
    Main();
    const std::vector<std::string> endpoints = Endpoints();
    for (size_t i = 0; i < endpoints.size(); ++i) {
        // Unreserved letters stay one byte each in the address.
        const int fits = int(kMaxShareAddressBytes - endpoints[i].size());
        const QByteArray name = "Command" + QByteArray::number(int(i) + 1);
        for (const int length : {fits, fits + 1}) {
            Editor()->SetText(QString(length, QLatin1Char('a')));
            ASSERT_TRUE(Open());
            urls_.clear();
            dialogs_.asked.clear();
            Click(window_, name.constData());
            if (length == fits) {
                ASSERT_EQ(urls_.size(), 1u) << name.constData();
                EXPECT_EQ(urls_[0].size(), kMaxShareAddressBytes);
                EXPECT_TRUE(dialogs_.asked.empty());
            } else {
                EXPECT_TRUE(urls_.empty()) << name.constData();
                ASSERT_EQ(dialogs_.Messages().size(), 1u);
                const app::test::Asked said = dialogs_.Messages()[0];
                EXPECT_EQ(said.title, QStringLiteral("提示"));
                EXPECT_TRUE(said.text.contains(QStringLiteral("太长"))) << said.text.toStdString();
                EXPECT_TRUE(said.text.contains(QStringLiteral("复制"))) << said.text.toStdString();
                EXPECT_TRUE(said.text.contains(QStringLiteral("8000"))) << said.text.toStdString();
                EXPECT_TRUE(window_->isVisible());
            }
            Click(window_, "Command5");
            ProcessEvents();
        }
    }
}

TEST_F(Form4Test, AnEncryptedMoodOfAboutThreeHundredCharactersIsTheMostAnAddressTakes) {
    WriteKeyFile("12UGA200");
    Main();
    // About 25 address bytes per character with these keys.
    Editor()->SetText(QString(250, QChar(u'雨')));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    Click(window_, "Command2");
    EXPECT_EQ(urls_.size(), 1u);
    Click(window_, "Command5");
    ProcessEvents();

    Editor()->SetText(QString(400, QChar(u'雨')));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    urls_.clear();
    Click(window_, "Command2");
    EXPECT_TRUE(urls_.empty());
    EXPECT_EQ(dialogs_.Messages().size(), 1u);
}

// --- 兼容加密 and 强加密 ---------------------------------------------------

TEST_F(Form4Test, TheCompatiblePostIsTheDefaultAndTheChoiceIsKeptForTheNextTime) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    Click(main_, "cmdEncrypt");
    ASSERT_TRUE(Open());
    EXPECT_TRUE(window_->optCompatible->isChecked());
    EXPECT_FALSE(window_->optStrong->isChecked());
    EXPECT_EQ(window_->Cipher(), cipher::ShareCipher::Compatible);
    EXPECT_TRUE(Shown().contains(QStringLiteral("解密钥匙：")));
    // Opening the window writes nothing.
    EXPECT_EQ(ReadBytes(Folder() / "settings.ini"),
              "[set]\r\nKeyChar=" + Store().string() + "\r\n");
    // Each choice says in one line what it protects against.
    EXPECT_EQ(Find<QLabel>(window_, "lblCompatible")->text(), QString::fromUtf16(kCompatibleLine));
    EXPECT_EQ(Find<QLabel>(window_, "lblStrong")->text(), QString::fromUtf16(kStrongLine));

    QTest::mouseClick(window_->optStrong, Qt::LeftButton);
    EXPECT_EQ(window_->Cipher(), cipher::ShareCipher::Strong);
    EXPECT_EQ(cipher::ReadShareCipher(Folder()), cipher::ShareCipher::Strong);
    EXPECT_EQ(cipher::ReadKeyChar(Folder()), Store().u16string());
    Click(window_, "Command5");
    ProcessEvents();

    ASSERT_TRUE(Open());
    EXPECT_TRUE(window_->optStrong->isChecked());
    // Chosen as a screen reader's Toggle action chooses, without a click.
    window_->optCompatible->setChecked(true);
    EXPECT_EQ(window_->Cipher(), cipher::ShareCipher::Compatible);
    EXPECT_EQ(cipher::ReadShareCipher(Folder()), cipher::ShareCipher::Compatible);
    EXPECT_TRUE(Shown().contains(QStringLiteral("解密钥匙：")));
}

TEST_F(Form4Test, StrongWithoutAKeyOrWithoutAMoodPostsNothingAndSaysHowToMakeAKey) {
    WriteKeyFile("12UGA200");
    WriteBytes(Folder() / "settings.ini",
               "[set]\r\nKeyChar=" + Store().string() + "\r\nShareCipher=strong\r\n");
    Main();
    Editor()->SetText(QStringLiteral("今天很好"));
    ASSERT_TRUE(Open());
    const auto nothingPosts = [this] {
        EXPECT_TRUE(window_->ShareText().empty());
        EXPECT_TRUE(Shown().isEmpty());
        for (const char* name :
             {"Command1", "Command2", "Command3", "Command4", "cmdCopy", "cmdSaveQrCode"})
            EXPECT_FALSE(Find<QPushButton>(window_, name)->isEnabled()) << name;
        EXPECT_FALSE(window_->picQrCode->HasCode());
        EXPECT_TRUE(Find<QPushButton>(window_, "Command5")->isEnabled());
    };
    nothingPosts();
    EXPECT_EQ(window_->lblCipherNote->text(), QString::fromUtf16(kNoStrongKeyNote));
    EXPECT_TRUE(window_->lblCipherNote->text().contains(QStringLiteral("好友与强密钥")));
    EXPECT_TRUE(dialogs_.asked.empty());
    // The words are never posted as they are.
    window_->Command1_Click();
    window_->cmdCopy_Click();
    EXPECT_TRUE(urls_.empty());
    Click(window_, "Command5");
    ProcessEvents();

    // A key, but nothing written: the note says so.
    GiveOwnStrongKey();
    Editor()->SetText(QString());
    ASSERT_TRUE(Open());
    nothingPosts();
    EXPECT_FALSE(window_->lblCipherNote->text().isEmpty());
}

TEST_F(Form4Test, TheStrongPostOpensWithTheOwnKeyAndEveryWayToShareCarriesIt) {
    WriteKeyFile("12UGA200");
    const strong::StrongKey own = GiveOwnStrongKey();
    Main();
    const QString mood = QStringLiteral("今天下雨了 🌧\r\n明天：晴。");
    Editor()->SetText(mood);
    ASSERT_TRUE(Open());
    QTest::mouseClick(window_->optStrong, Qt::LeftButton);
    const std::string post = ShareUtf8();
    ASSERT_EQ(post.rfind(std::string(strong::kPostPrefix), 0), 0u) << post;
    EXPECT_TRUE(window_->lblCipherNote->text().isEmpty());
    const strong::OpenResult opened = strong::OpenPost(post, std::span(&own, 1));
    ASSERT_EQ(opened.status, strong::OpenStatus::Opened);
    EXPECT_EQ(QString::fromStdString(opened.mood), mood);
    EXPECT_EQ(Shown(), QString::fromStdString(post));

    Click(window_, "cmdCopy");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), post);
    EXPECT_EQ(ReadShownCode(1), post);
    const std::vector<std::string> opened_urls = ShareEverywhere();
    ASSERT_EQ(opened_urls.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(opened_urls[i], ShareAddress(Endpoints()[i].c_str(), window_->ShareText()));

    // Back to the compatible post: the words as the editor has them.
    QTest::mouseClick(window_->optCompatible, Qt::LeftButton);
    EXPECT_EQ(window_->ShareText(), mood.toStdU16String());
}

}  // namespace
}  // namespace velotan::windows::test
