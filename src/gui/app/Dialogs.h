#pragma once
// Everything modal goes through here: message boxes, input boxes and the
// file, font and colour dialogs. The program puts real Qt dialogs behind it
// (QtDialogs); tests put a script behind it that also records what was asked.

#include <QFont>
#include <QString>
#include <optional>

#include "platform/Messenger.h"

namespace velotan::app {

// What a file dialog is opened with.
struct FileDialogRequest {
    QString title;
    QString filter;  // "描述(*.ext)|*.ext", as the common dialog takes it
    QString initialFolder;
    QString fileName;  // preselected full path, may be empty
};

// The font dialog's values, colour included (0x00BBGGRR).
struct FontChoice {
    QString name;
    double size = 9;
    bool bold = false;
    bool italic = false;
    int32_t color = 0;
};

class Dialogs : public platform::Messenger {
  public:
    // Text typed into an input box; nullopt when cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // The chosen full path; empty when cancelled.
    virtual QString ShowOpen(const FileDialogRequest& request) = 0;
    virtual QString ShowSave(const FileDialogRequest& request) = 0;
    virtual std::optional<FontChoice> ShowFont(const FontChoice& initial) = 0;
    virtual std::optional<int32_t> ShowColor(int32_t initial) = 0;

    // Convenience for windows, which hold QStrings.
    platform::MsgResult Show(const QString& prompt, int style, const QString& title) {
        return MsgBox(prompt.toStdU16String(), style, title.toStdU16String());
    }
    // A question whose safe answer is No, titled 请确认！; true on Yes.
    bool ConfirmRisky(const QString& question) {
        return Show(question, platform::kRiskyQuestion, QStringLiteral("请确认！")) ==
               platform::MsgResult::Yes;
    }
};

}  // namespace velotan::app
