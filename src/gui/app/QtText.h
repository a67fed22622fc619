#pragma once
// The program's texts are UTF-16 literals; the windows show them as QString.

#include <QString>

namespace velotan::app {

inline QString Q(const char16_t* text) {
    return QString::fromUtf16(text);
}

}  // namespace velotan::app
