#pragma once
// The desktop entry and icon that put the program into the desktop's
// application menu, for one user: <data home>/applications/velotan.desktop
// and the icons under <data home>/icons/hicolor.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velotan::platform {

inline constexpr const char* kDesktopFileName = "velotan.desktop";
inline constexpr const char* kIconName = "velotan";

// The sizes of the PNG icons shipped in the program folder as
// icons/velotan-<size>.png, beside icons/velotan.svg.
const std::vector<int>& IconSizes();

// The entry that starts `executable`. nullopt when the path cannot stand in
// a desktop entry (not UTF-8, or control characters in it).
std::optional<std::string> DesktopEntryText(const std::filesystem::path& executable);

// Writes the entry for the program in `programFolder` and installs its icons
// from there. False, with a reason, when something could not be written.
bool InstallDesktopEntry(const std::filesystem::path& programFolder,
                         const std::filesystem::path& dataHome, std::string* error = nullptr);

// Takes the entry and the icons away again; files already gone are fine.
bool RemoveDesktopEntry(const std::filesystem::path& dataHome, std::string* error = nullptr);

}  // namespace velotan::platform
