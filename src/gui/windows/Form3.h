#pragma once
// Form3, the decode window: reads a text someone else encrypted, with the sender's keys.

#include <array>
#include <cstdint>
#include <optional>

#include "app/WindowFrame.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velotan::app {
class App;
class TextBox;
}  // namespace velotan::app

namespace velotan::windows {

inline constexpr const char16_t* kForm3Caption = u"解码他人文件";
inline constexpr const char16_t* kDecodedMessage = u"解码操作完成！";
inline constexpr const char16_t* kKeysDoNotFitQuestion =
    u"密钥与这段密文不符，解码结果很可能是乱码。仍要放进文本区吗？";

// The cipher text and code table, decrypted with the sender's two keys, go
// into the main window's editor. The sender's keys serve that one decryption;
// the user's own pair is never replaced.
class Form3 : public app::WindowFrame {
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
    // Says that a strong post needs neither code table nor keys.
    QLabel* lblStrongHint = nullptr;

    void Form_Load();
    void cmdEncoding_Click();
    void cmdBack_Click();

  private:
    void ClearInputs();
    // A whole post pasted into the cipher or table box goes apart into both
    // boxes; false, and the paste goes on as usual, for any other text.
    bool PastePost(const QString& text);
    // The key in a key box, or nullopt (and the user told) when its text is
    // not a whole number in the 16-bit range.
    std::optional<int16_t> KeyOf(QLineEdit* box, const char16_t* name);
    void Tell(const char16_t* text, int style, const char16_t* title);
    // True when the keys made the code table, or the user wants the
    // decryption all the same; otherwise nothing changes.
    bool KeysFitOrAccepted(int16_t first, int16_t second);

    // 强加密 posts ("心情：QL2:…"), read with every key the user holds.
    // A pasted strong post goes whole into the cipher box; false for any
    // other text.
    bool PasteStrongPost(const QString& text);
    bool HoldsStrongPost() const;
    // Opens the post in the cipher box: the mood into the editor and whose
    // key it was, or why not, with the editor left alone.
    void DecodeStrongPost();
    void ShowStrongHint();
};

}  // namespace velotan::windows
