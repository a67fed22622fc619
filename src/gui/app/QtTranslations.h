#pragma once
// Qt's own texts (file, font and colour dialogs, message-box and input-box
// buttons) in Simplified Chinese, whatever the system's language, so that a
// Chinese program does not show "Look in:" and "Cancel".

#include <filesystem>

class QTranslator;

namespace velotan::app {

inline constexpr const char* kQtTranslationFile = "qtbase_zh_CN.qm";
inline constexpr const char* kTranslationFolder = "translations";

// Installs the translation from <programFolder>/translations, where the
// program folder ships it, else from Qt's own translation folder, and returns
// it (owned by the application). nullptr when neither has it; Qt then speaks
// English. Call after QApplication exists.
QTranslator* LoadQtTranslations(const std::filesystem::path& programFolder);

}  // namespace velotan::app
