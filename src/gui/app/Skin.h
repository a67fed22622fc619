#pragma once
// The window skin: one skin file, Main.skn in the program folder, holding a
// Qt style sheet. Every window loads it and applies it to itself as the
// first work of its load. A missing or unreadable file leaves the plain look.

#include <QLabel>
#include <QString>
#include <filesystem>

class QWidget;

namespace velotan::app {

inline constexpr const char* kSkinFileName = "Main.skn";

class Skin {
  public:
    // False (and the plain look kept) when the file cannot be read.
    bool LoadSkin(const std::filesystem::path& skinFile);
    void ApplySkin(QWidget& window) const;
    const QString& StyleSheet() const { return styleSheet_; }

  private:
    QString styleSheet_;
};

// Both skin operations for a window, with the program folder's skin file.
void ApplyWindowSkin(Skin& skin, QWidget& window, const std::filesystem::path& programFolder);

// A label the windows use for its text and visibility only.
class SkinLabel : public QLabel {
    Q_OBJECT
  public:
    SkinLabel(const QString& text, const QString& name, QWidget* parent);
};

}  // namespace velotan::app
