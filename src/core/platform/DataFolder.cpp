#include "DataFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "AnsiTextFile.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSeededMarker = ".seeded";
constexpr const char* kFirstRunMarker = "first";
constexpr const char* kSymbolFile = "symbolhandle.ini";

fs::path AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        return {};
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

bool IsRegular(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Something, whatever it is, stands at `path` (a dangling link included).
bool Occupied(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Takes group and other rights away from what this user owns; a mode that
// is narrower already stays.
void NarrowTo(const fs::path& path, mode_t allowed) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_uid != ::geteuid())
        return;
    const mode_t mode = info.st_mode & 07777;
    if ((mode & ~allowed) != 0)
        ::chmod(path.c_str(), mode & allowed);
}

// A folder for this user alone: the database and the keys may live in it.
bool MakePrivateFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder.parent_path(), ec);
    if (ec) {
        error = folder.parent_path().string() + ": " + ec.message();
        return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        error = folder.string() + ": is not a folder";
        return false;
    }
    // Made 0755 by earlier versions.
    NarrowTo(folder, 0700);
    return true;
}

// Copies one shipped file through a temporary file and a rename, so that an
// interrupted copy never leaves half a database behind.
bool CopyShipped(const fs::path& from, const fs::path& to, mode_t mode, std::string& error) {
    std::string reason;
    auto bytes = ReadFileBytes(from, &reason);
    if (!bytes) {
        error = from.string() + ": " + reason;
        return false;
    }
    if (!MakePrivateFolder(to.parent_path(), error))
        return false;
    if (!WriteFileAtomic(to, *bytes, mode, &reason)) {
        error = to.string() + ": " + reason;
        return false;
    }
    return true;
}

// Copies what the user folder lacks; the marker comes last, and only when
// everything before it is there.
void SeedMissing(const fs::path& programFolder, const fs::path& userFolder,
                 const std::vector<fs::path>& missing, bool seeded, std::string& error) {
    for (const fs::path& name : missing) {
        const fs::path from = programFolder / name;
        // settings.ini, Font.ini and the first-run marker are shipped only by
        // some packages; the database always is (IsProgramFolder).
        if (!IsRegular(from))
            continue;
        const mode_t mode = name == DatabasePath() ? kPrivateFileMode : kOrdinaryFileMode;
        if (!CopyShipped(from, userFolder / name, mode, error))
            return;  // no marker: the next start completes the seeding
    }
    if (!seeded) {
        std::string reason;
        if (!WriteFileAtomic(userFolder / kSeededMarker, "", kOrdinaryFileMode, &reason))
            error = (userFolder / kSeededMarker).string() + ": " + reason;
    }
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
    // update.ini is read from the program folder, so that a later package's
    // server is used; only a file the user writes into the data folder wins.
    static const std::vector<fs::path> files = {
        "settings.ini",
        "Font.ini",
        DatabasePath(),
        kFirstRunMarker,
    };
    return files;
}

fs::path DatabasePath() {
    return fs::path("DataBase") / "Lc_Addlist.mdb";
}

bool IsProgramFolder(const fs::path& folder) {
    return IsRegular(folder / kSymbolFile) && IsRegular(folder / DatabasePath());
}

bool IsUsersOwnFolder(const fs::path& programFolder) {
    struct stat info {};
    if (::stat(programFolder.c_str(), &info) != 0)
        return false;
    if (info.st_uid == 0 || info.st_uid != ::geteuid())
        return false;
    return FolderIsWritable(programFolder);
}

DataFolderChoice ChooseDataFolder(const fs::path& programFolder, const FolderProbe& ownFolder,
                                  const fs::path& userFolder) {
    const bool shared = Occupied(programFolder / kSharedInstallMarker);
    if (!shared && ownFolder(programFolder)) {
        // Shipped readable by all, as every installed file is.
        NarrowTo(programFolder / DatabasePath(), kPrivateFileMode);
        return {programFolder, false, {}};
    }
    if (userFolder.empty()) {
        // The shared folder itself would receive this user's password and
        // the used-up first-run marker that every later user copies.
        return {{},
                false,
                "no data folder of your own: neither HOME nor XDG_DATA_HOME is set, and " +
                    programFolder.string() + " is shared by every user"};
    }
    DataFolderChoice choice{userFolder, true, {}};

    // The marker guards the first-run marker only: a database, settings.ini
    // or Font.ini that has gone is copied again, since without the database
    // nobody gets past the login.
    const bool seeded = Occupied(userFolder / kSeededMarker);
    std::vector<fs::path> missing;
    for (const fs::path& name : SeededFiles()) {
        if (name == kFirstRunMarker && seeded)
            continue;
        if (!Occupied(userFolder / name))
            missing.push_back(name);
    }
    const bool complete = seeded && Occupied(userFolder / DatabasePath());
    // A mistyped folder must not leave a marker that stops every later
    // seeding, nor an empty folder.
    if (!IsProgramFolder(programFolder)) {
        if (!complete) {
            choice.error = programFolder.string() + ": not a program folder of velotan (" +
                           kSymbolFile + " or " + DatabasePath().string() +
                           " is missing); nothing was copied";
        }
    } else if (MakePrivateFolder(userFolder, choice.error)) {
        SeedMissing(programFolder, userFolder, missing, seeded, choice.error);
    }
    // Folders and databases made by earlier versions were readable by all.
    NarrowTo(userFolder, 0700);
    NarrowTo(userFolder / DatabasePath(), kPrivateFileMode);
    return choice;
}

}  // namespace velotan::platform
