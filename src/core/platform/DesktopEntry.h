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

// The program that an entry made by DesktopEntryText starts: its Exec value,
// one quoted path, read back. nullopt for an entry of any other shape.
std::optional<std::filesystem::path> DesktopEntryProgram(const std::string& entry);

// Writes the entry for the program in `programFolder` and installs its icons
// from there. False, with a reason, when something could not be written.
bool InstallDesktopEntry(const std::filesystem::path& programFolder,
                         const std::filesystem::path& dataHome, std::string* error = nullptr);

// An entry of this user's that starts a program that is gone (one that an
// earlier package installed under /opt/velotan, or a program folder moved
// since) is written again, with its icons, for the program in
// `programFolder`: otherwise it would shadow the system's entry of the same
// name with one that starts nothing. No entry, an entry whose program is
// there and an entry this program did not write stay as they are. True when
// the entry was written again; false with a reason when that failed.
bool MoveOnDesktopEntry(const std::filesystem::path& programFolder,
                        const std::filesystem::path& dataHome, std::string* error = nullptr);

// Takes the entry and the icons away again; files already gone are fine.
bool RemoveDesktopEntry(const std::filesystem::path& dataHome, std::string* error = nullptr);

}  // namespace velotan::platform
