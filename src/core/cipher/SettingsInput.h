#pragma once
// The checks behind the settings window's prompts, apart from any window so
// they can be tested on their own: an imported key must be a whole number
// from 1 to 255, as the prompts promise, and a new key-store root must be
// something the next start can find again.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DriveMap.h"

namespace velotan::windows {

// The key typed into an import prompt, blanks around it ignored; nullopt when
// it is not a whole number from 1 to 255.
std::optional<int16_t> ParseImportKey(std::u16string_view text);

enum class RootCheck {
    Ok,
    // Not a single drive letter, and no existing folder by that absolute path.
    NoSuchFolder,
    // settings.ini keeps at most 127 bytes of it; the rest would be lost.
    TooLong,
    // It holds characters code page 936 cannot carry.
    Unrepresentable,
};

// Whether `root` (already trimmed) may become KeyChar in settings.ini. A single
// letter is a drive letter, mounted or not: the stick may be plugged in later.
RootCheck CheckKeyStoreRoot(std::u16string_view root, const platform::DriveMap& drives);

}  // namespace velotan::windows
