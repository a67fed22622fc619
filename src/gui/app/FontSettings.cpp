#include "FontSettings.h"

#include <charconv>

#include "cipher/ModReadFromIni.h"
#include "platform/AnsiTextFile.h"

namespace velotan::app {
namespace {

namespace fs = std::filesystem;

std::u16string U16(const QString& text) {
    return text.toStdU16String();
}

QString Value(const fs::path& file, std::u16string_view key) {
    return QString::fromStdU16String(cipher::ReadIniValue(file, u"Font", key));
}

QString TruthText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A single-precision size in the shortest form that reads back as the same
// single (10.3, not the 10.300000190734863 of its widened double), with the
// locale's decimal separator and no grouping.
QString SizeText(double size, const QLocale& locale) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, float(size), std::chars_format::fixed);
    if (ec != std::errc())
        return QString::number(size);
    QString text = QString::fromLatin1(buffer, end - buffer);
    text.replace(u'.', locale.decimalPoint());
    text.replace(u'-', locale.negativeSign());
    return text;
}

}  // namespace

std::vector<std::u16string> FontIniLines(const FontSettings& font, const QLocale& locale) {
    const QString size = SizeText(font.size, locale);
    return {u"[Font]",
            U16(QStringLiteral("FontName=") + font.name),
            U16(QStringLiteral("FontSize=") + size),
            U16(QStringLiteral("FontBold=") + TruthText(font.bold)),
            U16(QStringLiteral("FontItalic=") + TruthText(font.italic)),
            U16(QStringLiteral("FontColor=") + QString::number(font.color))};
}

bool WriteFontIni(const fs::path& programFolder, const FontSettings& font, std::string* error) {
    return platform::WriteAnsiLines(programFolder / kFontFileName, FontIniLines(font),
                                    platform::kOrdinaryFileMode, error);
}

std::optional<double> ParseFontSize(const QString& text, const QLocale& locale) {
    bool ok = false;
    double value = locale.toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    // Sizes outside what any font dialog offers are not font sizes.
    if (!ok || !(value > 0) || value > 1638)
        return std::nullopt;
    return double(float(value));
}

std::optional<bool> ParseTruth(const QString& text) {
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (ok)
        return number != 0;
    return std::nullopt;
}

std::optional<int32_t> ParseColor(const QString& text) {
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(number);
}

FontIniValues ReadFontIni(const fs::path& programFolder, const QLocale& locale) {
    FontIniValues values;
    const fs::path file = programFolder / kFontFileName;
    auto bytes = platform::ReadFileBytes(file);
    if (!bytes)
        return values;
    const size_t lines = platform::SplitLines(*bytes).size();
    if (lines >= 1) {
        const QString name = Value(file, u"FontName");
        if (!name.isEmpty())
            values.name = name;
    }
    if (lines >= 2)
        values.size = ParseFontSize(Value(file, u"FontSize"), locale);
    if (lines >= 3)
        values.bold = ParseTruth(Value(file, u"FontBold"));
    if (lines >= 4)
        values.italic = ParseTruth(Value(file, u"FontItalic"));
    if (lines >= 5)
        values.color = ParseColor(Value(file, u"FontColor"));
    return values;
}

QFont WithFontIni(QFont font, const FontIniValues& values) {
    if (values.name)
        font.setFamily(*values.name);
    if (values.size)
        font.setPointSizeF(*values.size);
    if (values.bold)
        font.setBold(*values.bold);
    if (values.italic)
        font.setItalic(*values.italic);
    return font;
}

}  // namespace velotan::app
