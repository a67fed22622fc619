#pragma once
// Form4, the share window: hands the current mood on, to a social network or anyone else.

#include <string>

#include "app/WindowFrame.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velotan::app {
class App;
}

namespace velotan::windows {

inline constexpr const char16_t* kForm4Caption = u"分享心情";
inline constexpr const char16_t* kNothingToShareMessage = u"没有心情可供分享，请确认！";
inline constexpr const char16_t* kCopiedNote = u"已复制到剪贴板";

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

  private:
    QPushButton* AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                           int top, int width);
    void Share(const char* endpoint, const char16_t* network);
    void ShowQrCode();

    std::u16string ShareText_;
};

}  // namespace velotan::windows
