#pragma once
// Whether a folder may hold the user's keys. As ssh refuses a lax ~/.ssh, a
// key store in a folder that belongs to someone else, or that others can
// write, is refused: whoever can write it can put their own mxsw there
// beforehand, or swap the key file under the user.

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>

namespace velotan::platform {

enum class FolderTrust {
    Trusted,         // the user's own (or root's), written by nobody else
    NotChecked,      // its file system keeps no owners and modes, or it is not there
    OthersOwnIt,     // it belongs to another user
    OthersCanWrite,  // others may write into it (a group that is not the user's own counts)
};

// A FAT, exFAT or NTFS stick (or one through FUSE) shows an owner and a mode
// made up by its mount, the mounting user's: nothing can be judged from them.
bool FileSystemKeepsOwners(long fileSystemType);

// Judges `folder` (a link is followed) for the user `user`.
FolderTrust CheckFolderTrust(const std::filesystem::path& folder, uid_t user = ::geteuid());

}  // namespace velotan::platform
