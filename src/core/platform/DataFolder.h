#pragma once
// Where the program keeps the files it writes. A program folder the user can
// write (a copied, portable folder) keeps them itself; a folder installed for
// every user, such as /opt/velotan, cannot, so each user gets a folder of
// their own under $XDG_DATA_HOME, seeded once from the shipped files.

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

struct DataFolderChoice {
    std::filesystem::path folder;  // where the program's own files live
    bool perUser = false;          // folder is the per-user one
    std::string error;             // seeding failed: why (the folder is still used)
};

using WritableProbe = std::function<bool(const std::filesystem::path&)>;

// A file that a system-wide installation (the Debian package) puts into the
// program folder: the folder belongs to every user, so even root, who could
// write it, keeps their own files apart and leaves the shipped ones as they
// are for the users who have not started the program yet.
inline constexpr const char* kSharedInstallMarker = "shared-install";

// The program folder when `writable` says so and it carries no
// kSharedInstallMarker; otherwise `userFolder`, seeded
// from the program folder once. A shipped file is copied only when the
// per-user folder does not have it yet, and never changed in place. Once
// seeded, a marker file keeps a later start from copying again (so a used-up
// first-run marker does not come back).
DataFolderChoice ChooseDataFolder(const std::filesystem::path& programFolder,
                                  const WritableProbe& writable = FolderIsWritable,
                                  const std::filesystem::path& userFolder = UserDataFolder());

}  // namespace velotan::platform
