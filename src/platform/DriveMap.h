#pragma once
// Drive letters on a system without them: the letters D..Z stand for the
// mounted removable media, in the order of their mount points. Paths the
// program composes the old way ("G:\mxsw\encrypt") become native paths here.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velotan::platform {

class DriveMap {
  public:
    // Reads the mount table and sysfs. A mount counts when its block device
    // (or, for a partition, its disk) has removable = 1, or sits on USB.
    static DriveMap Scan(const std::filesystem::path& mountinfo = "/proc/self/mountinfo",
                         const std::filesystem::path& sysRoot = "/sys");

    // An explicit map, for tests and for callers that know better.
    explicit DriveMap(std::map<char, std::filesystem::path> drives = {})
        : drives_(std::move(drives)) {}

    // True when `letter` (either case) names a mounted removable medium.
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

  private:
    std::map<char, std::filesystem::path> drives_;
};

}  // namespace velotan::platform
