#pragma once
// settings.ini in the program folder: "[set]" / "KeyChar=<root>", where the
// root says where the key store lives, and "ShareCipher=strong" once the user
// chose to share with 强加密.

#include <filesystem>
#include <string>
#include <string_view>

namespace velotan::cipher {

inline constexpr const char* kSettingsFileName = "settings.ini";

// The configured key-store root; "" when none is configured.
std::u16string ReadKeyChar(const std::filesystem::path& programFolder);

// Replaces settings.ini with "[set]" and "KeyChar=" + root, and the stored
// ShareCipher line when the user made that choice. The old file stays when
// the write fails; `error` then says why.
bool WriteKeyChar(const std::filesystem::path& programFolder, const std::u16string& root,
                  std::string* error = nullptr);

// How the share window encrypts: the format every reader knows, or 强加密.
enum class ShareCipher { Compatible, Strong };

inline constexpr std::u16string_view kShareCipherKey = u"ShareCipher";

// The stored choice; Compatible until the user chose otherwise, and for any
// value this version does not know.
ShareCipher ReadShareCipher(const std::filesystem::path& programFolder);

// Sets ShareCipher in the [set] section, keeping every other line of the
// file. An unreadable file is not replaced; `error` then says why.
bool WriteShareCipher(const std::filesystem::path& programFolder, ShareCipher cipher,
                      std::string* error = nullptr);

}  // namespace velotan::cipher
