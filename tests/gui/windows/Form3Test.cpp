// The decode window: the four boxes, the key texts, the decryption into the
// main editor and the user's own keys afterwards.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include "WindowsFixture.h"
#include "app/Twips.h"
#include "cipher/Cipher.h"
#include "cipher/SharePost.h"
#include "cipher/SymbolSubstitution.h"
#include "common/ChildProcess.h"
#include "common/CommaLocale.h"
#include "strong/StrongPost.h"
#include "windows/Form3.h"

namespace velotan::windows::test {
namespace {

using app::TwipsRect;
using app::test::Asked;
using platform::MsgStyle;

// What a sender's program produces for `plain`: punctuation as placeholders,
// the sentinel appended, encrypted with the sender's keys.
cipher::CipherPair SendersText(const std::filesystem::path& symbolFile, const QString& plain,
                               int16_t first, int16_t second) {
    const std::u16string substituted =
        cipher::ReplaceSymbols(plain.toStdU16String(), symbolFile) + u"F";
    int offset = 0;
    auto pair = cipher::Encrypt(substituted, first, second, [&] { return offset++ % 26 + 1; });
    EXPECT_TRUE(pair.has_value());
    return pair.value_or(cipher::CipherPair{});
}

class Form3Test : public WindowsFixture {
  protected:
    Form3* Open() {
        Main();
        Click(main_, "cmdEncoding");
        window_ = OpenWindow<Form3>("Form3");
        return window_;
    }
    void Fill(const QString& cipherText, const QString& codeTable, const QString& first,
              const QString& second) {
        window_->txtText1->SetText(cipherText);
        window_->txtText2->SetText(codeTable);
        window_->txtText3->setText(first);
        window_->txtText4->setText(second);
    }
    QStringList Boxes() {
        return {window_->txtText1->Text(), window_->txtText2->Text(), window_->txtText3->text(),
                window_->txtText4->text()};
    }
    void Decode() { Click(window_, "cmdEncoding"); }
    // Pastes `text` from the clipboard at the end of `box`, as Ctrl+V does.
    static void Paste(app::TextBox* box, const QString& text) {
        QApplication::clipboard()->setText(text);
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        box->paste();
    }
    std::filesystem::path SymbolFile() const { return Folder() / cipher::kSymbolFileName; }

    // Someone else's text decodes into the editor; afterwards the user's own
    // keys (own1, own2) encrypt again.
    void RoundTripKeepsOwnKeys(int16_t own1, int16_t own2) {
        const QString plain = QStringLiteral("他说：“今天很好。”\r\nHello, 世界!");
        const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 7, 3);
        ASSERT_NE(own1, 7);
        ASSERT_TRUE(Open());
        Fill(QString::fromStdU16String(sent.cipherText), QString::fromStdU16String(sent.codeTable),
             QStringLiteral("7"), QStringLiteral("3"));
        dialogs_.onMessage = [&](const Asked&) {
            // The decoded text is in the editor before the message shows.
            EXPECT_EQ(Editor()->Text(), plain);
        };
        Decode();
        dialogs_.onMessage = nullptr;
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        const Asked done = dialogs_.Messages()[0];
        EXPECT_EQ(done.text, QStringLiteral("解码操作完成！"));
        EXPECT_EQ(done.title, QStringLiteral("完成"));
        EXPECT_EQ(done.style, MsgStyle::kInformation);
        ProcessEvents();
        EXPECT_TRUE(window_.isNull());
        EXPECT_EQ(Editor()->Text(), plain);
        EXPECT_TRUE(app_->Cipher().ResultText.empty());
        EXPECT_EQ(app_->Cipher().FirstKey, own1);
        EXPECT_EQ(app_->Cipher().SecondKey, own2);

        // The next encryption uses the user's keys, not the sender's. Keys
        // kept nowhere encrypt nothing from the main window, so the engine
        // is asked directly then.
        auto& engine = app_->Cipher();
        if (engine.KeysStored()) {
            Editor()->SetText(QStringLiteral("我的心情"));
            Click(main_, "cmdEncrypt");
        } else {
            ASSERT_TRUE(engine.EncryptText(u"我的心情F"));
        }
        EXPECT_EQ(cipher::Decrypt(engine.ResultText, engine.CodeTable, own1, own2), u"我的心情");
        EXPECT_NE(cipher::Decrypt(engine.ResultText, engine.CodeTable, 7, 3), u"我的心情");
    }

    QPointer<Form3> window_;
};

TEST_F(Form3Test, ControlsCaptionsAndLayout) {
    Form3* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("解码他人文件"));
    EXPECT_EQ(window->txtText1->geometry(), TwipsRect(120, 360, 8295, 1575));
    EXPECT_EQ(window->txtText2->geometry(), TwipsRect(120, 2280, 8295, 1575));
    EXPECT_EQ(window->txtText3->geometry(), TwipsRect(120, 4200, 8295, 285));
    EXPECT_EQ(window->txtText4->geometry(), TwipsRect(120, 4800, 8295, 285));
    EXPECT_EQ(window->txtText3->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->txtText4->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->txtText1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(window->cmdEncoding->text(), QStringLiteral("解 码"));
    EXPECT_EQ(window->cmdEncoding->geometry(), TwipsRect(6480, 5160, 990, 360));
    EXPECT_EQ(window->cmdBack->text(), QStringLiteral("返 回"));
    EXPECT_EQ(window->cmdBack->geometry(), TwipsRect(7440, 5160, 990, 360));
    const char* captions[] = {"输入密文：", "输入随机码表：", "输入一次密钥：", "输入二次密钥："};
    for (int i = 0; i < 4; ++i) {
        auto* label = Find<QLabel>(window, QStringLiteral("Ski_%1").arg(i).toLatin1().constData());
        ASSERT_NE(label, nullptr) << i;
        EXPECT_EQ(label->text(), QString::fromUtf8(captions[i]));
    }
    // Each label sits right above its box.
    EXPECT_LT(window->Ski[2]->geometry().bottom(), window->txtText3->geometry().top());
    // Tab walks the boxes, then the buttons.
    QWidget* order[] = {window->txtText1, window->txtText2,    window->txtText3,
                        window->txtText4, window->cmdEncoding, window->cmdBack};
    auto nextTabStop = [](QWidget* widget) {
        do {
            widget = widget->nextInFocusChain();
        } while (!(widget->focusPolicy() & Qt::TabFocus) || widget->isHidden());
        return widget;
    };
    for (int i = 0; i + 1 < 6; ++i)
        EXPECT_EQ(nextTabStop(order[i]), order[i + 1]) << i;
}

TEST_F(Form3Test, EachEmptyBoxNamesItselfAndEmptiesAllFour) {
    const char* messages[] = {"请输入密文！", "请输入随机码表！", "请输入一次密钥！",
                              "请输入二次密钥！"};
    Main();
    Editor()->SetText(QStringLiteral("原来的文字"));
    for (int empty = 0; empty < 4; ++empty) {
        dialogs_.asked.clear();
        ASSERT_TRUE(Open());
        QStringList texts = {QStringLiteral("@@UUA@"), QStringLiteral("~~UGA~"),
                             QStringLiteral("5"), QStringLiteral("6")};
        texts[empty].clear();
        Fill(texts[0], texts[1], texts[2], texts[3]);
        Decode();
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << empty;
        const Asked asked = dialogs_.Messages()[0];
        EXPECT_EQ(asked.text, QString::fromUtf8(messages[empty]));
        EXPECT_EQ(asked.title, QStringLiteral("提示"));
        EXPECT_EQ(asked.style, MsgStyle::kOkOnly);
        EXPECT_EQ(Boxes(), QStringList(4, QString())) << empty;
        EXPECT_FALSE(window_.isNull());
        EXPECT_EQ(Editor()->Text(), QStringLiteral("原来的文字"));
    }
}

TEST_F(Form3Test, BlanksCountAsContent) {
    ASSERT_TRUE(Open());
    Fill(QStringLiteral(" "), QStringLiteral(" "), QStringLiteral("5"), QStringLiteral("6"));
    Decode();
    // Nothing to decode in blanks, but they are not an empty box: they reach
    // the check of the keys, which a table without elements never passes.
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QString::fromUtf16(kKeysDoNotFitQuestion));
}

TEST_F(Form3Test, KeyTextOutsideTheSixteenBitWholeNumbersIsRefused) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("原来的文字"));
    struct Case {
        const char* first;
        const char* second;
        const char* named;
    };
    // Which texts are keys is the key reader's business (KeyNumberTest); here
    // what the window does with one that is not.
    const Case cases[] = {
        {"abc", "3", "一次密钥"},
        {"40000", "3", "一次密钥"},
        {"7", "32767.5", "二次密钥"},
    };
    for (const Case& c : cases) {
        dialogs_.asked.clear();
        ASSERT_TRUE(Open());
        Fill(QStringLiteral("@@UUA@"), QStringLiteral("~~UGA~"), QString::fromUtf8(c.first),
             QString::fromUtf8(c.second));
        const QStringList before = Boxes();
        Decode();
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << c.first << " " << c.second;
        const Asked asked = dialogs_.Messages()[0];
        EXPECT_TRUE(asked.text.startsWith(QString::fromUtf8(c.named))) << asked.text.toStdString();
        EXPECT_TRUE(asked.text.contains(QStringLiteral("-32768 到 32767")));
        EXPECT_EQ(asked.title, QStringLiteral("提示"));
        EXPECT_EQ(asked.style, MsgStyle::kOkOnly);
        // Nothing decoded, nothing changed, the window stays with its text.
        EXPECT_EQ(Boxes(), before);
        EXPECT_FALSE(window_.isNull());
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(Editor()->Text(), QStringLiteral("原来的文字"));
        EXPECT_EQ(app_->Cipher().FirstKey, 12);
        EXPECT_EQ(app_->Cipher().SecondKey, 200);
    }
}

TEST_F(Form3Test, KeysAtTheEdgesOfTheRangeAreTakenAndHalvesRoundToEven) {
    const QString plain = QStringLiteral("半数取偶 ok");
    struct Case {
        int16_t first;
        int16_t second;
        const char* typedFirst;
        const char* typedSecond;
    };
    const Case cases[] = {
        {4, 2, "3.5", "2.5"},
        {-32768, 32767, "-32768", "32767"},
    };
    for (const Case& c : cases) {
        const cipher::CipherPair sent =
            SendersText(Folder() / cipher::kSymbolFileName, plain, c.first, c.second);
        ASSERT_TRUE(Open());
        Fill(QString::fromStdU16String(sent.cipherText), QString::fromStdU16String(sent.codeTable),
             QString::fromUtf8(c.typedFirst), QString::fromUtf8(c.typedSecond));
        Decode();
        EXPECT_EQ(Editor()->Text(), plain) << c.typedFirst << " " << c.typedSecond;
        ProcessEvents();
    }
    // A key one off gives garbage: the rounding above really mattered. It
    // is asked about first; Yes takes the garbage.
    const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 4, 2);
    ASSERT_TRUE(Open());
    Fill(QString::fromStdU16String(sent.cipherText), QString::fromStdU16String(sent.codeTable),
         QStringLiteral("3"), QStringLiteral("2"));
    dialogs_.msgAnswers = {platform::MsgResult::Yes};
    Decode();
    EXPECT_NE(Editor()->Text(), plain);
}

// The toolkit takes the numeric locale from the environment; a German user
// types 3.5 as everyone else does and gets the same rounding.
TEST_F(Form3Test, KeysWithAPointReadAlikeUnderACommaLocale) {
    velotan::testing::CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no comma-decimal locale installed (scripts/setup generates de_DE.UTF-8)";
    const QString plain = QStringLiteral("半数取偶 ok");
    const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 4, 2);
    ASSERT_TRUE(Open());
    Fill(QString::fromStdU16String(sent.cipherText), QString::fromStdU16String(sent.codeTable),
         QStringLiteral("3.5"), QStringLiteral("2.5"));
    Decode();
    EXPECT_EQ(Editor()->Text(), plain);
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].text, QStringLiteral("解码操作完成！"));
}

TEST_F(Form3Test, RoundTripWithAKeyFileBringsTheOwnKeysBack) {
    WriteKeyFile("12UGA200");
    Main();
    ASSERT_EQ(app_->Cipher().FirstKey, 12);
    RoundTripKeepsOwnKeys(12, 200);
}

TEST_F(Form3Test, RoundTripWithoutAKeyFileBringsTheOwnKeysBack) {
    // The store is configured but holds no key file: loading reads nothing.
    ConfigureKeyStore();
    Main();
    // Keys made this run that could not be stored.
    app_->Cipher().FirstKey = 5;
    app_->Cipher().SecondKey = 9;
    RoundTripKeepsOwnKeys(5, 9);
    EXPECT_FALSE(std::filesystem::exists(KeyFile()));
}

TEST_F(Form3Test, RoundTripWithoutAnyKeyStoreBringsTheOwnKeysBack) {
    Main();
    app_->Cipher().FirstKey = 21;
    app_->Cipher().SecondKey = 4;
    RoundTripKeepsOwnKeys(21, 4);
}

TEST_F(Form3Test, TrailingLineBreaksInThePastedTextsChangeNothing) {
    const QString plain = QStringLiteral("换行 at the end");
    const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 9, 1);
    const QString cipherText = QString::fromStdU16String(sent.cipherText);
    const QString codeTable = QString::fromStdU16String(sent.codeTable);
    const QString variants[][2] = {
        {cipherText + QStringLiteral("\r\n"), codeTable},
        {cipherText + QStringLiteral("\n"), codeTable + QStringLiteral("\r\n")},
    };
    for (const auto& v : variants) {
        Main();
        Editor()->SetText(QString());
        ASSERT_TRUE(Open());
        Fill(v[0], v[1], QStringLiteral("9"), QStringLiteral("1"));
        Decode();
        EXPECT_EQ(Editor()->Text(), plain);
        ProcessEvents();
    }
}

TEST_F(Form3Test, BackClosesAndLeavesEverythingAsItWas) {
    WriteKeyFile("12UGA200");
    Main();
    Editor()->SetText(QStringLiteral("保持不变"));
    ASSERT_TRUE(Open());
    Fill(QStringLiteral("@@UUA@"), QStringLiteral("~~UGA~"), QStringLiteral("1"),
         QStringLiteral("2"));
    Click(window_, "cmdBack");
    ProcessEvents();
    EXPECT_TRUE(window_.isNull());
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_EQ(Editor()->Text(), QStringLiteral("保持不变"));
    EXPECT_EQ(app_->Cipher().FirstKey, 12);
    // Reopened, nothing typed before is there.
    ASSERT_TRUE(Open());
    EXPECT_EQ(Boxes(), QStringList(4, QString()));
}

TEST_F(Form3Test, DecodedTextReachesAMainWindowThatWasClosed) {
    WriteKeyFile("12UGA200");
    const QString plain = QStringLiteral("主窗口已关闭");
    const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 7, 3);
    ASSERT_TRUE(Open());
    main_->close();
    ProcessEvents();
    ASSERT_TRUE(main_.isNull());
    Fill(QString::fromStdU16String(sent.cipherText), QString::fromStdU16String(sent.codeTable),
         QStringLiteral("7"), QStringLiteral("3"));
    Decode();
    ASSERT_NE(app_->MainWindow(), nullptr);
    EXPECT_TRUE(app_->MainWindow()->isVisible());
    EXPECT_EQ(app_->MainWindow()->txtText1->Text(), plain);
    EXPECT_EQ(app_->Cipher().FirstKey, 12);
    EXPECT_EQ(app_->Cipher().SecondKey, 200);
}

TEST_F(Form3Test, AWholePostPastedIntoTheCipherBoxGoesApartAndDecodes) {
    const QString plain = QStringLiteral("雨停了。\r\n明天见！");
    const cipher::CipherPair sent = SendersText(SymbolFile(), plain, 7, 3);
    const QString cipherText = QString::fromStdU16String(sent.cipherText);
    const QString codeTable = QString::fromStdU16String(sent.codeTable);
    ASSERT_TRUE(Open());
    // As copied off a page: the poster's name, line breaks, replies behind.
    Paste(window_->txtText1,
          QStringLiteral("小明 5月1日 来自青岚心情加密器\n") +
              QString::fromStdU16String(cipher::ComposeShareText(sent.cipherText, sent.codeTable)) +
              QStringLiteral("\n转发 评论(2) 赞"));
    EXPECT_EQ(window_->txtText1->Text(), cipherText);
    EXPECT_EQ(window_->txtText2->Text(), codeTable);
    EXPECT_EQ(window_->focusWidget(), window_->txtText3);
    window_->txtText3->setText(QStringLiteral("7"));
    window_->txtText4->setText(QStringLiteral("3"));
    Decode();
    EXPECT_EQ(Editor()->Text(), plain);
}

TEST_F(Form3Test, APostFromTheCommandLineToolDecodesBackToTheMood) {
    const std::string mood = "今天下雨了，“没关系”。\r\n明天见！";
    Main();
    const velotan::testing::ProgramRun sent =
        velotan::testing::RunProgram({VELOTAN_CLI, "encrypt", "--share", "--keys", "9,21",
                                      "--program-folder", Folder().string()},
                                     mood);
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    ASSERT_TRUE(Open());
    Paste(window_->txtText1, QString::fromStdString(sent.out));
    window_->txtText3->setText(QStringLiteral("9"));
    window_->txtText4->setText(QStringLiteral("21"));
    Decode();
    EXPECT_EQ(Editor()->Text(), QString::fromStdString(mood));
}

TEST_F(Form3Test, PostsWithEitherColonAndAnyLineEndsGoApart) {
    const cipher::CipherPair sent = SendersText(SymbolFile(), QStringLiteral("好"), 7, 3);
    const QString cipherText = QString::fromStdU16String(sent.cipherText);
    const QString codeTable = QString::fromStdU16String(sent.codeTable);
    ASSERT_TRUE(Open());
    const QStringList posts = {
        QStringLiteral("心情:") + cipherText + QStringLiteral("解密钥匙:") + codeTable,
        QStringLiteral("心情：\r\n") + cipherText + QStringLiteral("\r\n解密钥匙：\r\n") +
            codeTable + QStringLiteral("\r\n"),
        QStringLiteral("  心情 ： ") + cipherText + QStringLiteral("\n\n解密钥匙 :\t") + codeTable +
            QStringLiteral("\n"),
    };
    for (const QString& post : posts) {
        window_->txtText1->SetText(QString());
        window_->txtText2->SetText(QStringLiteral("old"));
        Paste(window_->txtText1, post);
        EXPECT_EQ(window_->txtText1->Text(), cipherText) << post.toStdString();
        EXPECT_EQ(window_->txtText2->Text(), codeTable) << post.toStdString();
    }
    // Into the table box as well.
    Fill(QString(), QString(), QString(), QString());
    Paste(window_->txtText2, posts[1]);
    EXPECT_EQ(window_->txtText1->Text(), cipherText);
    EXPECT_EQ(window_->txtText2->Text(), codeTable);
    EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(Form3Test, TextWithoutBothMarkersIsPastedAsItIs) {
    ASSERT_TRUE(Open());
    window_->txtText2->SetText(QStringLiteral("@~UGA}{"));
    // A post without its table, and a bare cipher text.
    Paste(window_->txtText1, QStringLiteral("心情：@%*@UUA~|@UUA^!"));
    EXPECT_EQ(window_->txtText1->Text(), QStringLiteral("心情：@%*@UUA~|@UUA^!"));
    EXPECT_EQ(window_->txtText2->Text(), QStringLiteral("@~UGA}{"));
    window_->txtText1->SetText(QString());
    Paste(window_->txtText1, QStringLiteral("@%*@UUA~|\n@UUA^!"));
    EXPECT_EQ(window_->txtText1->Text(), QStringLiteral("@%*@UUA~|\r\n@UUA^!"));
    Paste(window_->txtText2, QStringLiteral("UGA!}"));
    EXPECT_EQ(window_->txtText2->Text(), QStringLiteral("@~UGA}{UGA!}"));
}

// --- 强加密 posts --------------------------------------------------------------

QString StrongPost(const strong::StrongKey& key, const QString& mood) {
    const auto post = strong::SealPost(key, mood.toStdString());
    EXPECT_TRUE(post.has_value());
    return QString::fromStdString(post.value_or(std::string()));
}

TEST_F(Form3Test, AStrongPostOpensWithTheKeyThatMadeItAndNamesItsHolder) {
    WriteKeyFile("12UGA200");
    const strong::StrongKey own = GiveOwnStrongKey();
    GiveFriend("小红");
    const strong::StrongKey ming = GiveFriend("小明");
    const struct {
        strong::StrongKey key;
        QString name;
        QString anyone;
    } senders[] = {
        {ming, QStringLiteral("小明"), QStringLiteral("小明，或小明的任何一位好友")},
        {own, QStringLiteral("自己"), QStringLiteral("您自己，或您的任何一位好友")},
    };
    for (const auto& sender : senders) {
        const QString mood = QStringLiteral("今天很好 😀\r\n") + sender.name;
        Main();
        Editor()->SetText(QStringLiteral("旧的文字"));
        app_->SettleEditorText(u"旧的文字");  // saved: it goes without a question
        ASSERT_TRUE(Open());
        dialogs_.asked.clear();
        // The key boxes stay empty: they are not needed.
        window_->txtText1->SetText(QStringLiteral("来自微博：") + StrongPost(sender.key, mood) +
                                   QStringLiteral(" 转发"));
        EXPECT_TRUE(window_->lblStrongHint->isVisibleTo(window_));
        dialogs_.onMessage = [&](const Asked&) { EXPECT_EQ(Editor()->Text(), mood); };
        Decode();
        dialogs_.onMessage = nullptr;
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        const Asked done = dialogs_.Messages()[0];
        EXPECT_EQ(done.title, QStringLiteral("完成"));
        EXPECT_EQ(done.style, MsgStyle::kInformation);
        EXPECT_TRUE(done.text.contains(QStringLiteral("用「") + sender.name +
                                       QStringLiteral("」的钥匙加密")))
            << done.text.toStdString();
        EXPECT_TRUE(done.text.contains(sender.anyone)) << done.text.toStdString();
        ProcessEvents();
        EXPECT_TRUE(window_.isNull());
        EXPECT_EQ(Editor()->Text(), mood);
    }
    // The user's own legacy keys are untouched.
    EXPECT_EQ(app_->Cipher().FirstKey, 12);
    EXPECT_EQ(app_->Cipher().SecondKey, 200);
}

TEST_F(Form3Test, OldKeysStillOpenOldPostsAfterNewOnes) {
    WriteKeyFile("12UGA200");
    const strong::StrongKey ming = GiveFriend("小明");
    const QString post = StrongPost(ming, QStringLiteral("旧帖子"));
    GiveFriend("小明");  // 小明's new key; the old one becomes earlier
    ASSERT_EQ(StoredRing().friends.at(0).earlier.size(), 1u);
    ASSERT_TRUE(Open());
    window_->txtText1->SetText(post);
    Decode();
    EXPECT_EQ(Editor()->Text(), QStringLiteral("旧帖子"));
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("用「小明」的钥匙加密")));
}

TEST_F(Form3Test, APostNoKeyOpensSaysItMayHaveBeenChangedAndLeavesTheEditorAlone) {
    WriteKeyFile("12UGA200");
    GiveOwnStrongKey();
    GiveFriend("小明");
    const QString stranger = StrongPost(strong::NewStrongKey(), QStringLiteral("别人的心情"));
    QString changed = StrongPost(GiveFriend("小红"), QStringLiteral("被改过的心情"));
    const int at = changed.size() - 5;
    changed[at] = changed[at] == u'A' ? u'B' : u'A';
    for (const QString& post : {stranger, changed}) {
        Main();
        Editor()->SetText(QStringLiteral("旧的文字"));
        ASSERT_TRUE(Open());
        dialogs_.asked.clear();
        window_->txtText1->SetText(post);
        Decode();
        ASSERT_EQ(dialogs_.Messages().size(), 1u);
        const Asked told = dialogs_.Messages()[0];
        EXPECT_EQ(told.title, QStringLiteral("提示"));
        EXPECT_TRUE(told.text.contains(QStringLiteral("打不开"))) << told.text.toStdString();
        EXPECT_TRUE(told.text.contains(QStringLiteral("改动"))) << told.text.toStdString();
        EXPECT_EQ(Editor()->Text(), QStringLiteral("旧的文字"));
        // The window stays with the post, for another try.
        ASSERT_FALSE(window_.isNull());
        EXPECT_EQ(window_->txtText1->Text(), post);
        Click(window_, "cmdBack");
        ProcessEvents();
    }
}

TEST_F(Form3Test, APastedStrongPostGoesWholeIntoTheCipherBox) {
    WriteKeyFile("12UGA200");
    const strong::StrongKey own = GiveOwnStrongKey();
    const QString post = StrongPost(own, QStringLiteral("好"));
    ASSERT_TRUE(Open());
    EXPECT_FALSE(window_->lblStrongHint->isVisibleTo(window_));
    window_->txtText1->SetText(QStringLiteral("old"));
    Paste(window_->txtText2, post);
    EXPECT_EQ(window_->txtText1->Text(), post);
    EXPECT_TRUE(window_->txtText2->Text().isEmpty());
    EXPECT_TRUE(window_->lblStrongHint->isVisibleTo(window_));
    EXPECT_EQ(window_->focusWidget(), window_->cmdEncoding);
    EXPECT_TRUE(dialogs_.asked.empty());
    Decode();
    EXPECT_EQ(Editor()->Text(), QStringLiteral("好"));
}

}  // namespace
}  // namespace velotan::windows::test
