#pragma once
// The share window: the mood to post, composed once when the window opens,
// and one button per network that opens the network's share page with it in
// the browser. Nothing is sent by the program itself.

#include <QWidget>
#include <string>

#include "app/Skin.h"

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

class Form4 : public QWidget {
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
    // True once the window has closed; it is deleted soon after.
    bool Unloaded() const { return unloaded_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPushButton* AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                           int top, int width);
    void Share(const char* endpoint, const char16_t* network);
    void ShowQrCode();

    app::App& app_;
    app::Skin Skin1;
    std::u16string ShareText_;
    bool unloaded_ = false;
};

}  // namespace velotan::windows
