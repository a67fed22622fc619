#pragma once
// The main window's shared common dialog: file open and save, font and
// colour. Like the control it stands for, it keeps its property values
// between uses, so one command sees what another left behind.

#include <QString>
#include <cstdint>

#include "Dialogs.h"

namespace velotan::app {

class CommonDialog1 {
  public:
    explicit CommonDialog1(Dialogs& dialogs) : dialogs_(dialogs) {}

    QString DialogTitle;
    QString Filter;
    QString InitDir;
    QString FileName;   // full path of the chosen file; empty after a cancel
    QString FileTitle;  // the chosen file's name without its folder
    QString FontName;
    double FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;
    int32_t Color = 0;
    int Flags = 0;

    // Each returns false when the user cancelled.
    bool ShowOpen();
    bool ShowSave();
    bool ShowFont();
    bool ShowColor();

  private:
    bool TakeFile(const QString& path);
    FileDialogRequest Request() const;

    Dialogs& dialogs_;
};

}  // namespace velotan::app
