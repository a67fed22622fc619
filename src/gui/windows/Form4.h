#pragma once
// Form4, the share window: posts the current mood on a social network through the browser.

#include <string>

#include "app/WindowFrame.h"

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace velotan::app {
class App;
}

namespace velotan::windows {

inline constexpr const char16_t* kForm4Caption = u"分享心情";
inline constexpr const char16_t* kNothingToShareMessage = u"没有心情可供分享，请确认！";

// The mood to post is composed once, when the window opens; each network's
// button opens its share page with it. Nothing is sent by the program itself.
class Form4 : public app::WindowFrame {
    Q_OBJECT
  public:
    explicit Form4(app::App& app);

    // Shows the share text; selectable, so the user can copy it, and wrapped
    // inside its fixed place however long the text is.
    QPlainTextEdit* lblToShare = nullptr;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();

    const std::u16string& ShareText() const { return ShareText_; }

  private:
    QPushButton* AddButton(QWidget* parent, const char16_t* caption, const char* name, int left,
                           int top, int width);
    void Share(const char* endpoint, const char16_t* network);

    std::u16string ShareText_;
};

}  // namespace velotan::windows
