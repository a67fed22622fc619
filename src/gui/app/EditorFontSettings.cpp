#include "EditorFontSettings.h"

#include "FontSettings.h"
#include "WindowFonts.h"

namespace velotan::app {

EditorFontSettings::EditorFontSettings() : font_(ProgramFont()) {}

void EditorFontSettings::Load(const std::filesystem::path& dataFolder) {
    const FontIniValues values = ReadFontIni(dataFolder);
    font_ = WithFontIni(ProgramFont(), values);
    color_ = values.color;
    emit Changed();
}

void EditorFontSettings::SetFont(const QFont& font) {
    font_ = font;
    emit Changed();
}

void EditorFontSettings::SetColor(int32_t color) {
    color_ = color;
    emit Changed();
}

}  // namespace velotan::app
