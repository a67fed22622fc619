#pragma once
// The one way core code asks the user something or tells them something.
// Windows put a real message box behind it; tests put a script.

#include <string>

namespace velotan::platform {

// Style flags, combinable as in a message box call: one button set, one icon,
// optionally system-modal.
enum MsgStyle : int {
    kOkOnly = 0,
    kOkCancel = 1,
    kAbortRetryIgnore = 2,
    kYesNoCancel = 3,
    kYesNo = 4,
    kRetryCancel = 5,
    kCritical = 16,
    kQuestion = 32,
    kExclamation = 48,
    kInformation = 64,
    // The second button is the default one (No in a Yes/No question): Enter
    // and closing the box choose it.
    kDefaultButton2 = 256,
    kSystemModal = 4096,
};

// A question whose safe answer is No: Yes and No, a warning, No the default.
inline constexpr int kRiskyQuestion =
    MsgStyle::kYesNo | MsgStyle::kExclamation | MsgStyle::kDefaultButton2;

inline constexpr int kButtonMask = 0x0F;
inline constexpr int kIconMask = 0x70;

enum class MsgResult : int {
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

class Messenger {
  public:
    virtual ~Messenger() = default;
    virtual MsgResult MsgBox(const std::u16string& prompt, int style,
                             const std::u16string& title) = 0;
};

}  // namespace velotan::platform
