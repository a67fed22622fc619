#pragma once
// The check behind the settings window's relocation prompt, apart from any
// window so it can be tested on its own: a new key-store root must be
// something the next start can find again.

#include <string_view>

#include "platform/DriveMap.h"

namespace velotan::windows {

enum class RootCheck {
    Ok,
    // Not a single drive letter, and no existing folder by that absolute path.
    NoSuchFolder,
    // A single letter from A to C: drives get the letters D to Z only, so
    // the keys could never be found there.
    NoSuchDrive,
    // settings.ini keeps at most 127 bytes of it; the rest would be lost.
    TooLong,
    // It holds characters code page 936 cannot carry.
    Unrepresentable,
};

// Whether `root` (already trimmed) may become KeyChar in settings.ini. A single
// letter from D to Z, in either case, is a drive letter, mounted or not: the
// stick may be plugged in later.
RootCheck CheckKeyStoreRoot(std::u16string_view root, const platform::DriveMap& drives);

}  // namespace velotan::windows
