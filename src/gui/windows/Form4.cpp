#include "Form4.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextOption>

#include "app/App.h"
#include "app/QtText.h"
#include "app/Twips.h"
#include "app/WebSites.h"
#include "app/WindowFonts.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ShareAddress.h"
#include "cipher/SharePost.h"
#include "encoding/Cp936.h"
#include "qrcode/PngFile.h"
#include "strong/StrongPost.h"
#include "windows/HeldStrongKeys.h"
#include "windows/QrCodeView.h"

namespace velotan::windows {
namespace {

using app::TwipsRect;
using platform::MsgStyle;

using app::Q;

constexpr const char16_t* kSaveQrCodeTitle = u"保存二维码";
constexpr const char16_t* kPngFilter = u"PNG 图片(*.png)|*.png";

}  // namespace

Form4::Form4(app::App& app) : WindowFrame(app, "Form4") {
    setWindowTitle(Q(kForm4Caption));
    // The designed window, below it the choice of cipher, and below that the
    // ways to share anywhere else.
    setFixedSize(app::TwipsSize(5655, 8640));

    auto* SkinLabel1 = new app::SkinLabel(QStringLiteral("这是您即将要分享的心情："),
                                          QStringLiteral("SkinLabel1"), this);
    SkinLabel1->setGeometry(TwipsRect(120, 120, 5415, 255));

    // A label to look at, but one whose text can be selected and copied, and
    // which wraps even a cipher text without a single space.
    lblToShare = new QPlainTextEdit(this);
    lblToShare->setObjectName(QStringLiteral("lblToShare"));
    // Down to just above the frame: two whole lines rather than one and a
    // half; longer texts scroll.
    lblToShare->setGeometry(TwipsRect(120, 360, 5415, 465));
    lblToShare->setFont(app::SkinLabelFont());
    lblToShare->setReadOnly(true);
    lblToShare->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblToShare->setFrameShape(QFrame::NoFrame);
    lblToShare->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lblToShare->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblToShare->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lblToShare->document()->setDocumentMargin(0);
    lblToShare->setStyleSheet(
        QStringLiteral("QPlainTextEdit#lblToShare { background: transparent; border: none; }"));
    // The heading names the text for a screen reader.
    SkinLabel1->setBuddy(lblToShare);

    auto* Frame1 = new QGroupBox(QStringLiteral("分享到这些地方"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(TwipsRect(120, 840, 5415, 855));
    auto* Command1 = AddButton(Frame1, u"腾讯微博", "Command1", 120, 360, 1215);
    auto* Command2 = AddButton(Frame1, u"新浪微博", "Command2", 1440, 360, 1215);
    auto* Command3 = AddButton(Frame1, u"凤凰微博", "Command3", 2760, 360, 1215);
    auto* Command4 = AddButton(Frame1, u"QQ空间", "Command4", 4080, 360, 1215);
    auto* Command5 = AddButton(this, u"返 回", "Command5", 4560, 1800, 975);

    networkButtons_ = {Command1, Command2, Command3, Command4};

    // Beside the post every reader knows, one that only friends can read.
    auto* FraCipher = new QGroupBox(QStringLiteral("加密方式"), this);
    FraCipher->setObjectName(QStringLiteral("FraCipher"));
    FraCipher->setGeometry(TwipsRect(120, 2280, 5415, 2160));
    const auto cipherRow = [FraCipher](const char16_t* caption, const char* name,
                                       const char16_t* line, const char* lineName, int top) {
        auto* option = new QRadioButton(Q(caption), FraCipher);
        option->setObjectName(QString::fromLatin1(name));
        option->setGeometry(TwipsRect(120, top, 1200, 300));
        option->setAccessibleDescription(Q(line));
        auto* label = new QLabel(Q(line), FraCipher);
        label->setObjectName(QString::fromLatin1(lineName));
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(TwipsRect(1380, top, 3915, 540));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return option;
    };
    optCompatible = cipherRow(u"兼容加密", "optCompatible", kCompatibleLine, "lblCompatible", 300);
    optStrong = cipherRow(u"强加密", "optStrong", kStrongLine, "lblStrong", 900);
    lblCipherNote = new QLabel(FraCipher);
    lblCipherNote->setObjectName(QStringLiteral("lblCipherNote"));
    lblCipherNote->setTextFormat(Qt::PlainText);  // it may name a key file
    lblCipherNote->setGeometry(TwipsRect(120, 1500, 5175, 560));
    lblCipherNote->setWordWrap(true);
    lblCipherNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Two of the four networks are gone, and people post in chats and mails
    // as much as on microblogs: the text to copy, and its code for a phone.
    auto* Frame2 = new QGroupBox(QStringLiteral("复制或扫码，分享到任何地方"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(TwipsRect(120, 4500, 5415, 4020));
    picQrCode = new QrCodeView(Frame2);
    picQrCode->setObjectName(QStringLiteral("picQrCode"));
    picQrCode->setAccessibleName(QStringLiteral("二维码"));
    picQrCode->setGeometry(TwipsRect(120, 300, 3600, 3600));
    cmdCopy = AddButton(Frame2, u"复制", "cmdCopy", 3960, 300, 1335);
    cmdSaveQrCode = AddButton(Frame2, u"保存二维码", "cmdSaveQrCode", 3960, 780, 1335);
    lblStatus = new QLabel(Frame2);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);  // it names the picture's path
    lblStatus->setGeometry(TwipsRect(3960, 1260, 1335, 600));
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* lblHint = new QLabel(
        QStringLiteral(
            "复制后可粘贴到聊天、邮件或任何网站；二维码可用手机扫描，也可存成图片发出去。"),
        Frame2);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setTextFormat(Qt::PlainText);
    lblHint->setGeometry(TwipsRect(3960, 2160, 1335, 1740));
    lblHint->setWordWrap(true);
    lblHint->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

    // The window opens with the first network button focused, not with a
    // caret blinking in the share text.
    Command1->setFocus();
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, optCompatible);
    setTabOrder(optCompatible, optStrong);
    setTabOrder(optStrong, cmdCopy);
    setTabOrder(cmdCopy, cmdSaveQrCode);
    setTabOrder(cmdSaveQrCode, lblToShare);

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form4::Command5_Click);
    SetEscapeButton(Command5);
    connect(cmdCopy, &QPushButton::clicked, this, &Form4::cmdCopy_Click);
    connect(cmdSaveQrCode, &QPushButton::clicked, this, &Form4::cmdSaveQrCode_Click);
    // Toggled, not clicked: a screen reader's Toggle action chooses too. The
    // load sets the kept choice with the signals blocked, writing nothing.
    connect(optCompatible, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCipher_Click(cipher::ShareCipher::Compatible);
    });
    connect(optStrong, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            optCipher_Click(cipher::ShareCipher::Strong);
    });
}

QPushButton* Form4::AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                              int top, int width) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(left, top, width, 375));
    return button;
}

void Form4::Form_Load() {
    ApplySkin();
    cipher_ = cipher::ReadShareCipher(app_.DataFolder());
    {
        const QSignalBlocker compatible(optCompatible);
        const QSignalBlocker strong(optStrong);
        (cipher_ == cipher::ShareCipher::Strong ? optStrong : optCompatible)->setChecked(true);
    }
    ComposePost();
    // Nothing to share at all, in either cipher: the editor is empty too.
    if (app_.EditorText().empty() && !app_.Cipher().HoldsCipherText())
        app_.Dlg().Show(Q(kNothingToShareMessage), MsgStyle::kOkOnly, QStringLiteral("请确认！"));
}

void Form4::ComposePost() {
    ShareText_.clear();
    lblCipherNote->clear();
    if (cipher_ == cipher::ShareCipher::Strong)
        ComposeStrongPost();
    else
        ComposeCompatiblePost();
    if (!ShareText_.empty()) {
        QString shown = QString::fromStdU16String(ShareText_);
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lblToShare->setPlainText(shown);
    } else {
        lblToShare->clear();
    }
    for (QPushButton* button : networkButtons_)
        button->setEnabled(cipher_ == cipher::ShareCipher::Compatible || !ShareText_.empty());
    ShowQrCode();
}

void Form4::ComposeCompatiblePost() {
    const cipher::ModEncrypt& engine = app_.Cipher();
    // The code table is published only beside the cipher text it belongs
    // to: after a load or a decode ResultText holds a plain text, which must
    // not be posted as if it were encrypted.
    if (engine.HoldsCipherText()) {
        ShareText_ = cipher::ComposeShareText(engine.ResultText, engine.CodeTable);
    } else {
        ShareText_ = app_.EditorText();
    }
}

void Form4::ComposeStrongPost() {
    const HeldStrongKeys held = LoadHeldStrongKeys(app_);
    if (!held.ring.own) {
        lblCipherNote->setText(held.problem.isEmpty()
                                   ? Q(kNoStrongKeyNote)
                                   : held.problem + QStringLiteral("\n") + Q(kNoStrongKeyNote));
        return;
    }
    const std::u16string mood = app_.EditorText();
    if (mood.empty()) {
        lblCipherNote->setText(
            QStringLiteral("主界面的编辑框里没有心情：请先写下心情，再来分享。"));
        return;
    }
    const auto post = strong::SealPost(*held.ring.own, encoding::Utf16ToUtf8(mood));
    if (!post) {
        lblCipherNote->setText(
            QStringLiteral("心情太长：强加密最多 %1 个字。").arg(strong::kMaxStrongMoodChars));
        return;
    }
    ShareText_ = QString::fromStdString(*post).toStdU16String();
}

void Form4::optCipher_Click(cipher::ShareCipher chosen) {
    (chosen == cipher::ShareCipher::Strong ? optStrong : optCompatible)->setChecked(true);
    if (chosen == cipher_)
        return;
    cipher_ = chosen;
    ComposePost();
    std::string error;
    if (!cipher::WriteShareCipher(app_.DataFolder(), chosen, &error))
        lblStatus->setText(QStringLiteral("没能记住这个选择：") + app::ReasonText(error));
}

void Form4::ShowQrCode() {
    const qrcode::QrEncoding code = qrcode::EncodeQr(encoding::Utf16ToUtf8(ShareText_));
    switch (code.status) {
        case qrcode::QrStatus::Ok:
            picQrCode->SetCode(code.matrix);
            break;
        case qrcode::QrStatus::Empty:
            picQrCode->SetNote(lblCipherNote->text().isEmpty()
                                   ? QStringLiteral("没有心情，没有二维码。")
                                   : QStringLiteral("没有强加密的帖子，没有二维码。"));
            break;
        case qrcode::QrStatus::TooLong:
            picQrCode->SetNote(QStringLiteral("心情太长，放不进二维码：二维码最多容纳 %1 "
                                              "字节，这段心情有 %2 字节。请用“复制”分享。")
                                   .arg(qrcode::kMaxQrBytes)
                                   .arg(code.bytes));
            break;
        case qrcode::QrStatus::Failed:
            picQrCode->SetNote(QStringLiteral("二维码没能生成：内存不足。"));
            break;
    }
    cmdCopy->setEnabled(!ShareText_.empty());
    cmdSaveQrCode->setEnabled(picQrCode->HasCode());
    lblStatus->clear();
}

void Form4::Share(const char* endpoint, const char16_t* network) {
    // In 强加密 only a sealed post goes out, never the words as they are.
    if (cipher_ == cipher::ShareCipher::Strong && ShareText_.empty())
        return;
    const std::string address = ShareAddress(endpoint, ShareText_);
    // Beyond this a share page would refuse the address, or the browser would
    // never get it; the text still reaches people through 复制.
    if (address.size() > kMaxShareAddressBytes) {
        app_.Dlg().Show(QStringLiteral("心情太长，%1的分享页面接收不了：编码后的网址有 %2 "
                                       "字节，超过了 %3 字节。\r\n请点“复制”，再把心情粘贴到"
                                       "要发布的地方。")
                            .arg(Q(network))
                            .arg(address.size())
                            .arg(kMaxShareAddressBytes),
                        MsgStyle::kExclamation, QStringLiteral("提示"));
        return;
    }
    if (!app_.OpenUrl(address)) {
        app_.Dlg().Show(QStringLiteral("无法打开浏览器，没能分享到") + Q(network) +
                            QStringLiteral("。请确认系统已设置默认浏览器。"),
                        MsgStyle::kCritical, QStringLiteral("错误"));
    }
}

void Form4::Command1_Click() {
    Share(app::kShareTencentWeibo, u"腾讯微博");
}

void Form4::Command2_Click() {
    Share(app::kShareSinaWeibo, u"新浪微博");
}

void Form4::Command3_Click() {
    Share(app::kSharePhoenixWeibo, u"凤凰微博");
}

void Form4::Command4_Click() {
    Share(app::kShareQzone, u"QQ空间");
}

void Form4::Command5_Click() {
    close();
}

void Form4::cmdCopy_Click() {
    if (ShareText_.empty())
        return;
    const QString text = QString::fromStdU16String(ShareText_);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    // On X11 a middle click pastes the selection, which many people use.
    if (clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
    lblStatus->setText(Q(kCopiedNote));
}

void Form4::cmdSaveQrCode_Click() {
    if (!picQrCode->HasCode())
        return;
    app::FileDialogRequest request;
    request.title = Q(kSaveQrCodeTitle);
    request.filter = Q(kPngFilter);
    request.initialFolder = QDir::homePath();
    request.fileName = QDir::home().filePath(QStringLiteral("心情二维码.png"));
    QString chosen = app_.Dlg().ShowSave(request);
    if (chosen.isEmpty())
        return;
    // A name typed without an ending still becomes a picture file.
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".png");
    std::string error;
    if (!qrcode::WriteQrPng(std::filesystem::path(QFile::encodeName(chosen).toStdString()),
                            picQrCode->Code(), &error)) {
        Error(QStringLiteral("无法保存二维码：\r\n") + chosen + QStringLiteral("\r\n") +
              app::ReasonText(error));
        return;
    }
    lblStatus->setText(QStringLiteral("二维码已保存"));
}

}  // namespace velotan::windows
