#include "DataFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "AnsiTextFile.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSeededMarker = ".seeded";

fs::path AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        return {};
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

// Copies one shipped file through a temporary file and a rename, so that an
// interrupted copy never leaves half a database behind.
bool CopyShipped(const fs::path& from, const fs::path& to, std::string& error) {
    std::string reason;
    auto bytes = ReadFileBytes(from, &reason);
    if (!bytes) {
        error = from.string() + ": " + reason;
        return false;
    }
    std::error_code ec;
    fs::create_directories(to.parent_path(), ec);
    if (ec) {
        error = to.parent_path().string() + ": " + ec.message();
        return false;
    }
    struct stat info {};
    const mode_t mode = ::stat(from.c_str(), &info) == 0 ? (info.st_mode & 0777) | 0600 : 0644;
    if (!WriteFileAtomic(to, *bytes, mode, &reason)) {
        error = to.string() + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace

bool FolderIsWritable(const fs::path& folder) {
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return false;
    // A read-only mount or a security module can still refuse what access()
    // allows; only a file that was really made counts.
    std::string probe = (folder / ".velotan-probe-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

fs::path UserDataHome() {
    fs::path base = AbsoluteEnv("XDG_DATA_HOME");
    if (base.empty()) {
        const fs::path home = AbsoluteEnv("HOME");
        if (home.empty())
            return {};
        base = home / ".local" / "share";
    }
    return base;
}

fs::path UserDataFolder() {
    const fs::path base = UserDataHome();
    return base.empty() ? base : base / "velotan";
}

const std::vector<fs::path>& SeededFiles() {
    static const std::vector<fs::path> files = {
        "settings.ini", "Font.ini", "update.ini", fs::path("DataBase") / "Lc_Addlist.mdb", "first",
    };
    return files;
}

DataFolderChoice ChooseDataFolder(const fs::path& programFolder, const WritableProbe& writable,
                                  const fs::path& userFolder) {
    std::error_code ec;
    const bool shared = fs::exists(programFolder / kSharedInstallMarker, ec);
    if ((!shared && writable(programFolder)) || userFolder.empty())
        return {programFolder, false, {}};
    DataFolderChoice choice{userFolder, true, {}};
    if (fs::exists(userFolder / kSeededMarker, ec))
        return choice;
    fs::create_directories(userFolder, ec);
    if (ec) {
        choice.error = userFolder.string() + ": " + ec.message();
        return choice;
    }
    for (const fs::path& name : SeededFiles()) {
        const fs::path from = programFolder / name;
        const fs::path to = userFolder / name;
        // Only what was shipped, and nothing the user already has.
        if (!fs::is_regular_file(from, ec) || fs::exists(fs::symlink_status(to, ec)))
            continue;
        if (!CopyShipped(from, to, choice.error))
            return choice;  // no marker: the next start completes the seeding
    }
    std::string reason;
    if (!WriteFileAtomic(userFolder / kSeededMarker, "", 0644, &reason))
        choice.error = (userFolder / kSeededMarker).string() + ": " + reason;
    return choice;
}

}  // namespace velotan::platform
