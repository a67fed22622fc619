#pragma once
// The editor's font and colour for the run: what Font.ini gives the main
// window's load, and what the settings window chooses. The main window shows
// whatever this holds, each time it changes; no other window touches the
// editor itself.

#include <QFont>
#include <QObject>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace velotan::app {

class EditorFontSettings : public QObject {
    Q_OBJECT
  public:
    EditorFontSettings();

    // The designed font with what Font.ini in `dataFolder` holds; the colour
    // it names, or none.
    void Load(const std::filesystem::path& dataFolder);

    const QFont& Font() const { return font_; }
    // 0x00BBGGRR; nullopt: the system's text colour, as designed.
    std::optional<int32_t> Color() const { return color_; }

    void SetFont(const QFont& font);
    void SetColor(int32_t color);

  signals:
    void Changed();

  private:
    QFont font_;
    std::optional<int32_t> color_;
};

}  // namespace velotan::app
