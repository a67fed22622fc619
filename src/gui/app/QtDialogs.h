#pragma once
// The real dialogs: Qt message boxes, input boxes and file, font and colour
// dialogs, parented to whichever window of ours is active.

#include "Dialogs.h"

namespace velotan::app {

// "描述(*.a)|*.a|描述2|*.b" to Qt's "描述(*.a);;描述2 (*.b)".
QString ToQtFilter(const QString& commonDialogFilter);

class QtDialogs : public Dialogs {
  public:
    platform::MsgResult MsgBox(const std::u16string& prompt, int style,
                               const std::u16string& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString ShowOpen(const FileDialogRequest& request) override;
    QString ShowSave(const FileDialogRequest& request) override;
    std::optional<FontChoice> ShowFont(const FontChoice& initial) override;
    std::optional<int32_t> ShowColor(int32_t initial) override;
};

}  // namespace velotan::app
