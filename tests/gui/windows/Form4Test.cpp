// The share window: what is shared, the addresses the buttons open, and the
// label that shows it.

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QUrl>

#include "WindowsFixture.h"
#include "app/Twips.h"
#include "app/WebSites.h"
#include "windows/Form4.h"

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
    Editor()->SetText(QStringLiteral("今天很好，明天也好。"));
    Click(main_, "cmdEncrypt");
    const std::u16string cipherText = app_->Cipher().ResultText;
    const std::u16string codeTable = app_->Cipher().CodeTable;
    ASSERT_FALSE(cipherText.empty());
    ASSERT_TRUE(Open());
    const std::u16string expected = u"心情：" + cipherText + u"解密钥匙：" + codeTable;
    EXPECT_EQ(window_->ShareText(), expected);
    EXPECT_EQ(Shown(), QString::fromStdU16String(expected));
    EXPECT_TRUE(dialogs_.asked.empty());
    // The keys are never part of it.
    EXPECT_FALSE(window_->ShareText().find(u"12UGA200") != std::u16string::npos);

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
    // The one configuration place holds these very endpoints.
    EXPECT_EQ(std::string(app::kShareTencentWeibo), Endpoints()[0]);
    EXPECT_EQ(std::string(app::kShareQzone), Endpoints()[3]);
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

}  // namespace
}  // namespace velotan::windows::test
