#include "DriveMap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
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
    std::ifstream in(file);
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

bool IsRemovableDevice(const fs::path& dev) {
    if (FlagIsOne(dev / "removable"))
        return true;
    // A partition carries no flag of its own; its disk does.
    if (IsPartition(dev) && FlagIsOne(dev.parent_path() / "removable"))
        return true;
    const std::string s = dev.generic_string();
    return s.find("/usb") != std::string::npos;
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

// "E=<medium>" per line; anything else is skipped.
std::map<char, std::string> ReadLetters(const fs::path& file) {
    std::map<char, std::string> letters;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && IsDriveLetter(line[0]) && line[1] == '=')
            letters[line[0]] = line.substr(2);
    }
    return letters;
}

void WriteLetters(const fs::path& file, const std::map<char, std::string>& letters) {
    std::string bytes;
    for (const auto& [letter, medium] : letters) {
        if (medium.find_first_of("\r\n") != std::string::npos)
            continue;  // a mount point with a line break cannot be kept in a line
        bytes += letter;
        bytes += '=';
        bytes += medium;
        bytes += '\n';
    }
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    // Remembering is a convenience: a failed write leaves the letters of
    // this scan in force and the old file as it was.
    WriteFileAtomic(file, bytes, 0600);
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

DriveMap DriveMap::Scan(const fs::path& mountinfo, const fs::path& sysRoot, const fs::path& byUuid,
                        const std::optional<fs::path>& letterFile) {
    // One medium per device, however often it is mounted: the mount of its
    // whole filesystem wins over bind mounts of a folder in it.
    struct Found {
        std::string deviceName;
        std::string mountPoint;
        bool wholeFilesystem = false;
    };
    std::map<std::string, Found> byDevice;
    std::ifstream in(mountinfo);
    std::string line;
    while (std::getline(in, line)) {
        // id parent MAJ:MIN root mountpoint options [optional...] - fstype source superopts
        std::istringstream fields(line);
        std::string id, parent, majMin, root, mountPoint;
        if (!(fields >> id >> parent >> majMin >> root >> mountPoint))
            continue;
        if (majMin.rfind("0:", 0) == 0)
            continue;  // no block device behind it
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
        auto uuid = uuids.find(found.deviceName);
        media.push_back(
            {uuid != uuids.end() ? uuid->second : "device:" + found.deviceName, found.mountPoint});
    }
    // New media take their letters in the order of their mount points.
    std::sort(media.begin(), media.end(),
              [](const Medium& a, const Medium& b) { return a.mountPoint < b.mountPoint; });

    std::map<char, std::string> remembered;
    if (letterFile)
        remembered = ReadLetters(*letterFile);
    const auto before = remembered;
    std::map<std::string, char> letterOf;
    for (const auto& [letter, key] : remembered)
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
    for (Medium* medium : newcomers) {
        char letter = 0;
        for (char c = 'D'; c <= 'Z' && !letter; ++c) {
            if (!remembered.count(c) && !drives.count(c))
                letter = c;
        }
        // Every letter has been handed out: reuse the lowest one whose
        // medium is away.
        for (char c = 'D'; c <= 'Z' && !letter; ++c) {
            if (!drives.count(c))
                letter = c;
        }
        if (!letter)
            break;
        remembered[letter] = medium->key;
        drives[letter] = medium->mountPoint;
    }
    if (letterFile && remembered != before)
        WriteLetters(*letterFile, remembered);
    return DriveMap(std::move(drives));
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
