#pragma once
// Colours as the program stores them: 0x00BBGGRR, or a system colour index
// with the high bit set.

#include <QColor>
#include <cstdint>

namespace velotan::app {

QColor FromOleColor(int32_t value);
int32_t ToOleColor(const QColor& color);

}  // namespace velotan::app
