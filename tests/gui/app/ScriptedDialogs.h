#pragma once
// Dialogs for tests: every question is answered from a script and recorded
// (kind, text, title, style), so a test can say what the user was asked.

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Dialogs.h"

namespace velotan::app::test {

struct Asked {
    std::string kind;  // "msgbox", "input", "open", "save", "font", "color"
    QString text;      // message or prompt; the dialog title for file dialogs
    QString title;
    int style = 0;
    FileDialogRequest file;  // for "open" and "save"
};

class ScriptedDialogs : public Dialogs {
  public:
    // Answers, taken in order; an empty queue answers OK / cancel.
    std::deque<platform::MsgResult> msgAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<QString> fileAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;
    std::deque<std::optional<int32_t>> colorAnswers;

    // Runs while a message box is "open", e.g. to look at the windows then.
    std::function<void(const Asked&)> onMessage;

    std::vector<Asked> asked;

    std::vector<Asked> Messages() const;

    platform::MsgResult MsgBox(const std::u16string& prompt, int style,
                               const std::u16string& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString ShowOpen(const FileDialogRequest& request) override;
    QString ShowSave(const FileDialogRequest& request) override;
    std::optional<FontChoice> ShowFont(const FontChoice& initial) override;
    std::optional<int32_t> ShowColor(int32_t initial) override;

  private:
    template <typename T>
    static T Take(std::deque<T>& queue, const T& fallback) {
        T value = queue.empty() ? fallback : queue.front();
        if (!queue.empty())
            queue.pop_front();
        return value;
    }
};

}  // namespace velotan::app::test
