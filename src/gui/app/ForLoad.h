#pragma once
// ForLoad, the login window: guards the start, and under "口令设置" sets the password.

#include <QPointer>
#include <array>
#include <string>

#include "WindowFrame.h"
#include "encoding/Class1.h"
#include "passworddb/PasswordDatabase.h"

class QFrame;
class QLineEdit;
class QPushButton;

namespace velotan::app {

class App;

inline constexpr const char16_t* kLoginCaption = u"登录";
inline constexpr const char16_t* kPasswordSettingCaption = u"口令设置";
inline constexpr const char16_t* kConnectFailedMessage =
    u"无法连接到数据库，可能数据库已损坏！请重新安装本程序后恢复备份的数据。";
inline constexpr const char16_t* kWrongPasswordMessage = u"口令错误，请重新输入登录口令！";
inline constexpr const char16_t* kMismatchMessage = u"新口令两次输入不一致，请重新输入！";
inline constexpr const char16_t* kChangedMessage = u"口令已更改，新口令在下一次登录时生效！";
inline constexpr const char16_t* kUnstorablePasswordMessage =
    u"新口令中含有无法保存的字符（例如 "
    u"€、表情符号或韩文），请只使用中文、英文字母、数字和常用符号。原口令保持不变。";
inline constexpr const char16_t* kFirstPasswordMessage =
    u"口令已更改，新口令在下一次登录时生效！现将关闭程序以生效。";

// The program starts with it. The password database holds a salted hash of
// the password, never the password itself.
class ForLoad : public WindowFrame {
    Q_OBJECT
  public:
    explicit ForLoad(App& app);
    ~ForLoad() override;

    // TextPass(0) login, TextPass(1) new password, TextPass(2) repeated.
    std::array<QLineEdit*, 3> TextPass{};

    // Skin, draw, connect, read the stored password.
    void Form_Load();
    void CommandYes_Click();
    void CommandNo_Click();

    // What the settings window does to switch this window into its
    // password-setting mode; the settings window stays disabled until this
    // window closes.
    void PreparePasswordSetting(QWidget* settingsWindow);
    void FocusNewPassword();

  protected:
    void Form_Unload() override;

  private:
    bool Conn();
    bool OpenUser();
    void EXT();
    void LoginConfirm();
    void PasswordConfirm();
    void UpgradeStoredValue(const std::u16string& password);
    void DatabaseFailed();
    void Inform(const char16_t* text, int icon, const char16_t* title);

    QFrame* Frame1 = nullptr;
    SkinLabel* LblNewPassword = nullptr;
    SkinLabel* LblEnter = nullptr;
    SkinLabel* LblOK = nullptr;
    QPushButton* CommandYes = nullptr;
    QPushButton* CommandNo = nullptr;

    passworddb::PasswordDatabase DbConnection;
    // 口令 as read from the database: empty (no password), a hash, or the
    // Base64 form earlier versions stored.
    std::string StoredValue;
    encoding::Class1 PasswordCodec;
    QPointer<QWidget> settingsWindow_;
};

}  // namespace velotan::app
