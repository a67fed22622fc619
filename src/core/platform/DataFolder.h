#pragma once
// Where the program keeps the files it writes. A program folder that is the
// user's own (a copied, portable folder) keeps them itself; a folder installed
// for every user, such as /usr/lib/velotan, does not, so each user gets a folder
// of their own under $XDG_DATA_HOME, seeded from the shipped files.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velotan::platform {

// Whether this process can create files in `folder`. Root passes every
// permission check, so the answer comes from a real probe file, not only
// from access().
bool FolderIsWritable(const std::filesystem::path& folder);

// $XDG_DATA_HOME, or ~/.local/share when XDG_DATA_HOME is unset, empty or
// relative. Empty when neither it nor HOME is known.
std::filesystem::path UserDataHome();

// UserDataHome()/velotan; empty when UserDataHome() is.
std::filesystem::path UserDataFolder();

// The shipped files that the program later changes, relative to the program
// folder, in the order they are seeded. The first-run marker comes last, so
// that it is never there without the database it belongs to.
const std::vector<std::filesystem::path>& SeededFiles();

// The password database, relative to the program or data folder. Every
// program folder ships it, and a per-user folder cannot work without it.
std::filesystem::path DatabasePath();

// A folder the program was installed into: it holds the shipped symbol table
// and the shipped password database. Only such a folder seeds anything.
bool IsProgramFolder(const std::filesystem::path& folder);

struct DataFolderChoice {
    // Where the program's own files live; empty when there is no folder for
    // them (error says why), and then the program must not start.
    std::filesystem::path folder;
    bool perUser = false;  // folder is the per-user one
    std::string error;     // seeding failed: why (the folder is still used)
};

using FolderProbe = std::function<bool(const std::filesystem::path&)>;

// Whether this user keeps their files in `programFolder` itself: a folder they
// own and can write (a copied, portable folder). A folder that belongs to
// someone else is shared with them; one that belongs to root is a system-wide
// installation, and even root keeps their own files apart from it, so that
// one root run never hands root's password and a used-up first-run marker to
// every later user.
bool IsUsersOwnFolder(const std::filesystem::path& programFolder);

// A file that a system-wide installation (the Debian package) puts into the
// program folder: the folder belongs to every user, whoever owns it.
inline constexpr const char* kSharedInstallMarker = "shared-install";

// The program folder when `ownFolder` says so and it carries no
// kSharedInstallMarker (its database narrowed to 0600); otherwise
// `userFolder` (made 0700), or no folder when that is empty, seeded from the
// program folder. A shipped file is copied only when the per-user folder does
// not have it, and never changed in place; a per-user database that has gone
// is copied again. The first-run marker is copied once only: a marker file
// written after it keeps a used-up one from coming back. Nothing is copied or
// made from a folder that is no program folder, and a shipped database that
// is missing is an error.
DataFolderChoice ChooseDataFolder(const std::filesystem::path& programFolder,
                                  const FolderProbe& ownFolder = IsUsersOwnFolder,
                                  const std::filesystem::path& userFolder = UserDataFolder());

}  // namespace velotan::platform
