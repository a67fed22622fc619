#pragma once
// Drive letters on a system without them: the letters D..Z stand for the
// mounted removable media. Each medium keeps its letter while it is mounted
// and gets it back when it returns, as on the desktop the program comes from:
// media are known by their filesystem UUID, and the letters handed out are
// remembered in a small file in the user's state folder. Paths the program
// composes the old way ("G:\mxsw\encrypt") become native paths here.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velotan::platform {

class DriveMap {
  public:
    // Reads the mount table and sysfs. A mount counts when its block device
    // (or, for a partition, its disk) has removable = 1, sits on USB, is an
    // SD card (mmcblk with card type SD), or is a device-mapper device (an
    // opened LUKS stick) whose every underlying device counts; optical drives
    // never count, since no key file can be written to them, nor does a
    // device that holds the system's own folders (/, /boot, ...). `byUuid`
    // names each medium; `letterFile` remembers the letters handed out,
    // least recently seen first (nullopt: nothing is remembered beyond this
    // scan). A medium seen before gets its letter back; a new one takes the
    // lowest letter never handed out, and only when none is left, the letter
    // of the absent medium seen least recently. `keepLetter` (the key store's
    // letter, 0 for none) is never handed to another medium.
    static DriveMap Scan(
        const std::filesystem::path& mountinfo = "/proc/self/mountinfo",
        const std::filesystem::path& sysRoot = "/sys",
        const std::filesystem::path& byUuid = "/dev/disk/by-uuid",
        const std::optional<std::filesystem::path>& letterFile = DefaultLetterFile(),
        char16_t keepLetter = 0);

    // This system's media, with the letters remembered in DefaultLetterFile().
    static DriveMap ScanSystem(char16_t keepLetter);

    // $XDG_STATE_HOME/velotan/drive-letters, or ~/.local/state/velotan/...
    // when XDG_STATE_HOME is unset; nullopt when neither can be found.
    static std::optional<std::filesystem::path> DefaultLetterFile();

    // An explicit map, for tests and for callers that know better.
    explicit DriveMap(std::map<char, std::filesystem::path> drives = {})
        : drives_(std::move(drives)) {}

    // True when `letter` (D..Z in either case) names a mounted removable
    // medium. No other character is a drive letter.
    bool DriveExists(char16_t letter) const;
    // Every mapped drive is removable: that is the only kind we map.
    bool IsRemovable(char16_t letter) const { return DriveExists(letter); }
    std::optional<std::filesystem::path> MountPoint(char16_t letter) const;
    const std::map<char, std::filesystem::path>& Drives() const { return drives_; }

    // Turns a composed path into a native one. "X:" or "X:\rest" with a
    // mapped letter X lands under that medium's mount point. Anything else is
    // a native path in which a backslash counts as a separator.
    std::filesystem::path ToNative(std::u16string_view composed) const;

    // The folder a configured root stands for: one character is a drive
    // letter (nullopt when no such drive is mounted); anything longer goes
    // through ToNative.
    std::optional<std::filesystem::path> RootFolder(std::u16string_view root) const;

    // Why the letters of this scan could not be remembered; empty when they
    // were (or nothing needed writing). The letters are in force all the
    // same, but may differ at the next start.
    const std::string& LetterFileError() const { return letterFileError_; }

  private:
    std::map<char, std::filesystem::path> drives_;
    std::string letterFileError_;
};

}  // namespace velotan::platform
