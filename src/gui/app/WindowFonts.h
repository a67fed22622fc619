#pragma once
// The fonts the windows were designed with, or the system font where the
// designed face is not installed.

#include <QFont>

namespace velotan::app {

// Tahoma 8.25 pt: the windows' font, taken over by buttons and editors.
QFont ProgramFont();
// MS Sans Serif 8.25 pt: the skin labels' font.
QFont SkinLabelFont();

}  // namespace velotan::app
