#pragma once
// settings.ini in the program folder: "[set]" / "KeyChar=<root>", where the
// root says where the key store lives.

#include <filesystem>
#include <string>

namespace velotan::cipher {

inline constexpr const char* kSettingsFileName = "settings.ini";

// The configured key-store root; "" when none is configured.
std::u16string ReadKeyChar(const std::filesystem::path& programFolder);

// Replaces settings.ini with exactly "[set]" and "KeyChar=" + root. The old
// file stays when the write fails; `error` then says why.
bool WriteKeyChar(const std::filesystem::path& programFolder, const std::u16string& root,
                  std::string* error = nullptr);

}  // namespace velotan::cipher
