#include "Form3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "app/App.h"
#include "app/QtText.h"
#include "app/TextBox.h"
#include "app/Twips.h"
#include "cipher/Cipher.h"
#include "cipher/KeyNumber.h"
#include "cipher/ModEncrypt.h"
#include "cipher/SharePost.h"
#include "strong/StrongPost.h"
#include "windows/HeldStrongKeys.h"

namespace velotan::windows {
namespace {

using app::TwipsRect;
using platform::MsgStyle;

using app::Q;

}  // namespace

Form3::Form3(app::App& app) : WindowFrame(app, "Form3") {
    setWindowTitle(Q(kForm3Caption));
    setFixedSize(app::TwipsSize(8535, 5640));

    const char16_t* captions[4] = {u"输入密文：", u"输入随机码表：", u"输入一次密钥：",
                                   u"输入二次密钥："};
    const int boxTops[4] = {360, 2280, 4200, 4800};
    for (int i = 0; i < 4; ++i) {
        Ski[i] = new app::SkinLabel(Q(captions[i]), QStringLiteral("Ski_%1").arg(i), this);
        Ski[i]->setGeometry(TwipsRect(120, boxTops[i] - 255, 8295, 255));
    }

    txtText1 = new app::TextBox(this);
    txtText1->setObjectName(QStringLiteral("txtText1"));
    txtText1->setGeometry(TwipsRect(120, 360, 8295, 1575));
    txtText2 = new app::TextBox(this);
    txtText2->setObjectName(QStringLiteral("txtText2"));
    txtText2->setGeometry(TwipsRect(120, 2280, 8295, 1575));
    // Cipher texts hold no tabs; Tab walks the boxes in order instead.
    txtText1->setTabChangesFocus(true);
    txtText2->setTabChangesFocus(true);
    // Readers copy whole posts off a page; the window takes them apart.
    txtText1->PasteHandler = [this](const QString& text) { return PastePost(text); };
    txtText2->PasteHandler = [this](const QString& text) { return PastePost(text); };

    auto keyBox = [this](const char* name, int top) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setEchoMode(QLineEdit::Password);
        // One "*" per typed character, whatever the style's own mask is.
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        box->setGeometry(TwipsRect(120, top, 8295, 285));
        return box;
    };
    txtText3 = keyBox("txtText3", 4200);
    txtText4 = keyBox("txtText4", 4800);
    // Each label names its box for a screen reader.
    Ski[0]->setBuddy(txtText1);
    Ski[1]->setBuddy(txtText2);
    Ski[2]->setBuddy(txtText3);
    Ski[3]->setBuddy(txtText4);

    cmdEncoding = new QPushButton(QStringLiteral("解 码"), this);
    cmdEncoding->setObjectName(QStringLiteral("cmdEncoding"));
    cmdEncoding->setGeometry(TwipsRect(6480, 5160, 990, 360));
    cmdBack = new QPushButton(QStringLiteral("返 回"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdBack->setGeometry(TwipsRect(7440, 5160, 990, 360));

    lblStrongHint =
        new QLabel(QStringLiteral("这是强加密的心情：不需要随机码表和密钥，直接点“解 码”。"), this);
    lblStrongHint->setObjectName(QStringLiteral("lblStrongHint"));
    lblStrongHint->setTextFormat(Qt::PlainText);
    lblStrongHint->setGeometry(TwipsRect(120, 5160, 6240, 360));
    lblStrongHint->setWordWrap(true);
    lblStrongHint->hide();
    connect(txtText1, &QPlainTextEdit::textChanged, this, &Form3::ShowStrongHint);

    setTabOrder(txtText1, txtText2);
    setTabOrder(txtText2, txtText3);
    setTabOrder(txtText3, txtText4);
    setTabOrder(txtText4, cmdEncoding);
    setTabOrder(cmdEncoding, cmdBack);

    connect(cmdEncoding, &QPushButton::clicked, this, &Form3::cmdEncoding_Click);
    connect(cmdBack, &QPushButton::clicked, this, &Form3::cmdBack_Click);
    SetEscapeButton(cmdBack);
}

void Form3::Form_Load() {
    ApplySkin();
}

void Form3::Tell(const char16_t* text, int style, const char16_t* title) {
    app_.Dlg().Show(Q(text), style, Q(title));
}

void Form3::ClearInputs() {
    txtText1->SetText(QString());
    txtText2->SetText(QString());
    txtText3->setText(QString());
    txtText4->setText(QString());
}

bool Form3::PastePost(const QString& text) {
    if (PasteStrongPost(text))
        return true;
    const auto parts = cipher::SplitPost(text.toStdU16String());
    if (!parts)
        return false;
    txtText1->SetText16(parts->cipherText);
    txtText2->SetText16(parts->codeTable);
    // What is left to do is typing the sender's keys.
    txtText3->setFocus();
    return true;
}

std::optional<int16_t> Form3::KeyOf(QLineEdit* box, const char16_t* name) {
    if (const auto key =
            cipher::ParseKeyNumber(box->text().toStdU16String(), cipher::KeyForm::SendersKey))
        return key;
    app_.Dlg().Show(Q(name) + QStringLiteral("必须是 -32768 到 32767 之间的整数，请重新输入！"),
                    MsgStyle::kOkOnly, QStringLiteral("提示"));
    box->setFocus();
    return std::nullopt;
}

bool Form3::KeysFitOrAccepted(int16_t first, int16_t second) {
    if (cipher::KeysFitCodeTable(txtText2->Text16(), first, second))
        return true;
    if (app_.Dlg().ConfirmRisky(Q(kKeysDoNotFitQuestion)))
        return true;
    // Most likely a mistyped key: the boxes stay for another try.
    txtText3->setFocus();
    return false;
}

void Form3::cmdEncoding_Click() {
    if (HoldsStrongPost()) {
        DecodeStrongPost();
        return;
    }
    struct Required {
        bool empty;
        const char16_t* message;
    };
    const Required required[] = {
        {txtText1->Text().isEmpty(), u"请输入密文！"},
        {txtText2->Text().isEmpty(), u"请输入随机码表！"},
        {txtText3->text().isEmpty(), u"请输入一次密钥！"},
        {txtText4->text().isEmpty(), u"请输入二次密钥！"},
    };
    for (const Required& r : required) {
        if (r.empty) {
            Tell(r.message, MsgStyle::kOkOnly, u"提示");
            ClearInputs();
            return;
        }
    }

    const auto first = KeyOf(txtText3, u"一次密钥");
    if (!first)
        return;
    const auto second = KeyOf(txtText4, u"二次密钥");
    if (!second)
        return;

    if (!KeysFitOrAccepted(*first, *second) || !app_.ConfirmReplaceEditorText())
        return;

    cipher::ModEncrypt& engine = app_.Cipher();
    // The sender's keys serve this one decryption; the user's own pair stays
    // in force whatever the key store holds.
    engine.DecryptWith(*first, *second, txtText1->Text16(), txtText2->Text16());
    const std::u16string plain = engine.ResultText;

    // Into the main window's editor; while the settings or update window
    // stands in for it, the text waits for its return.
    app_.SetEditorText(plain);

    engine.LoadKeys(app_.MainState().USBNAME);
    engine.ResultText.clear();
    Tell(kDecodedMessage, MsgStyle::kInformation, u"完成");
    close();
}

bool Form3::HoldsStrongPost() const {
    return strong::HoldsStrongPost(ToUtf8(txtText1->Text()));
}

void Form3::ShowStrongHint() {
    lblStrongHint->setVisible(HoldsStrongPost());
}

bool Form3::PasteStrongPost(const QString& text) {
    if (!strong::HoldsStrongPost(ToUtf8(text)))
        return false;
    txtText1->SetText(text);
    txtText2->SetText(QString());
    cmdEncoding->setFocus();
    return true;
}

void Form3::DecodeStrongPost() {
    const HeldStrongKeys held = LoadHeldStrongKeys(app_);
    const std::vector<strong::Candidate> candidates = strong::Candidates(held.ring);
    std::vector<strong::StrongKey> keys;
    keys.reserve(candidates.size());
    for (const strong::Candidate& c : candidates)
        keys.push_back(c.key);
    const strong::OpenResult opened = strong::OpenPost(ToUtf8(txtText1->Text()), keys);
    if (opened.status != strong::OpenStatus::Opened) {
        QString text;
        if (opened.status == strong::OpenStatus::NoKeyOpens) {
            text = keys.empty()
                       ? QStringLiteral(
                             "您还没有任何强密钥，也没有好友的钥匙，打不开这段强加密的心情。"
                             "\r\n请在“多项设置”→“好友与强密钥”里添加好友的钥匙。")
                       : QStringLiteral(
                             "您持有的钥匙（自己的和每位好友的）都打不开这段强加密的心情。"
                             "\r\n它也可能在路上被改动过。");
        } else {
            text = FromUtf8(strong::OpenStatusMessage(opened.status));
        }
        // A key store that could not be read may hold the one key needed.
        if (!held.problem.isEmpty())
            text += QStringLiteral("\r\n") + held.problem;
        text += QStringLiteral("\r\n编辑框里的内容没有改变。");
        app_.Dlg().Show(text, MsgStyle::kExclamation, QStringLiteral("提示"));
        return;
    }
    // Unsaved text in the editor goes only when the user lets it.
    if (!app_.ConfirmReplaceEditorText())
        return;
    app_.SetEditorText(FromUtf8(opened.mood).toStdU16String());
    const std::string& holder = candidates[opened.keyIndex].holder;
    const bool own = holder.empty();
    const QString name = FromUtf8(own ? std::string(strong::kSelfName) : holder);
    const QString who =
        own ? QStringLiteral("您自己，或您的任何一位好友")
            : name + QStringLiteral("，或") + name + QStringLiteral("的任何一位好友");
    app_.Dlg().Show(Q(kDecodedMessage) + QStringLiteral("\r\n用「") + name +
                        QStringLiteral("」的钥匙加密。\r\n持有这把钥匙的人都可能写了它：") + who +
                        QStringLiteral("。"),
                    MsgStyle::kInformation, QStringLiteral("完成"));
    close();
}

void Form3::cmdBack_Click() {
    close();
}

}  // namespace velotan::windows
