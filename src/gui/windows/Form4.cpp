#include "Form4.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>

#include "app/App.h"
#include "app/Form1.h"
#include "app/QtText.h"
#include "app/TextBox.h"
#include "app/Twips.h"
#include "app/WebSites.h"
#include "app/WindowFonts.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ShareAddress.h"

namespace velotan::windows {
namespace {

using app::TwipsRect;
using platform::MsgStyle;

using app::Q;

}  // namespace

Form4::Form4(app::App& app) : app_(app) {
    setObjectName(QStringLiteral("Form4"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q(kForm4Caption));
    setFont(app::ProgramFont());
    setFixedSize(app::TwipsSize(5655, 2295));

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

    auto* Frame1 = new QGroupBox(QStringLiteral("分享到这些地方"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(TwipsRect(120, 840, 5415, 855));
    auto* Command1 = AddButton(Frame1, u"腾讯微博", "Command1", 120, 360, 1215);
    auto* Command2 = AddButton(Frame1, u"新浪微博", "Command2", 1440, 360, 1215);
    auto* Command3 = AddButton(Frame1, u"凤凰微博", "Command3", 2760, 360, 1215);
    auto* Command4 = AddButton(Frame1, u"QQ空间", "Command4", 4080, 360, 1215);
    auto* Command5 = AddButton(this, u"返 回", "Command5", 4560, 1800, 975);

    // The window opens with the first network button focused, not with a
    // caret blinking in the share text.
    Command1->setFocus();
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, lblToShare);

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form4::Command5_Click);
}

QPushButton* Form4::AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                              int top, int width) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(left, top, width, 375));
    return button;
}

void Form4::Form_Load() {
    app::ApplyWindowSkin(Skin1, *this, app_.ProgramFolder());
    const cipher::ModEncrypt& engine = app_.Cipher();
    ShareText_.clear();
    // The code table is published only beside the cipher text it belongs
    // to: after a load or a decode ResultText holds a plain text, which must
    // not be posted as if it were encrypted.
    if (engine.HoldsCipherText()) {
        ShareText_ = u"心情：" + engine.ResultText + u"解密钥匙：" + engine.CodeTable;
    } else if (const app::Form1* main = app_.MainWindow(); main && !main->Unloaded()) {
        ShareText_ = main->txtText1->Text16();
    }
    if (!ShareText_.empty()) {
        QString shown = QString::fromStdU16String(ShareText_);
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lblToShare->setPlainText(shown);
    } else {
        lblToShare->clear();
        app_.Dlg().Show(Q(kNothingToShareMessage), MsgStyle::kOkOnly, QStringLiteral("请确认！"));
    }
}

void Form4::Share(const char* endpoint, const char16_t* network) {
    const std::string address = ShareAddress(endpoint, ShareText_);
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

void Form4::closeEvent(QCloseEvent* event) {
    unloaded_ = true;
    event->accept();
}

}  // namespace velotan::windows
