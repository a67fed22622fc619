#pragma once
// Font.ini in the program folder: the editor font. The writer (settings
// window) and the reader (main window) share this one description of the
// six-line format:
//   [Font]
//   FontName=<face>
//   FontSize=<points, shortest decimal form, locale decimal separator>
//   FontBold=True|False
//   FontItalic=True|False
//   FontColor=<red + 256*green + 65536*blue>

#include <QFont>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velotan::app {

inline constexpr const char* kFontFileName = "Font.ini";

struct FontSettings {
    QString name;
    double size = 0;
    bool bold = false;
    bool italic = false;
    int32_t color = 0;
};

// The six lines as written, without line ends.
std::vector<std::u16string> FontIniLines(const FontSettings& font,
                                         const QLocale& locale = QLocale::system());

// Replaces Font.ini atomically; the old file stays when that fails.
bool WriteFontIni(const std::filesystem::path& programFolder, const FontSettings& font,
                  std::string* error = nullptr);

// What the reader applies: the n-th line read enables the n-th setting (name,
// size, bold, italic, colour), each looked up by its key wherever it stands.
// A setting whose value cannot be converted is left out.
struct FontIniValues {
    std::optional<QString> name;
    std::optional<double> size;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<int32_t> color;
};
FontIniValues ReadFontIni(const std::filesystem::path& programFolder,
                          const QLocale& locale = QLocale::system());

// `font` with the name, size, bold and italic that Font.ini holds; what it
// does not hold stays as it was. (The colour is the caller's: it is no font
// property.)
QFont WithFontIni(QFont font, const FontIniValues& values);

// Conversions that accept what the writer produces (and the C locale's form).
std::optional<double> ParseFontSize(const QString& text, const QLocale& locale);
std::optional<bool> ParseTruth(const QString& text);
std::optional<int32_t> ParseColor(const QString& text);

}  // namespace velotan::app
