// Colours as the control's properties carry them: 0x00BBGGRR, or a system
// colour index with the high bit set.
#pragma once

#include "VxLedControl/VxLedControl.h"

#include <QRgb>

#include <optional>

namespace vxled {

inline constexpr OleColor kSystemColourFlag = 0x80000000u;
// COLOR_SCROLLBAR (0) to COLOR_INFOBK (24), the system colours a property
// accepts.
inline constexpr OleColor kLastSystemColour = 24;

bool isValidOleColor(OleColor colour);

// The colour to paint with; nothing for a value a surface rejects. System
// colours follow the desktop palette when an application is running.
std::optional<QRgb> oleColorToRgb(OleColor colour);

}  // namespace vxled
