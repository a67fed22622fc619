#include "DriveMap.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

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

bool FlagIsOne(const fs::path& file) {
    std::ifstream in(file);
    std::string v;
    return in >> v && v == "1";
}

// The sysfs folder of a block device, through /sys/dev/block/MAJ:MIN.
bool IsRemovableDevice(const fs::path& sysRoot, const std::string& majMin) {
    std::error_code ec;
    fs::path link = sysRoot / "dev" / "block" / majMin;
    if (!fs::exists(link, ec))
        return false;
    fs::path dev = fs::canonical(link, ec);
    if (ec)
        return false;
    if (FlagIsOne(dev / "removable"))
        return true;
    // A partition carries no flag of its own; its disk does.
    if (fs::exists(dev / "partition", ec) && FlagIsOne(dev.parent_path() / "removable"))
        return true;
    const std::string s = dev.generic_string();
    return s.find("/usb") != std::string::npos;
}

char Upper(char16_t c) {
    return static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
}

}  // namespace

DriveMap DriveMap::Scan(const fs::path& mountinfo, const fs::path& sysRoot) {
    std::ifstream in(mountinfo);
    std::vector<std::string> mountPoints;
    std::string line;
    while (std::getline(in, line)) {
        // id parent MAJ:MIN root mountpoint options [optional...] - fstype source superopts
        std::istringstream fields(line);
        std::string id, parent, majMin, root, mountPoint;
        if (!(fields >> id >> parent >> majMin >> root >> mountPoint))
            continue;
        if (majMin.rfind("0:", 0) == 0)
            continue;  // no block device behind it
        if (!IsRemovableDevice(sysRoot, majMin))
            continue;
        mountPoints.push_back(Unescape(mountPoint));
    }
    std::sort(mountPoints.begin(), mountPoints.end());
    mountPoints.erase(std::unique(mountPoints.begin(), mountPoints.end()), mountPoints.end());
    std::map<char, fs::path> drives;
    char letter = 'D';
    for (const auto& mp : mountPoints) {
        if (letter > 'Z')
            break;
        drives[letter++] = mp;
    }
    return DriveMap(std::move(drives));
}

bool DriveMap::DriveExists(char16_t letter) const {
    return MountPoint(letter).has_value();
}

std::optional<fs::path> DriveMap::MountPoint(char16_t letter) const {
    auto it = drives_.find(Upper(letter));
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
