#include "KeyStoreFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "KeyFile.h"
#include "NumberText.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kEarlierKeysHeader =
    u"这里保存着换下的密钥。要读出用其中一对密钥加密的文档或心情，"
    u"请在“多项设置”中点“更改随机密钥”，输入它的第一项密钥和第二项密钥。";

std::u16string Decimal(int v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

bool Fail(std::string* error, std::string reason) {
    if (error)
        *error = std::move(reason);
    return false;
}

// Something stands at `path` that is not a file the program may read or
// replace: a folder, a device, a link.
bool BlockedBy(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    return fs::exists(status) && !fs::is_regular_file(status);
}

}  // namespace

bool KeepEarlierKeys(const fs::path& folder, std::u16string_view newLine, std::u16string_view stamp,
                     std::string* error) {
    const fs::path keyFile = folder / kKeyFileName;
    if (!platform::IsOrdinaryFile(keyFile))
        return true;
    const auto old = platform::ReadAnsiLines(keyFile, error);
    if (!old)
        return false;
    std::vector<std::u16string> kept;
    for (const std::u16string& line : *old) {
        if (TrimBlanks(line, Blanks::SpaceTab).empty() || line == newLine)
            continue;
        const KeyFileScan scan = ParseKeyFile({line});
        kept.push_back(std::u16string(stamp) + u"  " +
                       (scan.keys ? u"第一项密钥 " + Decimal(scan.keys->first) + u"，第二项密钥 " +
                                        Decimal(scan.keys->second)
                                  : u"密钥文件中的一行：" + line));
    }
    if (kept.empty())
        return true;

    const fs::path earlier = folder / kEarlierKeysFileName;
    if (BlockedBy(earlier))
        return Fail(error, earlier.string() + " is not a file");
    std::vector<std::u16string> lines;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(earlier, ec))) {
        auto existing = platform::ReadAnsiLines(earlier, error);
        if (!existing)
            return false;
        lines = std::move(*existing);
    }
    if (lines.empty())
        lines.emplace_back(kEarlierKeysHeader);
    lines.insert(lines.end(), kept.begin(), kept.end());
    return platform::WriteAnsiLines(earlier, lines, platform::kPrivateFileMode, error);
}

std::u16string NowStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    if (localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    const std::string s = text;
    return std::u16string(s.begin(), s.end());
}

bool CopyKeyStore(const fs::path& from, const fs::path& to, std::string* error) {
    // Only mxsw and encrypt are made, as the key store makes them: a root
    // that is not there is an absent stick, not a folder to create.
    // They are the user's alone, as the key store makes them.
    for (const fs::path& p : {to.parent_path(), to}) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(p, ec)))
            continue;
        if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST)
            return Fail(error, "cannot create " + p.string() + ": " + std::strerror(errno));
    }
    // Every key file of the store goes along: the key pair, the replaced
    // pairs, and the strong keys of strong/StrongKeyRing.h (own and friends').
    for (const char* name : {kKeyFileName, kEarlierKeysFileName, "strong.mx", "friends.mx"}) {
        const fs::path source = from / name;
        const fs::path target = to / name;
        std::error_code ec;
        if (!platform::IsOrdinaryFile(source) || fs::exists(fs::symlink_status(target, ec)))
            continue;
        const auto bytes = platform::ReadFileBytes(source, error);
        if (!bytes)
            return false;
        if (!platform::WriteFileAtomic(target, *bytes, platform::kPrivateFileMode, error))
            return false;
    }
    return true;
}

}  // namespace velotan::cipher
