#include "DriveMap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>
#include <vector>

#include "AnsiTextFile.h"
#include "encoding/Cp936.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;

// Mount points in mountinfo escape blanks and backslashes as octal (\040).
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() &&
            std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(s[i + 3]))) {
            out.push_back(
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::string FirstWord(const fs::path& file) {
    // sysfs attributes are a line each.
    const auto bytes = ReadFileBytes(file, nullptr, 4096);
    std::istringstream in(bytes ? *bytes : std::string());
    std::string v;
    in >> v;
    return v;
}

bool FlagIsOne(const fs::path& file) {
    return FirstWord(file) == "1";
}

// The sysfs folder of a block device, through /sys/dev/block/MAJ:MIN.
std::optional<fs::path> DeviceFolder(const fs::path& sysRoot, const std::string& majMin) {
    std::error_code ec;
    const fs::path link = sysRoot / "dev" / "block" / majMin;
    if (!fs::exists(link, ec))
        return std::nullopt;
    fs::path dev = fs::canonical(link, ec);
    if (ec)
        return std::nullopt;
    return dev;
}

bool IsPartition(const fs::path& dev) {
    std::error_code ec;
    return fs::exists(dev / "partition", ec);
}

bool IsRemovableDevice(const fs::path& dev, int depth = 0);

// A device-mapper device (an opened LUKS stick, an LVM volume) sits under
// /sys/devices/virtual with removable = 0; what counts is the devices it is
// made of, listed in slaves/.
bool SlavesAreRemovable(const fs::path& dev, int depth) {
    // Stacks are shallow (LVM on LUKS on a partition); a loop is not.
    if (depth > 8)
        return false;
    std::error_code ec;
    bool any = false;
    for (fs::directory_iterator it(dev / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        const fs::path slave = fs::canonical(it->path(), linkEc);
        if (linkEc || !IsRemovableDevice(slave, depth + 1))
            return false;
        any = true;
    }
    return any;
}

bool IsRemovableDevice(const fs::path& dev, int depth) {
    // A partition carries no flag of its own; its disk does.
    const fs::path disk = IsPartition(dev) ? dev.parent_path() : dev;
    if (FlagIsOne(dev / "removable") || FlagIsOne(disk / "removable"))
        return true;
    // The kernel marks the built-in card reader, not the SD card in it, so
    // the card's removable flag is 0. An eMMC chip (type MMC) is fixed.
    if (disk.filename().string().rfind("mmcblk", 0) == 0 &&
        FirstWord(disk / "device" / "type") == "SD")
        return true;
    const std::string s = dev.generic_string();
    if (s.find("/usb") != std::string::npos)
        return true;
    return SlavesAreRemovable(dev, depth);
}

// The running system's own folders: a card or stick that holds them (a
// single-board computer booted from its SD card) is no place for a key store.
bool IsSystemMountPoint(const std::string& mountPoint) {
    for (const char* folder : {"/", "/usr", "/var", "/home"}) {
        if (mountPoint == folder)
            return true;
    }
    return mountPoint == "/boot" || mountPoint.rfind("/boot/", 0) == 0;
}

// CD and DVD drives report removable = 1 but are read-only: SCSI type 5
// ("sr" devices).
bool IsOpticalDevice(const fs::path& dev) {
    const fs::path disk = IsPartition(dev) ? dev.parent_path() : dev;
    return disk.filename().string().rfind("sr", 0) == 0 ||
           FirstWord(disk / "device" / "type") == "5";
}

// Kernel device name (sdb1) -> filesystem UUID, from the by-uuid links.
std::map<std::string, std::string> UuidsByDevice(const fs::path& byUuid) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(byUuid, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        const fs::path target = fs::read_symlink(it->path(), linkEc);
        if (linkEc)
            continue;
        out.emplace(target.filename().string(), it->path().filename().string());
    }
    return out;
}

bool IsDriveLetter(char c) {
    return c >= 'D' && c <= 'Z';
}

// "E=<medium>" per line, the letter seen least recently first; anything
// else is skipped. A file that cannot be read counts as no file.
struct Letters {
    std::map<char, std::string> media;
    std::vector<char> order;  // least recently seen first
    bool operator==(const Letters&) const = default;
};

Letters ReadLetters(const fs::path& file) {
    Letters letters;
    const auto bytes = ReadFileBytes(file);
    if (!bytes)
        return letters;
    for (const std::string& line : SplitLines(*bytes)) {
        if (line.size() > 2 && IsDriveLetter(line[0]) && line[1] == '=') {
            letters.order.erase(std::remove(letters.order.begin(), letters.order.end(), line[0]),
                                letters.order.end());
            letters.order.push_back(line[0]);
            letters.media[line[0]] = line.substr(2);
        }
    }
    return letters;
}

bool WriteLetters(const fs::path& file, const Letters& letters, std::string& error) {
    std::string bytes;
    for (char letter : letters.order) {
        const std::string& medium = letters.media.at(letter);
        if (medium.find_first_of("\r\n") != std::string::npos)
            continue;  // a mount point with a line break cannot be kept in a line
        bytes += letter;
        bytes += '=';
        bytes += medium;
        bytes += '\n';
    }
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        error = file.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::string reason;
    if (!WriteFileAtomic(file, bytes, kOrdinaryFileMode, &reason)) {
        error = reason;
        return false;
    }
    return true;
}

char Upper(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char>(c - u'a' + u'A');
    if (c >= u'A' && c <= u'Z')
        return static_cast<char>(c);
    return 0;  // no drive letter at all
}

struct Medium {
    std::string key;  // filesystem UUID, or the device name when it has none
    std::string mountPoint;
};

}  // namespace

std::optional<fs::path> DriveMap::DefaultLetterFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    fs::path base;
    if (state && *state && fs::path(state).is_absolute()) {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home)
            return std::nullopt;
        base = fs::path(home) / ".local" / "state";
    }
    return base / "velotan" / "drive-letters";
}

DriveMap DriveMap::ScanSystem(char16_t keepLetter) {
    return Scan("/proc/self/mountinfo", "/sys", "/dev/disk/by-uuid", DefaultLetterFile(),
                keepLetter);
}

DriveMap DriveMap::Scan(const fs::path& mountinfo, const fs::path& sysRoot, const fs::path& byUuid,
                        const std::optional<fs::path>& letterFile, char16_t keepLetter) {
    // One medium per device, however often it is mounted: the mount of its
    // whole filesystem wins over bind mounts of a folder in it.
    struct Found {
        std::string deviceName;
        std::string mountPoint;
        bool wholeFilesystem = false;
    };
    std::map<std::string, Found> byDevice;
    std::set<std::string> systemDevices;
    const auto table = ReadFileBytes(mountinfo);
    for (const std::string& line : table ? SplitLines(*table) : std::vector<std::string>{}) {
        // id parent MAJ:MIN root mountpoint options [optional...] - fstype source superopts
        std::istringstream fields(line);
        std::string id, parent, majMin, root, mountPoint;
        if (!(fields >> id >> parent >> majMin >> root >> mountPoint))
            continue;
        if (majMin.rfind("0:", 0) == 0)
            continue;  // no block device behind it
        if (IsSystemMountPoint(Unescape(mountPoint)))
            systemDevices.insert(majMin);
        auto found = byDevice.find(majMin);
        if (found != byDevice.end()) {
            if (!found->second.wholeFilesystem && root == "/") {
                found->second.mountPoint = Unescape(mountPoint);
                found->second.wholeFilesystem = true;
            }
            continue;
        }
        const auto dev = DeviceFolder(sysRoot, majMin);
        if (!dev || !IsRemovableDevice(*dev) || IsOpticalDevice(*dev))
            continue;
        byDevice.emplace(majMin,
                         Found{dev->filename().string(), Unescape(mountPoint), root == "/"});
    }

    const auto uuids = UuidsByDevice(byUuid);
    std::vector<Medium> media;
    for (const auto& [majMin, found] : byDevice) {
        if (systemDevices.count(majMin))
            continue;
        auto uuid = uuids.find(found.deviceName);
        media.push_back(
            {uuid != uuids.end() ? uuid->second : "device:" + found.deviceName, found.mountPoint});
    }
    // New media take their letters in the order of their mount points.
    std::sort(media.begin(), media.end(),
              [](const Medium& a, const Medium& b) { return a.mountPoint < b.mountPoint; });

    Letters remembered;
    if (letterFile)
        remembered = ReadLetters(*letterFile);
    const Letters before = remembered;
    std::map<std::string, char> letterOf;
    for (const auto& [letter, key] : remembered.media)
        letterOf.emplace(key, letter);

    std::map<char, fs::path> drives;
    std::vector<Medium*> newcomers;
    for (auto& medium : media) {
        auto known = letterOf.find(medium.key);
        if (known != letterOf.end() && drives.count(known->second)) {
            // A second medium with the same UUID (a cloned stick) is told
            // apart by where it is mounted.
            medium.key += "@" + medium.mountPoint;
            known = letterOf.find(medium.key);
        }
        if (known != letterOf.end() && !drives.count(known->second)) {
            drives[known->second] = medium.mountPoint;
            continue;
        }
        newcomers.push_back(&medium);
    }
    const char kept = Upper(keepLetter);
    for (Medium* medium : newcomers) {
        char letter = 0;
        for (char c = 'D'; c <= 'Z' && !letter; ++c) {
            if (!remembered.media.count(c) && !drives.count(c))
                letter = c;
        }
        // Every letter has been handed out: the absent medium seen least
        // recently gives up its letter, but the key stick never does.
        for (char c : remembered.order) {
            if (letter)
                break;
            if (!drives.count(c) && c != kept)
                letter = c;
        }
        if (!letter)
            break;
        remembered.media[letter] = medium->key;
        drives[letter] = medium->mountPoint;
    }
    // The media here now are the ones seen most recently.
    std::vector<char> order;
    for (char c : remembered.order) {
        if (!drives.count(c))
            order.push_back(c);
    }
    for (const auto& [letter, mountPoint] : drives)
        order.push_back(letter);
    remembered.order = std::move(order);

    DriveMap map(std::move(drives));
    if (letterFile && remembered != before) {
        std::string error;
        if (!WriteLetters(*letterFile, remembered, error))
            map.letterFileError_ = letterFile->string() + ": " + error;
    }
    return map;
}

bool DriveMap::DriveExists(char16_t letter) const {
    return MountPoint(letter).has_value();
}

std::optional<fs::path> DriveMap::MountPoint(char16_t letter) const {
    const char upper = Upper(letter);
    if (!IsDriveLetter(upper))
        return std::nullopt;
    auto it = drives_.find(upper);
    if (it == drives_.end())
        return std::nullopt;
    return it->second;
}

fs::path DriveMap::ToNative(std::u16string_view composed) const {
    std::u16string rest(composed);
    std::optional<fs::path> base;
    if (composed.size() >= 2 && composed[1] == u':' &&
        (composed.size() == 2 || composed[2] == u'\\' || composed[2] == u'/')) {
        base = MountPoint(composed[0]);
        if (base)
            rest = composed.substr(2);
    }
    std::replace(rest.begin(), rest.end(), u'\\', u'/');
    std::string native = encoding::Utf16ToUtf8(rest);
    if (!base)
        return fs::path(native).lexically_normal();
    while (!native.empty() && native.front() == '/')
        native.erase(0, 1);
    return (native.empty() ? *base : *base / native).lexically_normal();
}

std::optional<fs::path> DriveMap::RootFolder(std::u16string_view root) const {
    if (root.empty())
        return std::nullopt;
    if (root.size() == 1)
        return MountPoint(root[0]);
    return ToNative(root);
}

}  // namespace velotan::platform
