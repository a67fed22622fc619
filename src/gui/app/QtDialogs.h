#pragma once
// The real dialogs: Qt message boxes, input boxes and file, font and colour
// dialogs, parented to whichever window of ours is active.

#include <memory>

#include "Dialogs.h"

class QInputDialog;
class QMessageBox;

namespace velotan::app {

// The boxes MsgBox and InputBox show, made but not yet shown. Their texts
// come from files, paths, servers and other users, so they are plain text:
// Qt would otherwise guess, and read markup such as <img src=...>.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& prompt, int style, const QString& title,
                                            QWidget* parent);
std::unique_ptr<QInputDialog> MakeInputDialog(const QString& prompt, const QString& title,
                                              const QString& defaultText, QWidget* parent);

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
