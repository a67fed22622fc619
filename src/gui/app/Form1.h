#pragma once
// Form1, the main window: where the user writes, encrypts, saves and loads moods.

#include <string>

#include "WindowFrame.h"

class QGroupBox;
class QPushButton;
class QTimer;

namespace velotan::app {

class App;
class TextBox;
struct Form1State;
enum class AppWindow;

inline constexpr const char16_t* kForm1Caption =
    u"青岚心情加密器 - Powered By Orvan From Mirelsoftware.";
inline constexpr const char16_t* kFrameCaption = u"文本区";
inline constexpr const char16_t* kSpeedCaption = u"输入速度（个/min）：";
inline constexpr const char16_t* kCountCaption = u"字数统计：";
inline constexpr const char16_t* kDocumentFilter = u"青岚加密文件(*.mxe)|*.mxe";
inline constexpr const char16_t* kSaveDialogTitle =
    u"保存加密文件 - 青岚心情加密器 - Powered By Orvan From Mirelsoftware.";
inline constexpr const char16_t* kNoKeysMessage =
    u"尚未生成或导入密钥，无法加密！请先在“多项设置”中生成或导入密钥。";
// The cipher takes at most 32767 characters, and one of them is the "F" that
// the encrypt command appends; the user may type one fewer.
inline constexpr const char16_t* kTooLongMessage =
    u"文本过长，无法加密！加密的文本不能超过 32766 个字符（每个中文标点按 9 "
    u"个字符计），请分段加密。";
inline constexpr const char16_t* kNothingToSaveMessage =
    u"没有可保存的加密结果，请先加密文本后再保存！";
// Keys made without a key store live for this run only: what they encrypt
// could never be decrypted after it. Both messages go on with kKeyStoreHowTo
// on a line of its own.
inline constexpr const char16_t* kUnstoredKeysMessage =
    u"当前的密钥没有保存在任何地方，程序关闭后就会丢失，用它加密的文本将永远无法解密，"
    u"因此不能加密或保存。";
inline constexpr const char16_t* kNoKeysToLoadMessage = u"尚未生成或导入密钥，无法解密文档！";
// A document made with other keys (before new keys were made, or by someone
// else) would decrypt to garbage.
inline constexpr const char16_t* kDocumentKeysQuestion =
    u"您现在的密钥与这个文档不符，解密结果很可能是乱码。\r\n"
    u"文档可能是用以前的密钥加密的：在“多项设置”中用“更改随机密钥”输入以前的密钥后，"
    u"再载入它。\r\n仍要把解密结果放进文本区吗？";
inline constexpr const char16_t* kKeyStoreHowTo =
    u"请插入U盘等可移动磁盘，然后在“多项设置”中点“生成随机密钥”；"
    u"或在“多项设置”中用“给密钥挪地”指定存放密钥的文件夹，然后重新启动本程序。";

// Its load is the program's start-up work, and its buttons lead to every other
// window. Its state lives in the App, so closing the window loses only the
// controls.
class Form1 : public WindowFrame {
    Q_OBJECT
  public:
    explicit Form1(App& app);

    TextBox* txtText1 = nullptr;
    QGroupBox* FrameWork = nullptr;
    QTimer* Timer1 = nullptr;

    // The editor's text with CR LF line breaks, for the windows beside this
    // one; they never reach into the editor itself.
    std::u16string EditorText() const;
    void SetEditorText(const std::u16string& text);

    // Event handlers.
    void Form_Load();
    void cmdEncrypt_Click();
    void cmdSave_Click();
    void cmdLoad_Click();
    void cmdClear_Click();
    void txtText1_Change();
    void Timer1_Timer();
    void cmdGetHelp_Click();
    void cmdSubmit_Click();

    // Applies Font.ini to the editor.
    void LoadFontSettings();

  protected:
    void Form_Unload() override;

  private:
    // Shows the run's editor font and colour.
    void ApplyEditorFont();
    QPushButton* AddButton(const char16_t* caption, const char* name, int top, int height);
    void OpenBeside(AppWindow window);
    void OpenInstead(AppWindow window);
    void OpenWebPage(const char* path);
    // `message`, and on its own line how to get a key store.
    void NoKeyStore(const char16_t* message);
    // True when the keys in force made the document's code table, or the
    // user wants its decryption all the same.
    bool AcceptDocumentKeys(const std::u16string& codeTable);
    // Asks before characters code page 936 cannot carry are encrypted as
    // "?"; true when there are none or the user goes on.
    bool AcceptUnsupportedCharacters(const std::u16string& text);

    Form1State& state_;
    SkinLabel* lblV = nullptr;
    SkinLabel* SkiW = nullptr;
};

}  // namespace velotan::app
