#pragma once
// The program's texts are UTF-16 literals; the windows show them as QString.

#include <QString>
#include <filesystem>
#include <string_view>

#include "platform/PathText.h"

namespace velotan::app {

inline QString Q(const char16_t* text) {
    return QString::fromUtf16(text);
}

// A path, or the system's reason for a failure, in a message.
inline QString PathText(const std::filesystem::path& path) {
    return QString::fromStdU16String(platform::PathText(path));
}
inline QString ReasonText(std::string_view reason) {
    return QString::fromStdU16String(platform::ReasonText(reason));
}

// A tool tip that shows `text` as the characters it holds. Qt guesses the
// format of a tool tip and has no switch for it, so the text goes in as
// escaped markup that keeps its line breaks and blanks.
inline QString PlainToolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace velotan::app
