#pragma once
// Window layouts are designed in twips (1440 per inch). Qt's logical pixels
// are 1/96 inch, so 15 twips make one; Qt scales logical pixels to the
// screen, which keeps the designed layout at any scale.

#include <QRect>
#include <QSize>

namespace velotan::app {

inline constexpr int kTwipsPerPixel = 15;

constexpr int Twips(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

inline QSize TwipsSize(int width, int height) {
    return QSize(Twips(width), Twips(height));
}

}  // namespace velotan::app
