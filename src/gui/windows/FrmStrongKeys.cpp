#include "FrmStrongKeys.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

#include "app/App.h"
#include "app/QtText.h"
#include "app/Twips.h"
#include "platform/AnsiTextFile.h"
#include "qrcode/QrCode.h"
#include "strong/StrongKey.h"
#include "windows/QrCodeView.h"

namespace velotan::windows {
namespace {

using app::Q;
using app::TwipsRect;
using platform::MsgResult;
using platform::MsgStyle;

constexpr const char16_t* kMaskedQrNote = u"点“显示密钥”后，这里显示密钥的二维码，供好友扫描。";
constexpr const char16_t* kNoOwnKeyNote = u"还没有强密钥：点“生成密钥”生成一把。";
constexpr const char16_t* kPngFilter = u"PNG 图片(*.png)|*.png";

QString Quoted(const QString& name) {
    return QStringLiteral("「") + name + QStringLiteral("」");
}

const strong::Friend* FriendNamed(const strong::StrongKeyRing& ring, const std::string& name) {
    for (const strong::Friend& f : ring.friends)
        if (f.name == name)
            return &f;
    return nullptr;
}

}  // namespace

FrmStrongKeys::FrmStrongKeys(app::App& app) : WindowFrame(app, "FrmStrongKeys") {
    setWindowTitle(Q(kFrmStrongKeysCaption));
    setFixedSize(app::TwipsSize(8400, 7860));

    auto* FraOwn = new QGroupBox(QStringLiteral("我的强密钥"), this);
    FraOwn->setObjectName(QStringLiteral("FraOwn"));
    FraOwn->setGeometry(TwipsRect(120, 120, 8160, 3120));
    auto* SkiOwnKey =
        new app::SkinLabel(QStringLiteral("把它当面交给好友，好友就能读您用强加密发的心情："),
                           QStringLiteral("SkiOwnKey"), FraOwn);
    SkiOwnKey->setGeometry(TwipsRect(240, 300, 5400, 255));
    txtOwnKey = new QLineEdit(FraOwn);
    txtOwnKey->setObjectName(QStringLiteral("txtOwnKey"));
    txtOwnKey->setGeometry(TwipsRect(240, 600, 5400, 330));
    txtOwnKey->setReadOnly(true);
    txtOwnKey->setEchoMode(QLineEdit::Password);
    txtOwnKey->setAccessibleName(QStringLiteral("我的强密钥"));
    SkiOwnKey->setBuddy(txtOwnKey);
    cmdShowKey = AddButton(FraOwn, u"显示密钥", "cmdShowKey", 240, 1080, 1695);
    cmdCopyKey = AddButton(FraOwn, u"复制密钥", "cmdCopyKey", 2040, 1080, 1695);
    cmdSaveBackup = AddButton(FraOwn, u"保存纸质备份", "cmdSaveBackup", 3840, 1080, 1800);
    cmdNewKey = AddButton(FraOwn, u"生成密钥", "cmdNewKey", 240, 1560, 1695);
    cmdImportKey = AddButton(FraOwn, u"导入密钥", "cmdImportKey", 2040, 1560, 1695);
    auto* SkiOwnNote =
        new app::SkinLabel(QStringLiteral("换了新钥匙，旧钥匙仍保留在本机：以前的心情照样能读。"
                                          "导入用于新U盘或纸质备份。"),
                           QStringLiteral("SkiOwnNote"), FraOwn);
    SkiOwnNote->setGeometry(TwipsRect(240, 2040, 5400, 900));
    SkiOwnNote->setWordWrap(true);
    SkiOwnNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picKeyQr = new QrCodeView(FraOwn);
    picKeyQr->setObjectName(QStringLiteral("picKeyQr"));
    picKeyQr->setAccessibleName(QStringLiteral("强密钥二维码"));
    picKeyQr->setGeometry(TwipsRect(5760, 240, 2280, 2760));

    auto* FraFriends = new QGroupBox(QStringLiteral("好友的强密钥"), this);
    FraFriends->setObjectName(QStringLiteral("FraFriends"));
    FraFriends->setGeometry(TwipsRect(120, 3360, 8160, 3120));
    auto* SkiFriends =
        new app::SkinLabel(QStringLiteral("好友："), QStringLiteral("SkiFriends"), FraFriends);
    SkiFriends->setGeometry(TwipsRect(240, 300, 2880, 255));
    lstFriends = new QListWidget(FraFriends);
    lstFriends->setObjectName(QStringLiteral("lstFriends"));
    lstFriends->setGeometry(TwipsRect(240, 600, 2880, 2340));
    SkiFriends->setBuddy(lstFriends);
    // A box with its label above it, which names it for a screen reader.
    const auto labeledBox = [FraFriends](const char16_t* caption, const char* labelName,
                                         const char* boxName, int top) {
        auto* label = new app::SkinLabel(Q(caption), QString::fromLatin1(labelName), FraFriends);
        label->setGeometry(TwipsRect(3360, top, 4560, 255));
        auto* box = new QLineEdit(FraFriends);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setGeometry(TwipsRect(3360, top + 300, 4560, 330));
        label->setBuddy(box);
        return box;
    };
    txtFriendName = labeledBox(u"好友的名字：", "SkiFriendName", "txtFriendName", 300);
    txtFriendKey =
        labeledBox(u"好友的强密钥（QLK1: 开头）：", "SkiFriendKey", "txtFriendKey", 1020);
    cmdAddFriend = AddButton(FraFriends, u"添加好友", "cmdAddFriend", 3360, 1800, 1695);
    cmdRemoveFriend = AddButton(FraFriends, u"删除好友", "cmdRemoveFriend", 5160, 1800, 1695);
    auto* SkiFriendNote = new app::SkinLabel(
        QStringLiteral("给已有的好友添加新钥匙：选中他，贴上新钥匙，再点“添加好友”。"
                       "他的旧钥匙仍保留，用来读他以前的心情。"),
        QStringLiteral("SkiFriendNote"), FraFriends);
    SkiFriendNote->setGeometry(TwipsRect(3360, 2220, 4560, 840));
    SkiFriendNote->setWordWrap(true);
    SkiFriendNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);  // it names friends and files
    lblStatus->setGeometry(TwipsRect(120, 6540, 8160, 300));
    auto* SkiInClear = new app::SkinLabel(Q(kKeysInClearNote), QStringLiteral("SkiInClear"), this);
    SkiInClear->setGeometry(TwipsRect(120, 6840, 6960, 900));
    SkiInClear->setWordWrap(true);
    SkiInClear->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdBack = AddButton(this, u"返 回", "cmdBack", 7200, 7260, 1080);

    setTabOrder(cmdShowKey, cmdCopyKey);
    setTabOrder(cmdCopyKey, cmdSaveBackup);
    setTabOrder(cmdSaveBackup, cmdNewKey);
    setTabOrder(cmdNewKey, cmdImportKey);
    setTabOrder(cmdImportKey, lstFriends);
    setTabOrder(lstFriends, txtFriendName);
    setTabOrder(txtFriendName, txtFriendKey);
    setTabOrder(txtFriendKey, cmdAddFriend);
    setTabOrder(cmdAddFriend, cmdRemoveFriend);
    setTabOrder(cmdRemoveFriend, cmdBack);

    // Escape leaves, as 返 回 does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &FrmStrongKeys::cmdBack_Click);

    connect(cmdShowKey, &QPushButton::clicked, this, &FrmStrongKeys::cmdShowKey_Click);
    connect(cmdCopyKey, &QPushButton::clicked, this, &FrmStrongKeys::cmdCopyKey_Click);
    connect(cmdSaveBackup, &QPushButton::clicked, this, &FrmStrongKeys::cmdSaveBackup_Click);
    connect(cmdNewKey, &QPushButton::clicked, this, &FrmStrongKeys::cmdNewKey_Click);
    connect(cmdImportKey, &QPushButton::clicked, this, &FrmStrongKeys::cmdImportKey_Click);
    connect(cmdAddFriend, &QPushButton::clicked, this, &FrmStrongKeys::cmdAddFriend_Click);
    connect(cmdRemoveFriend, &QPushButton::clicked, this, &FrmStrongKeys::cmdRemoveFriend_Click);
    connect(cmdBack, &QPushButton::clicked, this, &FrmStrongKeys::cmdBack_Click);
    // A chosen friend's name is where a new key for them goes.
    connect(lstFriends, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (!name.isEmpty())
            txtFriendName->setText(name);
    });
}

QPushButton* FrmStrongKeys::AddButton(QWidget* parent, const char16_t* caption, const char* name,
                                      int left, int top, int width) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(left, top, width, 375));
    return button;
}

void FrmStrongKeys::Form_Load() {
    ApplySkin();
    Reload();
    if (!held_.problem.isEmpty())
        Error(held_.problem);
}

void FrmStrongKeys::Reload() {
    held_ = LoadHeldStrongKeys(app_);
    ShowKeys();
    lblStatus->setText(held_.problem);
}

bool FrmStrongKeys::ReloadForChange() {
    held_ = LoadHeldStrongKeys(app_);
    if (held_.folder)
        return true;
    Error(held_.problem);
    ShowKeys();
    return false;
}

void FrmStrongKeys::ShowKeys() {
    const bool store = held_.folder.has_value();
    const bool own = held_.ring.own.has_value();
    txtOwnKey->setText(own ? FromUtf8(strong::KeyText(*held_.ring.own)) : QString());
    txtOwnKey->setPlaceholderText(own ? QString() : QStringLiteral("还没有强密钥"));
    cmdShowKey->setEnabled(own);
    cmdCopyKey->setEnabled(own);
    cmdSaveBackup->setEnabled(own);
    cmdNewKey->setText(own ? QStringLiteral("生成新密钥") : QStringLiteral("生成密钥"));
    cmdNewKey->setEnabled(store);
    cmdImportKey->setEnabled(store);
    cmdAddFriend->setEnabled(store);
    cmdRemoveFriend->setEnabled(store && !held_.ring.friends.empty());
    if (own && keyShown_)
        ShowOwnKey();
    else
        HideOwnKey();
    if (!own)
        picKeyQr->SetNote(Q(kNoOwnKeyNote));

    const QString chosen =
        lstFriends->currentItem() ? lstFriends->currentItem()->text() : QString();
    lstFriends->clear();
    for (const strong::Friend& f : held_.ring.friends) {
        lstFriends->addItem(FromUtf8(f.name));
        if (FromUtf8(f.name) == chosen)
            lstFriends->setCurrentRow(lstFriends->count() - 1);
    }
}

void FrmStrongKeys::ShowOwnKey() {
    keyShown_ = true;
    txtOwnKey->setEchoMode(QLineEdit::Normal);
    // From its start: the prefix says what the text is.
    txtOwnKey->setCursorPosition(0);
    cmdShowKey->setText(QStringLiteral("隐藏密钥"));
    const qrcode::QrEncoding code = qrcode::EncodeQr(strong::KeyText(*held_.ring.own));
    if (code.status == qrcode::QrStatus::Ok)
        picKeyQr->SetCode(code.matrix);
    else
        picKeyQr->SetNote(QStringLiteral("二维码没能生成。"));
}

void FrmStrongKeys::HideOwnKey() {
    keyShown_ = false;
    txtOwnKey->setEchoMode(QLineEdit::Password);
    cmdShowKey->setText(QStringLiteral("显示密钥"));
    picKeyQr->SetNote(Q(kMaskedQrNote));
}

bool FrmStrongKeys::Report(const strong::RingResult& result) {
    if (result.status == strong::RingStatus::Ok || result.status == strong::RingStatus::Unchanged)
        return true;
    Error(FromUtf8(strong::RingMessage(result)));
    return false;
}

bool FrmStrongKeys::Ask(const QString& question) {
    return app_.Dlg().Show(question, MsgStyle::kYesNo | MsgStyle::kQuestion,
                           QStringLiteral("请确认！")) == MsgResult::Yes;
}

void FrmStrongKeys::Tell(const QString& text) {
    app_.Dlg().Show(text, MsgStyle::kOkOnly, QStringLiteral("提示"));
}

void FrmStrongKeys::cmdShowKey_Click() {
    if (!held_.ring.own)
        return;
    if (keyShown_)
        HideOwnKey();
    else
        ShowOwnKey();
}

void FrmStrongKeys::cmdCopyKey_Click() {
    if (!held_.ring.own)
        return;
    // The clipboard only: the key is a secret, and the X11 selection is
    // handed to whatever window asks for it next.
    QGuiApplication::clipboard()->setText(FromUtf8(strong::KeyText(*held_.ring.own)),
                                          QClipboard::Clipboard);
    lblStatus->setText(QStringLiteral("密钥已复制到剪贴板。"));
}

void FrmStrongKeys::cmdNewKey_Click() {
    if (!ReloadForChange())
        return;
    const bool replace = held_.ring.own.has_value();
    if (replace && !Ask(Q(kNewKeyQuestion)))
        return;
    const strong::RingResult result =
        strong::SaveNewOwnKey(*held_.folder, strong::NewStrongKey(), replace, held_.ring);
    keyShown_ = false;
    ShowKeys();
    if (Report(result))
        lblStatus->setText(replace ? QStringLiteral("已生成新的强密钥，请把它当面交给每位好友。")
                                   : QStringLiteral("已生成强密钥，请把它当面交给好友。"));
}

void FrmStrongKeys::cmdImportKey_Click() {
    const auto answer =
        app_.Dlg().InputBox(Q(kImportKeyPrompt), QStringLiteral("导入密钥"), QString());
    if (!answer || answer->trimmed().isEmpty())
        return;
    const strong::ParsedKey parsed = strong::ParseKeyText(ToUtf8(*answer));
    if (!parsed.key) {
        Error(FromUtf8(strong::KeyTextErrorMessage(parsed.error)) +
              QStringLiteral("\r\n密钥没有导入，原来的强密钥保持不变。"));
        return;
    }
    if (!ReloadForChange())
        return;
    if (held_.ring.own && *held_.ring.own != *parsed.key &&
        !Ask(QStringLiteral("导入的钥匙将成为您的当前强密钥，原来的钥匙保留为旧钥匙。\r\n"
                            "好友要有这把钥匙，才能读您以后的心情。\r\n要导入吗？")))
        return;
    const strong::RingResult result =
        strong::SaveImportedOwnKey(*held_.folder, *parsed.key, held_.ring);
    keyShown_ = false;
    ShowKeys();
    if (Report(result))
        lblStatus->setText(QStringLiteral("强密钥已导入。"));
}

void FrmStrongKeys::cmdAddFriend_Click() {
    const QString typedName = txtFriendName->text().trimmed();
    if (typedName.isEmpty()) {
        Tell(QStringLiteral("请输入好友的名字！"));
        txtFriendName->setFocus();
        return;
    }
    if (txtFriendKey->text().trimmed().isEmpty()) {
        Tell(QStringLiteral("请输入好友的强密钥！"));
        txtFriendKey->setFocus();
        return;
    }
    const auto name = strong::CleanFriendName(ToUtf8(typedName));
    if (!name) {
        Tell(QStringLiteral("好友的名字里不能有换行或控制字符。"));
        txtFriendName->setFocus();
        return;
    }
    const strong::ParsedKey parsed = strong::ParseKeyText(ToUtf8(txtFriendKey->text()));
    if (!parsed.key) {
        Error(FromUtf8(strong::KeyTextErrorMessage(parsed.error)) +
              QStringLiteral("\r\n好友的钥匙没有添加。"));
        txtFriendKey->setFocus();
        return;
    }
    if (!ReloadForChange())
        return;
    const QString shownName = Quoted(FromUtf8(*name));
    const strong::Friend* known = FriendNamed(held_.ring, *name);
    const bool newKey = known && known->current != *parsed.key;
    if (newKey &&
        !Ask(shownName + QStringLiteral("已经是您的好友。\r\n把这把钥匙作为") + shownName +
             QStringLiteral("的新钥匙吗？旧钥匙仍保留，用来读他以前的心情。")))
        return;
    const strong::RingResult result =
        strong::SaveFriend(*held_.folder, *name, *parsed.key, held_.ring);
    ShowKeys();
    if (!Report(result))
        return;
    txtFriendKey->clear();
    if (result.status == strong::RingStatus::Unchanged)
        lblStatus->setText(shownName + QStringLiteral("已经有这把钥匙了。"));
    else if (newKey)
        lblStatus->setText(QStringLiteral("已为") + shownName + QStringLiteral("换上新钥匙。"));
    else
        lblStatus->setText(QStringLiteral("已添加好友") + shownName + QStringLiteral("。"));
    const auto items = lstFriends->findItems(FromUtf8(*name), Qt::MatchExactly);
    if (!items.isEmpty())
        lstFriends->setCurrentItem(items.front());
}

void FrmStrongKeys::cmdRemoveFriend_Click() {
    QListWidgetItem* item = lstFriends->currentItem();
    if (!item) {
        Tell(QStringLiteral("请先在列表中选中要删除的好友。"));
        return;
    }
    const QString name = item->text();
    if (!Ask(QStringLiteral("删除好友") + Quoted(name) +
             QStringLiteral("后，本机不再用他的钥匙读心情。\r\n请注意：他手里仍有您的强密钥，"
                            "仍能读您以后的心情。") +
             Q(kRemovedFriendNote) + QStringLiteral("\r\n要删除") + Quoted(name) +
             QStringLiteral("吗？")))
        return;
    if (!ReloadForChange())
        return;
    const strong::RingResult result =
        strong::SaveFriendRemoved(*held_.folder, ToUtf8(name), held_.ring);
    ShowKeys();
    if (Report(result)) {
        txtFriendName->clear();
        lblStatus->setText(QStringLiteral("已删除好友") + Quoted(name) + QStringLiteral("。"));
    }
}

void FrmStrongKeys::cmdSaveBackup_Click() {
    if (!held_.ring.own)
        return;
    app::FileDialogRequest request;
    request.title = QStringLiteral("保存纸质备份");
    request.filter = Q(kPngFilter);
    request.initialFolder = QDir::homePath();
    request.fileName = QDir::home().filePath(QStringLiteral("强密钥备份.png"));
    QString chosen = app_.Dlg().ShowSave(request);
    if (chosen.isEmpty())
        return;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".png");
    const QImage picture = StrongKeyBackupPicture(strong::KeyText(*held_.ring.own));
    QByteArray png;
    QBuffer buffer(&png);
    std::string error = "cannot encode the picture as PNG";
    // Whole or not at all, and for the user's eyes only: it is the key.
    const bool saved =
        buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG") &&
        platform::WriteFileAtomic(std::filesystem::path(QFile::encodeName(chosen).toStdString()),
                                  std::string_view(png.constData(), png.size()),
                                  platform::kPrivateFileMode, &error);
    if (!saved) {
        Error(QStringLiteral("无法保存纸质备份：\r\n") + chosen + QStringLiteral("\r\n") +
              app::ReasonText(error));
        return;
    }
    lblStatus->setText(QStringLiteral("纸质备份已保存。请打印出来，像保管钥匙一样保管它。"));
}

void FrmStrongKeys::cmdBack_Click() {
    close();
}

QImage StrongKeyBackupPicture(const std::string& keyText) {
    constexpr int kWidth = 1000;
    constexpr int kMargin = 60;
    const qrcode::QrEncoding code = qrcode::EncodeQr(keyText);
    const qrcode::QrPicture qr = code.status == qrcode::QrStatus::Ok
                                     ? qrcode::RenderQr(code.matrix, 12)
                                     : qrcode::QrPicture{};
    const int height = kMargin + 60 + 90 + qr.width + 60 + 200 + kMargin;
    QImage page(kWidth, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setPen(Qt::black);

    QFont title = QGuiApplication::font();
    title.setPixelSize(34);
    title.setBold(true);
    painter.setFont(title);
    int y = kMargin;
    painter.drawText(QRect(kMargin, y, kWidth - 2 * kMargin, 50), Qt::AlignLeft,
                     QStringLiteral("青岚心情加密器 · 强密钥纸质备份"));
    y += 60;

    // The key in a fixed-width font, large enough to type back without doubt.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(26);
    painter.setFont(mono);
    painter.drawText(QRect(kMargin, y, kWidth - 2 * kMargin, 80),
                     Qt::AlignLeft | Qt::TextWrapAnywhere, FromUtf8(keyText));
    y += 90;

    if (qr.width > 0) {
        QImage code(qr.width, qr.width, QImage::Format_Grayscale8);
        for (int row = 0; row < qr.width; ++row)
            std::copy_n(qr.pixels.begin() + static_cast<long>(row) * qr.width, qr.width,
                        code.scanLine(row));
        painter.drawImage(QPoint((kWidth - qr.width) / 2, y), code);
        y += qr.width + 60;
    }

    QFont body = QGuiApplication::font();
    body.setPixelSize(24);
    painter.setFont(body);
    painter.drawText(
        QRect(kMargin, y, kWidth - 2 * kMargin, 200), Qt::AlignLeft | Qt::TextWordWrap,
        QStringLiteral("恢复：多项设置 → 好友与强密钥 → 导入密钥，输入上面的文字或扫描二维码。\n"
                       "拿到这张纸的人能读您的强加密心情，也能以您的名义写。"
                       "请像保管钥匙一样保管它。"));
    return page;
}

}  // namespace velotan::windows
