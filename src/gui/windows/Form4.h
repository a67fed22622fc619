#pragma once
// Form4, the share window: hands the current mood on, to a social network or anyone else.

#include <array>
#include <string>

#include "app/WindowFrame.h"
#include "cipher/ProgramSettings.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace velotan::app {
class App;
}

namespace velotan::windows {

inline constexpr const char16_t* kForm4Caption = u"分享心情";
inline constexpr const char16_t* kNothingToShareMessage = u"没有心情可供分享，请确认！";
inline constexpr const char16_t* kCopiedNote = u"已复制到剪贴板";
inline constexpr const char16_t* kCompatibleLine =
    u"今天的格式，哪里都能解；只防随手一看，挡不住有心破解的人。";
inline constexpr const char16_t* kStrongLine =
    u"只有持有您强密钥的好友能读；防破解，帖子被改动也看得出。";
inline constexpr const char16_t* kNoStrongKeyNote =
    u"您还没有强密钥：请在“多项设置”里点“好友与强密钥”，生成一把，再当面交给好友。";

class QrCodeView;

// The mood to post is composed once, when the window opens; each network's
// button opens its share page with it in the browser, and the text can be
// copied or saved as a QR code. Nothing is sent by the program itself.
class Form4 : public app::WindowFrame {
    Q_OBJECT
  public:
    explicit Form4(app::App& app);

    // Shows the share text; selectable, so the user can copy it, and wrapped
    // inside its fixed place however long the text is.
    QPlainTextEdit* lblToShare = nullptr;
    // The share text's QR code, or a note where there can be none.
    QrCodeView* picQrCode = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdSaveQrCode = nullptr;
    // A quiet word on what 复制 and 保存二维码 did.
    QLabel* lblStatus = nullptr;
    // 兼容加密, the post every reader knows, or 强加密, for friends only.
    QRadioButton* optCompatible = nullptr;
    QRadioButton* optStrong = nullptr;
    // Why there is no strong post, and how to get one.
    QLabel* lblCipherNote = nullptr;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    // Puts the share text, as the network buttons post it, on the clipboard.
    void cmdCopy_Click();
    // Saves the QR code as a PNG file chosen in the save dialog.
    void cmdSaveQrCode_Click();

    const std::u16string& ShareText() const { return ShareText_; }
    cipher::ShareCipher Cipher() const { return cipher_; }
    // The user picked 兼容加密 or 强加密: the post follows, and the choice is
    // kept for the next time.
    void optCipher_Click(cipher::ShareCipher chosen);

  private:
    QPushButton* AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                           int top, int width);
    void Share(const char* endpoint, const char16_t* network);
    void ShowQrCode();
    // The post of the chosen cipher into ShareText_, shown with its buttons.
    void ComposePost();
    // The legacy post: cipher text and code table, or the editor's words.
    void ComposeCompatiblePost();
    // The editor's mood sealed with the user's own strong key; nothing, and
    // the note says why, without a key or a mood.
    void ComposeStrongPost();

    std::u16string ShareText_;
    cipher::ShareCipher cipher_ = cipher::ShareCipher::Compatible;
    std::array<QPushButton*, 4> networkButtons_{};
};

}  // namespace velotan::windows
