#include "CommonDialog1.h"

#include <QFileInfo>

namespace velotan::app {

FileDialogRequest CommonDialog1::Request() const {
    return FileDialogRequest{DialogTitle, Filter, InitDir, FileName};
}

bool CommonDialog1::TakeFile(const QString& path) {
    FileName = path;
    FileTitle = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    return !path.isEmpty();
}

bool CommonDialog1::ShowOpen() {
    return TakeFile(dialogs_.ShowOpen(Request()));
}

bool CommonDialog1::ShowSave() {
    return TakeFile(dialogs_.ShowSave(Request()));
}

bool CommonDialog1::ShowFont() {
    FontChoice initial{FontName, FontSize, FontBold, FontItalic, Color};
    auto chosen = dialogs_.ShowFont(initial);
    if (!chosen)
        return false;
    FontName = chosen->name;
    FontSize = chosen->size;
    FontBold = chosen->bold;
    FontItalic = chosen->italic;
    Color = chosen->color;
    return true;
}

bool CommonDialog1::ShowColor() {
    auto chosen = dialogs_.ShowColor(Color);
    if (!chosen)
        return false;
    Color = *chosen;
    return true;
}

}  // namespace velotan::app
