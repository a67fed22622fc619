#include "OleColor.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace vxled {

namespace {

struct SystemColour {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QRgb classic;  // when no application palette exists
};

// Windows system colour indices mapped onto the nearest palette roles.
constexpr std::array<SystemColour, kLastSystemColour + 1> kSystemColours = {{
    {QPalette::Active, QPalette::Button, 0xFFC8C8C8},           // 0 scroll bars
    {QPalette::Active, QPalette::Dark, 0xFF000000},             // 1 desktop
    {QPalette::Active, QPalette::Highlight, 0xFF99B4D1},        // 2 active title bar
    {QPalette::Inactive, QPalette::Highlight, 0xFFBFCDDB},      // 3 inactive title bar
    {QPalette::Active, QPalette::Window, 0xFFF0F0F0},           // 4 menu bar
    {QPalette::Active, QPalette::Base, 0xFFFFFFFF},             // 5 window background
    {QPalette::Active, QPalette::Shadow, 0xFF646464},           // 6 window frame
    {QPalette::Active, QPalette::WindowText, 0xFF000000},       // 7 menu text
    {QPalette::Active, QPalette::Text, 0xFF000000},             // 8 window text
    {QPalette::Active, QPalette::HighlightedText, 0xFF000000},  // 9 title bar text
    {QPalette::Active, QPalette::Window, 0xFFB4B4B4},           // 10 active border
    {QPalette::Inactive, QPalette::Window, 0xFFF4F7FC},         // 11 inactive border
    {QPalette::Active, QPalette::Mid, 0xFFABABAB},              // 12 application workspace
    {QPalette::Active, QPalette::Highlight, 0xFF0078D7},        // 13 highlight
    {QPalette::Active, QPalette::HighlightedText, 0xFFFFFFFF},  // 14 highlighted text
    {QPalette::Active, QPalette::Button, 0xFFF0F0F0},           // 15 button face
    {QPalette::Active, QPalette::Dark, 0xFFA0A0A0},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text, 0xFF6D6D6D},           // 17 grey text
    {QPalette::Active, QPalette::ButtonText, 0xFF000000},       // 18 button text
    {QPalette::Inactive, QPalette::WindowText, 0xFF000000},     // 19 inactive title text
    {QPalette::Active, QPalette::Light, 0xFFFFFFFF},            // 20 button highlight
    {QPalette::Active, QPalette::Shadow, 0xFF696969},           // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight, 0xFFE3E3E3},         // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText, 0xFF000000},      // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase, 0xFFFFFFE1},      // 24 tooltip background
}};

}  // namespace

bool isValidOleColor(OleColor colour) {
    if ((colour & 0xFF000000u) == 0) {
        return true;
    }
    if ((colour & 0xFF000000u) == kSystemColourFlag) {
        return (colour & 0x00FFFFFFu) <= kLastSystemColour;
    }
    return false;
}

std::optional<QRgb> oleColorToRgb(OleColor colour) {
    if (!isValidOleColor(colour)) {
        return std::nullopt;
    }
    if ((colour & kSystemColourFlag) == 0) {
        return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                    static_cast<int>((colour >> 16) & 0xFF));
    }
    const SystemColour& system = kSystemColours[colour & 0x00FFFFFFu];
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return system.classic;
    }
    return QGuiApplication::palette().color(system.group, system.role).rgb();
}

}  // namespace vxled
