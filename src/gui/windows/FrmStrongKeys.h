#pragma once
// FrmStrongKeys, 好友与强密钥: the user's own strong key and the friends'
// keys, opened from the settings window.

#include <QImage>
#include <QString>

#include "app/WindowFrame.h"
#include "windows/HeldStrongKeys.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velotan::app {
class App;
}

namespace velotan::windows {

class QrCodeView;

inline constexpr const char16_t* kFrmStrongKeysCaption = u"好友与强密钥";
inline constexpr const char16_t* kKeysInClearNote =
    u"请注意：强密钥以明文保存在U盘（或所选的文件夹）上，U盘上的文件权限保护不了它们。"
    u"拿到U盘的人能读您和每位好友的强加密心情，也能以你们的名义写。请保管好U盘，并做好备份。";
inline constexpr const char16_t* kNewKeyQuestion =
    u"生成新的强密钥后，好友手里的旧钥匙读不了您以后的心情：请把新钥匙当面交给每位好友。\r\n"
    u"旧钥匙仍保留在本机，您以前的心情照样能读。\r\n要生成新的强密钥吗？";
inline constexpr const char16_t* kImportKeyPrompt =
    u"请输入或粘贴您自己的强密钥（以 QLK1: 开头）：";
inline constexpr const char16_t* kRemovedFriendNote =
    u"只有生成一把新的强密钥（并只交给其余好友），才能让删除的好友读不了您以后的心情。";

// The own key shows masked until asked; shown, it can be copied, scanned from
// its QR code or saved as a paper backup. Friends are added with a name and
// a key text; a friend's new key keeps the old one for their old posts.
// Every change is written to the key store at once.
class FrmStrongKeys : public app::WindowFrame {
    Q_OBJECT
  public:
    explicit FrmStrongKeys(app::App& app);

    QLineEdit* txtOwnKey = nullptr;
    QrCodeView* picKeyQr = nullptr;
    QPushButton* cmdShowKey = nullptr;
    QPushButton* cmdCopyKey = nullptr;
    QPushButton* cmdSaveBackup = nullptr;
    QPushButton* cmdNewKey = nullptr;
    QPushButton* cmdImportKey = nullptr;
    QListWidget* lstFriends = nullptr;
    QLineEdit* txtFriendName = nullptr;
    QLineEdit* txtFriendKey = nullptr;
    QPushButton* cmdAddFriend = nullptr;
    QPushButton* cmdRemoveFriend = nullptr;
    QPushButton* cmdBack = nullptr;
    // What the last command did, or why the keys cannot be used.
    QLabel* lblStatus = nullptr;

    void Form_Load();
    void cmdShowKey_Click();
    void cmdCopyKey_Click();
    void cmdSaveBackup_Click();
    void cmdNewKey_Click();
    void cmdImportKey_Click();
    void cmdAddFriend_Click();
    void cmdRemoveFriend_Click();
    void cmdBack_Click();

    bool KeyShown() const { return keyShown_; }
    const strong::StrongKeyRing& Ring() const { return held_.ring; }

  private:
    QPushButton* AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                           int top, int width);
    // Reads the keys afresh from the key store and shows them.
    void Reload();
    // The same before a change; false (and the user told) without a key store.
    bool ReloadForChange();
    void ShowKeys();
    void ShowOwnKey();
    void HideOwnKey();
    // A refused or failed change: the library's words, in a message box.
    bool Report(const strong::RingResult& result);
    bool Ask(const QString& question);
    void Tell(const QString& text);

    HeldStrongKeys held_;
    bool keyShown_ = false;
};

// The paper backup: the key text, its QR code and how to restore it, on a
// white page.
QImage StrongKeyBackupPicture(const std::string& keyText);

}  // namespace velotan::windows
