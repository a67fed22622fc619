#include "Form2.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "VxLedControl/MemoryPropertyBag.h"
#include "VxLedControl/VxLedControl.h"
#include "app/App.h"
#include "app/CommonDialog1.h"
#include "app/EditorFontSettings.h"
#include "app/FontSettings.h"
#include "app/OleColor.h"
#include "app/QtText.h"
#include "app/Twips.h"
#include "cipher/KeyFile.h"
#include "cipher/KeyNumber.h"
#include "cipher/KeyStoreFiles.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SettingsInput.h"
#include "controlhost/ControlHost.h"
#include "platform/AnsiTextFile.h"
#include "platform/DriveMap.h"

namespace velotan::windows {
namespace {

namespace fs = std::filesystem;
using app::TwipsRect;
using platform::MsgStyle;

using app::PathText;
using app::Q;
using app::ReasonText;

// Window coordinates of the design, made relative to the frame a control sits in.
QRect InFrame(const QRect& frame, int left, int top, int width, int height) {
    return TwipsRect(left, top, width, height).translated(-frame.topLeft());
}

// The panel's saved property set, as the window was designed: black
// background, pure green dots, dim unlit dots, an empty caption; everything
// else at the control's defaults.
void LoadDesignedProperties(vxled::IMyPLed& led) {
    vxled::MemoryPropertyBag bag;
    bag.WriteProperty(QStringLiteral("BackColor"), kLedBackColor, {});
    bag.WriteProperty(QStringLiteral("ForeColor"), kLedLitColor, {});
    bag.WriteProperty(QStringLiteral("LedBackColor"), kLedUnlitColor, {});
    bag.WriteProperty(QStringLiteral("Caption"), QString(), QStringLiteral("123.4"));
    led.ReadProperties(bag);
}

// The designed label font fits its lines into the label; a taller substitute
// font (and the fallback font that draws the Chinese text) would cut the last
// line off, so it shrinks until the laid-out text fits.
void FitText(QLabel& label) {
    QFont font = label.font();
    const QRect room(0, 0, label.width(), QWIDGETSIZE_MAX);
    const auto fits = [&] {
        const QRect needed =
            QFontMetrics(font).boundingRect(room, Qt::AlignLeft | Qt::AlignTop, label.text());
        return needed.height() <= label.height();
    };
    while (font.pointSizeF() > 6 && !fits())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label.setFont(font);
}

}  // namespace

Form2::Form2(app::App& app, std::shared_ptr<platform::ControlHost> host)
    : WindowFrame(app, "Form2"), host_(std::move(host)) {
    setWindowTitle(Q(kForm2Caption));
    setFixedSize(app::TwipsSize(7215, 4320));

    Fra = new QGroupBox(QStringLiteral("私人密钥信息"), this);
    Fra->setObjectName(QStringLiteral("Fra"));
    Fra->setGeometry(TwipsRect(120, 120, 6975, 2055));
    const QRect fra = Fra->geometry();

    auto* SkiChar =
        new app::SkinLabel(QStringLiteral("您的密钥："), QStringLiteral("SkiChar"), Fra);
    SkiChar->setGeometry(InFrame(fra, 240, 360, 5775, 255));

    auto* cmdBuildChar =
        AddButton(u"生成随机密钥", "cmdBuildChar", Fra, InFrame(fra, 240, 1080, 1215, 360));
    auto* Command1 = AddButton(u"给密钥挪地", "Command1", Fra, InFrame(fra, 2640, 1080, 1215, 360));

    auto* Ski_ = new app::SkinLabel(
        QStringLiteral("请注意：\n1.如果不是必须，请不要更改密钥，这将导致所有文件解密失败！\n"
                       "2.请插入第一次使用时，生成了密钥的U盘来进行修改！"),
        QStringLiteral("Ski_"), Fra);
    Ski_->setGeometry(InFrame(fra, 240, 1440, 6735, 615));
    Ski_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label may use the frame down to its border: it draws no background.
    Ski_->resize(Ski_->width(), std::max(Ski_->height(), Fra->height() - Ski_->y() - 2));
    FitText(*Ski_);

    FraFont = new QGroupBox(QStringLiteral("字体设置"), this);
    FraFont->setObjectName(QStringLiteral("FraFont"));
    FraFont->setGeometry(TwipsRect(120, 2160, 6975, 735));
    const QRect fraFont = FraFont->geometry();
    auto* cmdSetFontStyle = AddButton(u"设置字体样式", "cmdSetFontStyle", FraFont,
                                      InFrame(fraFont, 240, 2400, 1215, 360));
    auto* cmdSetFontColor = AddButton(u"查看字体设置", "cmdSetFontColor", FraFont,
                                      InFrame(fraFont, 1440, 2400, 1215, 360));

    FraPS = new QGroupBox(QStringLiteral("密码设置"), this);
    FraPS->setObjectName(QStringLiteral("FraPS"));
    FraPS->setGeometry(TwipsRect(120, 3000, 6975, 735));
    auto* cmdChange = AddButton(u"修 改(&C)", "cmdChange", FraPS,
                                InFrame(FraPS->geometry(), 240, 3240, 990, 360));

    // Belongs to the window, not the frame, yet sits in the frame's row of
    // key buttons; it must be above the frame to be seen.
    auto* cmdLoadChar =
        AddButton(u"更改随机密钥", "cmdLoadChar", this, TwipsRect(1440, 1080, 1215, 360));
    cmdLoadChar->raise();
    auto* cmdBack = AddButton(u"返回主界面", "cmdBack", this, TwipsRect(6000, 3840, 1110, 360));
    // The strong keys live in a window of their own; its way in sits in the
    // free corner of the bottom row.
    auto* cmdStrongKeys =
        AddButton(u"好友与强密钥", "cmdStrongKeys", this, TwipsRect(120, 3840, 1695, 360));
    // Tab follows the row of key buttons from left to right, and the bottom
    // row too.
    setTabOrder(cmdBuildChar, cmdLoadChar);
    setTabOrder(cmdStrongKeys, cmdBack);

    connect(cmdBuildChar, &QPushButton::clicked, this, &Form2::cmdBuildChar_Click);
    connect(cmdLoadChar, &QPushButton::clicked, this, &Form2::cmdLoadChar_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(cmdSetFontStyle, &QPushButton::clicked, this, &Form2::cmdSetFontStyle_Click);
    connect(cmdSetFontColor, &QPushButton::clicked, this, &Form2::cmdSetFontColor_Click);
    connect(cmdChange, &QPushButton::clicked, this, &Form2::cmdChange_Click);
    connect(cmdBack, &QPushButton::clicked, this, &Form2::cmdBack_Click);
    connect(cmdStrongKeys, &QPushButton::clicked, this, &Form2::cmdStrongKeys_Click);
    SetEscapeButton(cmdBack);
}

Form2::~Form2() {
    // The panel's code lives in its library; the panel goes before the host
    // that may unload it.
    delete ledWidget_.data();
}

QPushButton* Form2::AddButton(const char16_t* caption, const char* name, QWidget* parent,
                              const QRect& geometry) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

void Form2::CreateLed() {
    if (ledTried_)
        return;
    ledTried_ = true;
    const QRect place = InFrame(Fra->geometry(), 240, 600, 2175, 375);
    platform::HostedControl hosted;
    if (host_)
        hosted = host_->createControl(QString::fromLatin1(kLedProgId), Fra);
    else
        hosted.error = QStringLiteral("no control host");
    if (hosted) {
        lblChar = hosted.control;
        ledWidget_ = hosted.control->widget();
        ledWidget_->setObjectName(QStringLiteral("lblChar"));
        // A screen reader says what the panel is; the keys follow as its
        // description.
        ledWidget_->setAccessibleName(QStringLiteral("您的密钥"));
        LoadDesignedProperties(*lblChar);
        ledWidget_->setGeometry(place);
        ledWidget_->show();
        return;
    }
    // The window works without the panel: the keys show as plain text.
    auto* label = new QLabel(Fra);
    label->setObjectName(QStringLiteral("lblChar"));
    label->setTextFormat(Qt::PlainText);  // the keys as the key file has them
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->show();
    ledLabel_ = label;
    Error(QStringLiteral("无法创建密钥显示控件 %1，密钥将以文字显示。\r\n%2")
              .arg(QString::fromLatin1(kLedProgId), hosted.error));
}

vxled::IMyPLed* Form2::LedControl() const {
    return ledWidget_ ? lblChar : nullptr;
}

void Form2::SetLedCaption(const QString& caption) {
    if (vxled::IMyPLed* led = LedControl()) {
        led->PutProperty(vxled::MyPLedDispId::Caption, caption);
    } else if (ledLabel_) {
        ledLabel_->setText(caption);
    }
}

QString Form2::KeyCaption() const {
    const cipher::ModEncrypt& engine = app_.Cipher();
    return QString::number(engine.FirstKey) + u'.' + QString::number(engine.SecondKey);
}

void Form2::Form_Load() {
    CreateLed();
    ApplySkin();
    const cipher::ModEncrypt& engine = app_.Cipher();
    if (engine.FirstKey != 0 && engine.SecondKey != 0)
        SetLedCaption(KeyCaption());
}

void Form2::cmdBuildChar_Click() {
    if (!ConfirmNewKeys())
        return;
    app_.Cipher().BuildKeys(app_.MainState().USBNAME);
    SetLedCaption(KeyCaption());
}

bool Form2::ConfirmNewKeys() {
    const cipher::ModEncrypt& engine = app_.Cipher();
    // Without keys there is nothing to lose.
    if (engine.FirstKey == 0 && engine.SecondKey == 0)
        return true;
    QString question = QStringLiteral(
                           "生成新的随机密钥后，用现在的密钥（%1）加密的文档和心情，"
                           "只有在“更改随机密钥”中输入现在的这对密钥后才能读出。")
                           .arg(KeyCaption());
    if (const auto folder = engine.KeyStoreFolder()) {
        question += QStringLiteral("\r\n现在的密钥会保存在：\r\n") +
                    PathText(*folder / cipher::kEarlierKeysFileName);
    }
    question += QStringLiteral("\r\n确定要生成新的随机密钥吗？");
    return app_.Dlg().ConfirmRisky(question);
}

std::optional<int16_t> Form2::AskKey(const char16_t* prompt) {
    const auto answer = app_.Dlg().InputBox(Q(prompt), Q(kProgramTitle), QString());
    if (!answer || answer->trimmed().isEmpty())
        return std::nullopt;
    const auto key = cipher::ParseKeyNumber(answer->toStdU16String(), cipher::KeyForm::Imported);
    if (!key) {
        Error(QStringLiteral("“%1”不是 1 到 255 之间的整数。\r\n密钥没有导入，原来的密钥保持不变。")
                  .arg(*answer));
    }
    return key;
}

void Form2::cmdLoadChar_Click() {
    // Nothing changes until both keys are whole numbers in the promised range.
    const auto first = AskKey(kFirstKeyPrompt);
    if (!first)
        return;
    const auto second = AskKey(kSecondKeyPrompt);
    if (!second)
        return;
    K = *first;
    B = *second;
    KeyChar = cipher::ComposeKeyLine(K, B);
    app_.Cipher().ImportKeys(K, B);
    SetLedCaption(KeyCaption());
}

int32_t Form2::EditorColor() const {
    return app_.EditorFont().Color().value_or(
        app::ToOleColor(QApplication::palette().color(QPalette::Text)));
}

void Form2::cmdSetFontStyle_Click() {
    app::CommonDialog1& dialog = app_.CommonDialog();
    app::EditorFontSettings& editor = app_.EditorFont();
    // Both dialogs start on what the editor shows now.
    const QFont current = editor.Font();
    dialog.FontName = current.family();
    dialog.FontSize = current.pointSizeF();
    dialog.FontBold = current.bold();
    dialog.FontItalic = current.italic();
    dialog.Flags = 3;
    if (!dialog.ShowFont())
        return;

    QFont font = editor.Font();
    if (!dialog.FontName.isEmpty())
        font.setFamily(dialog.FontName);
    if (dialog.FontSize > 0)
        font.setPointSizeF(float(dialog.FontSize));
    font.setBold(dialog.FontBold);
    font.setItalic(dialog.FontItalic);
    editor.SetFont(font);

    // A cancelled colour dialog leaves the editor's colour in the dialog, so
    // that colour is what gets stored, never one left from an earlier use.
    dialog.Color = EditorColor();
    dialog.Flags = 1;
    dialog.ShowColor();
    editor.SetColor(dialog.Color);

    const app::FontSettings chosen{dialog.FontName, dialog.FontSize, dialog.FontBold,
                                   dialog.FontItalic, dialog.Color};
    std::string error;
    if (!app::WriteFontIni(app_.DataFolder(), chosen, &error)) {
        Error(QStringLiteral("无法保存字体设置，原来的 Font.ini 保持不变：\r\n") +
              PathText(app_.DataFolder() / app::kFontFileName) + QStringLiteral("\r\n") +
              ReasonText(error));
    }
}

void Form2::cmdSetFontColor_Click() {
    const auto lines = platform::ReadAnsiLines(app_.DataFolder() / app::kFontFileName);
    // Blank lines before the first text are dropped; later ones stay.
    QString text;
    if (lines) {
        for (const std::u16string& line : *lines) {
            if (text.isEmpty())
                text = QString::fromStdU16String(line);
            else
                text += QStringLiteral("\r\n") + QString::fromStdU16String(line);
        }
    }
    if (text.isEmpty())
        text = Q(kNoFontSettingsMessage);
    app_.Dlg().Show(text, MsgStyle::kInformation, Q(kFontInfoTitle));
}

void Form2::cmdChange_Click() {
    app_.OpenPasswordSetting(this);
}

QString Form2::RelocatePrompt() const {
    const cipher::ModEncrypt& engine = app_.Cipher();
    const auto folder = engine.KeyStoreFolder();
    const QString current =
        folder ? PathText(*folder)
        : engine.KeyStoreRoot.empty()
            ? QStringLiteral("尚未设置")
            : QString::fromStdU16String(engine.KeyStoreRoot) + QStringLiteral("（现在无法访问）");
    // A drive letter names a stick (D to Z); a folder must exist already.
    return QStringLiteral("现在的密钥位置：%1\r\n").arg(current) +
           Q(kRelocatePrompt).arg(QDir::toNativeSeparators(QDir::homePath()));
}

Form2::KeyCopy Form2::OfferKeyCopy(const QString& root, const platform::DriveMap& drives) {
    const cipher::ModEncrypt& engine = app_.Cipher();
    const auto from = engine.KeyStoreFolder();
    const auto newRoot = drives.RootFolder(root.toStdU16String());
    // Nothing to take along, or nowhere to put it yet (a stick not plugged in).
    if (!from || !platform::IsOrdinaryFile(*from / cipher::kKeyFileName) || !newRoot)
        return KeyCopy::NotCopied;
    const fs::path to = *newRoot / "mxsw" / "encrypt";
    std::error_code ec;
    if (fs::equivalent(*from, to, ec) ||
        fs::exists(fs::symlink_status(to / cipher::kKeyFileName, ec)))
        return KeyCopy::NotCopied;
    const QString question = QStringLiteral(
                                 "新位置还没有密钥文件。是否把现在的密钥复制过去？\r\n"
                                 "从：%1\r\n到：%2\r\n"
                                 "原来位置的密钥文件会保留，不会删除。")
                                 .arg(PathText(*from), PathText(to));
    if (app_.Dlg().Show(question, MsgStyle::kYesNo | MsgStyle::kQuestion,
                        QStringLiteral("请确认！")) != platform::MsgResult::Yes)
        return KeyCopy::NotCopied;
    std::string error;
    if (!cipher::CopyKeyStore(*from, to, &error)) {
        Error(QStringLiteral("无法把密钥复制到新位置，settings.ini 没有更改：\r\n") + PathText(to) +
              QStringLiteral("\r\n") + ReasonText(error));
        return KeyCopy::Failed;
    }
    return KeyCopy::Copied;
}

void Form2::Command1_Click() {
    const auto answer = app_.Dlg().InputBox(RelocatePrompt(), Q(kProgramTitle), QString());
    if (!answer)
        return;
    // The INI reader trims the value, so the check sees what the next start sees.
    const QString root = answer->trimmed();
    if (root.isEmpty())
        return;
    const platform::DriveMap drives = platform::DriveMap::Scan();
    switch (CheckKeyStoreRoot(root.toStdU16String(), drives)) {
        case RootCheck::Ok:
            break;
        case RootCheck::NoSuchFolder:
            Error(QStringLiteral("“%1”既不是一个盘符，也不是一个已存在的文件夹。\r\n"
                                 "请输入一个盘符（如 E），或一个已存在文件夹的完整路径。\r\n"
                                 "settings.ini 没有更改。")
                      .arg(root));
            return;
        case RootCheck::NoSuchDrive:
            Error(QStringLiteral("“%1”不能作为盘符：盘符只能是 D 到 Z 之间的字母。\r\n"
                                 "settings.ini 没有更改。")
                      .arg(root));
            return;
        case RootCheck::TooLong:
            Error(
                QStringLiteral("路径过长：settings.ini 只能保存 127 个字节的位置"
                               "（一个汉字占两个字节）。\r\nsettings.ini 没有更改。"));
            return;
        case RootCheck::Unrepresentable:
            Error(QStringLiteral("“%1”中含有 settings.ini 无法保存的字符。\r\n"
                                 "settings.ini 没有更改。")
                      .arg(root));
            return;
    }
    const KeyCopy copy = OfferKeyCopy(root, drives);
    if (copy == KeyCopy::Failed)
        return;
    std::string error;
    if (!cipher::WriteKeyChar(app_.DataFolder(), root.toStdU16String(), &error)) {
        Error(QStringLiteral("无法写入 settings.ini，密钥位置没有更改：\r\n") +
              PathText(app_.DataFolder() / cipher::kSettingsFileName) + QStringLiteral("\r\n") +
              ReasonText(error));
        return;
    }
    app_.Dlg().Show(Q(copy == KeyCopy::Copied ? kRelocatedWithKeysMessage : kRelocatedMessage),
                    MsgStyle::kInformation, QStringLiteral("提示"));
}

void Form2::cmdStrongKeys_Click() {
    app_.OpenWindow(app::AppWindow::StrongKeys);
}

void Form2::cmdBack_Click() {
    app_.ShowMainWindow();
    close();
}

}  // namespace velotan::windows
