#include "FolderTrust.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace velotan::platform {
namespace {

// A group that holds nobody but the user: the user's private group, which
// many systems give every account, and which may write where the user may.
bool IsUsersPrivateGroup(gid_t group, uid_t user) {
    std::vector<char> buffer(16384);
    passwd account{};
    passwd* foundAccount = nullptr;
    if (::getpwuid_r(user, &account, buffer.data(), buffer.size(), &foundAccount) != 0 ||
        !foundAccount || account.pw_gid != group)
        return false;
    std::vector<char> groupBuffer(16384);
    struct group entry {};
    struct group* foundGroup = nullptr;
    if (::getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &foundGroup) != 0 ||
        !foundGroup)
        return false;
    if (std::strcmp(entry.gr_name, account.pw_name) != 0)
        return false;
    for (char** member = entry.gr_mem; member && *member; ++member) {
        if (std::strcmp(*member, account.pw_name) != 0)
            return false;
    }
    return true;
}

}  // namespace

bool FileSystemKeepsOwners(long fileSystemType) {
    switch (static_cast<unsigned long>(fileSystemType) & 0xFFFFFFFFul) {
        case 0x4d44ul:      // FAT (vfat, msdos)
        case 0x2011BAB0ul:  // exFAT
        case 0x5346544Eul:  // NTFS (ntfs)
        case 0x7366746Eul:  // NTFS (ntfs3)
        case 0x65735546ul:  // FUSE (ntfs-3g, exfat-fuse)
        case 0x482Bul:      // HFS+
        case 0x4244ul:      // HFS
            return false;
        default:
            return true;
    }
}

FolderTrust CheckFolderTrust(const std::filesystem::path& folder, uid_t user) {
    struct stat info {};
    struct statfs fileSystem {};
    if (::stat(folder.c_str(), &info) != 0 || ::statfs(folder.c_str(), &fileSystem) != 0)
        return FolderTrust::NotChecked;
    if (!FileSystemKeepsOwners(static_cast<long>(fileSystem.f_type)))
        return FolderTrust::NotChecked;
    if (info.st_uid != user && info.st_uid != 0)
        return FolderTrust::OthersOwnIt;
    if ((info.st_mode & S_IWOTH) != 0)
        return FolderTrust::OthersCanWrite;
    if ((info.st_mode & S_IWGRP) != 0 && !IsUsersPrivateGroup(info.st_gid, user))
        return FolderTrust::OthersCanWrite;
    return FolderTrust::Trusted;
}

}  // namespace velotan::platform
