#pragma once
// The decode window: someone else's cipher text and code table, decrypted
// with the sender's two keys into the main window's editor. The sender's keys
// are in force only for that one decryption; the user's own pair comes back
// afterwards in every case.

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "app/Skin.h"

class QLineEdit;
class QPushButton;

namespace velotan::app {
class App;
class TextBox;
}  // namespace velotan::app

namespace velotan::windows {

inline constexpr const char16_t* kForm3Caption = u"解码他人文件";
inline constexpr const char16_t* kDecodedMessage = u"解码操作完成！";

class Form3 : public QWidget {
    Q_OBJECT
  public:
    explicit Form3(app::App& app);

    app::TextBox* txtText1 = nullptr;  // cipher text
    app::TextBox* txtText2 = nullptr;  // code table
    QLineEdit* txtText3 = nullptr;     // first key
    QLineEdit* txtText4 = nullptr;     // second key
    QPushButton* cmdEncoding = nullptr;
    QPushButton* cmdBack = nullptr;
    std::array<app::SkinLabel*, 4> Ski{};

    void Form_Load();
    void cmdEncoding_Click();
    void cmdBack_Click();

    // True once the window has closed; it is deleted soon after.
    bool Unloaded() const { return unloaded_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ClearInputs();
    // A whole post pasted into the cipher or table box goes apart into both
    // boxes; false, and the paste goes on as usual, for any other text.
    bool PastePost(const QString& text);
    // The key in a key box, or nullopt (and the user told) when its text is
    // not a whole number in the 16-bit range.
    std::optional<int16_t> KeyOf(QLineEdit* box, const char16_t* name);
    void Tell(const char16_t* text, int style, const char16_t* title);

    app::App& app_;
    app::Skin Skin1;
    bool unloaded_ = false;
};

}  // namespace velotan::windows
