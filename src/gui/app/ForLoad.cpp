#include "ForLoad.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include "App.h"
#include "Twips.h"
#include "WindowAccessible.h"
#include "app/QtText.h"
#include "passworddb/PasswordHash.h"

namespace velotan::app {
namespace {

using platform::MsgStyle;

constexpr int kMaxPasswordLength = 15;

constexpr const char16_t* kHashFailedReason = u"无法为新口令生成散列值（内存不足）。";

}  // namespace

ForLoad::ForLoad(App& app) : WindowFrame(app, "ForLoad") {
    setWindowTitle(Q(kLoginCaption));
    setFixedSize(TwipsSize(3495, 2145));

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    Frame1->setGeometry(TwipsRect(120, 0, 3255, 1335));

    const int rowTops[3] = {600, 360, 840};  // TextPass(0), (1), (2)
    LblEnter = new SkinLabel(QStringLiteral("输入口令："), QStringLiteral("LblEnter"), Frame1);
    LblNewPassword =
        new SkinLabel(QStringLiteral("新口令："), QStringLiteral("LblNewPassword"), Frame1);
    LblOK = new SkinLabel(QStringLiteral("确认口令："), QStringLiteral("LblOK"), Frame1);
    SkinLabel* labels[3] = {LblEnter, LblNewPassword, LblOK};
    for (int i = 0; i < 3; ++i) {
        labels[i]->setGeometry(TwipsRect(360, rowTops[i] + 30, 1020, 255));
        auto* box = new QLineEdit(Frame1);
        box->setObjectName(QStringLiteral("TextPass_%1").arg(i));
        box->setEchoMode(QLineEdit::Password);
        box->setMaxLength(kMaxPasswordLength);
        // One "*" per typed character, whatever the style's own mask is.
        box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        box->setGeometry(TwipsRect(1380, rowTops[i], 1695, 285));
        connect(box, &QLineEdit::returnPressed, this, &ForLoad::CommandYes_Click);
        // The label names the box for a screen reader.
        labels[i]->setBuddy(box);
        TextPass[i] = box;
    }
    LblNewPassword->hide();
    TextPass[1]->hide();
    LblOK->hide();
    TextPass[2]->hide();

    CommandYes = new QPushButton(QStringLiteral("确定"), this);
    CommandYes->setObjectName(QStringLiteral("CommandYes"));
    CommandYes->setGeometry(TwipsRect(240, 1560, 1215, 375));
    CommandYes->setDefault(true);
    CommandNo = new QPushButton(QStringLiteral("取消"), this);
    CommandNo->setObjectName(QStringLiteral("CommandNo"));
    CommandNo->setGeometry(TwipsRect(2040, 1560, 1215, 375));
    // Enter presses the button that has the focus; anywhere else it presses
    // the default button (the password boxes forward it below).
    CommandNo->setAutoDefault(true);
    connect(CommandYes, &QPushButton::clicked, this, &ForLoad::CommandYes_Click);
    connect(CommandNo, &QPushButton::clicked, this, &ForLoad::CommandNo_Click);
}

ForLoad::~ForLoad() {
    EXT();
}

void ForLoad::Form_Load() {
    ApplySkin();
    // The window is drawn before the database is opened.
    show();
    QCoreApplication::processEvents();
    if (!Conn())
        return;
    if (!OpenUser())
        return;
    if (!TextPass[0]->isHidden())
        TextPass[0]->setFocus();
}

bool ForLoad::Conn() {
    // The database is written by the password setting, so it lives in the
    // data folder (the program folder unless that cannot be written).
    const auto file = passworddb::DatabaseFile(app_.DataFolder());
    std::string error;
    if (!DbConnection.Open(file, passworddb::kDatabasePassword, &error)) {
        DatabaseFailed();
        return false;
    }
    return true;
}

void ForLoad::DatabaseFailed() {
    app_.Dlg().MsgBox(kConnectFailedMessage,
                      MsgStyle::kOkCancel | MsgStyle::kCritical | MsgStyle::kSystemModal, u"错误");
    app_.EndProgram(1);
}

bool ForLoad::OpenUser() {
    std::string value;
    std::string error;
    // A database without the table is as damaged as one that does not open.
    if (!DbConnection.ReadFirstPassword(value, &error)) {
        DatabaseFailed();
        return false;
    }
    StoredValue = value;
    return true;
}

void ForLoad::EXT() {
    DbConnection.Close();
}

void ForLoad::Inform(const char16_t* text, int icon, const char16_t* title) {
    app_.Dlg().MsgBox(text, MsgStyle::kOkOnly | icon | MsgStyle::kSystemModal, title);
}

void ForLoad::CommandYes_Click() {
    const QString caption = windowTitle();
    if (caption == Q(kLoginCaption)) {
        LoginConfirm();
    } else if (caption == Q(kPasswordSettingCaption)) {
        PasswordConfirm();
    }
}

void ForLoad::LoginConfirm() {
    const std::u16string typed = TextPass[0]->text().toStdU16String();
    const passworddb::LoginCheck check = passworddb::CheckLogin(StoredValue, typed);
    if (check == passworddb::LoginCheck::Wrong) {
        Inform(kWrongPasswordMessage, MsgStyle::kCritical, u"错误");
        return;
    }
    if (check == passworddb::LoginCheck::RightInOldForm)
        UpgradeStoredValue(typed);
    app_.ShowMainWindow();
    close();
}

void ForLoad::UpgradeStoredValue(const std::u16string& password) {
    // The old form gives the password back to anyone who copies the
    // database. Where the hash cannot be written, the old entry stays and
    // keeps working; the next login tries again.
    const auto hash = passworddb::StoredFormOf(password);
    int changed = 0;
    if (hash && DbConnection.UpdatePassword(*hash, StoredValue, changed, nullptr) && changed > 0)
        StoredValue = *hash;
}

void ForLoad::PasswordConfirm() {
    // Exactly what will be stored: "abc " confirmed by "abc" would store a
    // password the next login with "abc" never matches.
    if (TextPass[1]->text() != TextPass[2]->text()) {
        Inform(kMismatchMessage, MsgStyle::kInformation, u"信息");
        TextPass[1]->setFocus();
        return;
    }
    // The password is kept in code page 936: a character it cannot carry
    // would be stored as "?" and the typed password never match again.
    const std::u16string typed = TextPass[1]->text().toStdU16String();
    const std::u16string encoded = PasswordCodec.Base64Encode(typed);
    if (PasswordCodec.Base64Decode(encoded) != typed) {
        app_.Dlg().Show(Q(kUnstorablePasswordMessage), MsgStyle::kCritical | MsgStyle::kSystemModal,
                        QStringLiteral("错误"));
        TextPass[1]->setFocus();
        return;
    }
    if (!DbConnection.IsOpen()) {
        DatabaseFailed();
        return;
    }
    const std::optional<std::string> newValue = passworddb::StoredFormOf(typed);
    if (!newValue) {
        app_.Dlg().Show(QStringLiteral("口令未能更改：") + Q(kHashFailedReason),
                        MsgStyle::kCritical | MsgStyle::kSystemModal, QStringLiteral("错误"));
        return;
    }
    std::string error;
    if (!StoredValue.empty()) {
        int changed = 0;
        const bool ok = DbConnection.UpdatePassword(*newValue, StoredValue, changed, &error);
        // Claiming a change that did not happen would lock the user out.
        if (!ok || changed == 0) {
            const QString reason =
                ok ? QStringLiteral("数据库中没有找到当前口令。") : QString::fromStdString(error);
            app_.Dlg().Show(QStringLiteral("口令未能更改：") + reason,
                            MsgStyle::kCritical | MsgStyle::kSystemModal, QStringLiteral("错误"));
            return;
        }
        Inform(kChangedMessage, MsgStyle::kInformation, u"信息");
        close();
        return;
    }
    if (!DbConnection.ReplacePassword(*newValue, &error)) {
        app_.Dlg().Show(QStringLiteral("口令未能更改：") + QString::fromStdString(error),
                        MsgStyle::kCritical | MsgStyle::kSystemModal, QStringLiteral("错误"));
        return;
    }
    Inform(kFirstPasswordMessage, MsgStyle::kInformation, u"信息");
    close();
    app_.EndProgram(0);
}

void ForLoad::CommandNo_Click() {
    if (!TextPass[0]->isHidden()) {
        app_.EndProgram(0);
    } else {
        close();
    }
}

void ForLoad::PreparePasswordSetting(QWidget* settingsWindow) {
    setWindowTitle(Q(kPasswordSettingCaption));
    // It holds the settings window until it closes.
    MarkAsDialog(*this);
    TextPass[0]->hide();
    LblEnter->hide();
    TextPass[1]->show();
    LblNewPassword->show();
    TextPass[2]->show();
    LblOK->show();
    settingsWindow_ = settingsWindow;
    if (settingsWindow_)
        settingsWindow_->setEnabled(false);
}

void ForLoad::FocusNewPassword() {
    activateWindow();
    TextPass[1]->setFocus();
}

void ForLoad::Form_Unload() {
    if (settingsWindow_)
        settingsWindow_->setEnabled(true);
    EXT();
}

}  // namespace velotan::app
