#pragma once
// Form2, the settings window: the user's keys, the editor font, the key store and the password.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Version.h"
#include "app/WindowFrame.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace vxled {
class IMyPLed;
}

namespace velotan::app {
class App;
}

namespace velotan::platform {
class ControlHost;
class DriveMap;
}  // namespace velotan::platform

namespace velotan::windows {

inline constexpr const char16_t* kForm2Caption = u"青岚加密设置";
// Input boxes without a title of their own show the program's name.
inline constexpr const char16_t* kFirstKeyPrompt = u"请输入第一项密钥：（范围在1~255之间）";
inline constexpr const char16_t* kSecondKeyPrompt = u"请输入第二项密钥：（范围在1~255之间）";
// Follows a line naming the current key store; %1 is an existing folder of
// this system, the user's home folder. Drives get the letters D to Z only.
inline constexpr const char16_t* kRelocatePrompt =
    u"请输入保存的位置（盘符 D 到 Z，如 E；或已存在文件夹的完整路径，如 %1）：";
inline constexpr const char16_t* kRelocatedMessage =
    u"操作完成！\r\n"
    u"您现在需要重启程序以使更改生效。下次登录时您需要导入之前的密钥，或生成新的密钥！";
inline constexpr const char16_t* kRelocatedWithKeysMessage =
    u"操作完成！密钥已复制到新位置，原来位置的密钥文件仍然保留。\r\n"
    u"您现在需要重启程序以使更改生效。";
inline constexpr const char16_t* kFontInfoTitle = u"字体信息";
inline constexpr const char16_t* kNoFontSettingsMessage =
    u"尚未保存字体设置：找不到或无法读取 Font.ini。\r\n"
    u"请先用“设置字体样式”选择字体和颜色。";
inline constexpr const char* kLedProgId = "VxLedControl.MyPLed";

// The panel's designed colours, 0x00BBGGRR.
inline constexpr int32_t kLedBackColor = 0x000000;
inline constexpr int32_t kLedLitColor = 0x00FF00;
inline constexpr int32_t kLedUnlitColor = 0x063003;  // red 3, green 48, blue 6

// The key pair shows on the LED panel; new keys are generated or typed in.
// It takes the main window's place while it is open.
class Form2 : public app::WindowFrame {
    Q_OBJECT
  public:
    // `host` creates the LED panel; it stays alive as long as this window.
    Form2(app::App& app, std::shared_ptr<platform::ControlHost> host);
    ~Form2() override;

    // The typed pair handed to ImportKeys.
    int16_t K = 0;
    int16_t B = 0;
    std::u16string KeyChar;

    // Event handlers.
    void Form_Load();
    void cmdBuildChar_Click();
    void cmdLoadChar_Click();
    void cmdSetFontStyle_Click();
    void cmdSetFontColor_Click();
    void cmdChange_Click();
    void Command1_Click();
    void cmdBack_Click();
    // 好友与强密钥: the strong keys, in a window of their own.
    void cmdStrongKeys_Click();

    // FirstKey "." SecondKey, as the panel shows it.
    QString KeyCaption() const;
    // The LED panel; nullptr when the control could not be created and a
    // plain label stands in its place.
    vxled::IMyPLed* LedControl() const;

  private:
    QPushButton* AddButton(const char16_t* caption, const char* name, QWidget* parent,
                           const QRect& geometry);
    void CreateLed();
    void SetLedCaption(const QString& caption);
    // Asks for one key; nullopt when cancelled, left empty or rejected.
    std::optional<int16_t> AskKey(const char16_t* prompt);
    // Asks before new keys replace the pair in force (default No).
    bool ConfirmNewKeys();
    // The relocation prompt, with the current key store.
    QString RelocatePrompt() const;
    // When the new key store lacks the key file the current one has: offers
    // to copy it there (default Yes).
    enum class KeyCopy { NotCopied, Copied, Failed };
    KeyCopy OfferKeyCopy(const QString& root, const platform::DriveMap& drives);
    // The editor's colour, 0x00BBGGRR, where it has none of its own too.
    int32_t EditorColor() const;

    std::shared_ptr<platform::ControlHost> host_;
    QGroupBox* Fra = nullptr;
    QGroupBox* FraFont = nullptr;
    QGroupBox* FraPS = nullptr;
    vxled::IMyPLed* lblChar = nullptr;
    QPointer<QWidget> ledWidget_;
    QPointer<QLabel> ledLabel_;
    bool ledTried_ = false;
};

}  // namespace velotan::windows
