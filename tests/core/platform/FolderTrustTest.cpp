// Which folders may hold the user's keys.

#include "platform/FolderTrust.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/TempDir.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;
using velotan::testing::TempDir;

TEST(FolderTrust, ModesThatLetOthersWriteAreRefused) {
    TempDir tmp;
    const fs::path folder = tmp.path() / "keys";
    fs::create_directories(folder);
    const struct {
        mode_t mode;
        FolderTrust trust;
    } cases[] = {
        {0700, FolderTrust::Trusted},
        {0755, FolderTrust::Trusted},
        {0757, FolderTrust::OthersCanWrite},
        {0777, FolderTrust::OthersCanWrite},
        // A world-writable folder with the sticky bit, like /tmp: others
        // can still make mxsw there first.
        {01777, FolderTrust::OthersCanWrite},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
        EXPECT_EQ(CheckFolderTrust(folder), c.trust) << std::oct << c.mode;
    }
    EXPECT_EQ(CheckFolderTrust(tmp.path() / "missing"), FolderTrust::NotChecked);
}

TEST(FolderTrust, AFolderOfAnotherUserIsRefusedRootsIsNot) {
    TempDir tmp;
    const fs::path folder = tmp.path() / "keys";
    fs::create_directories(folder);
    ::chmod(folder.c_str(), 0700);
    uid_t me = ::geteuid();
    if (me == 0) {
        // Root can hand it to someone else.
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    } else {
        // Or it is this user's, judged for another one.
        me += 1;
    }
    EXPECT_EQ(CheckFolderTrust(folder, me), FolderTrust::OthersOwnIt);
    // The system's own folders are root's, and trusted like ~/.ssh's parents.
    EXPECT_EQ(CheckFolderTrust("/", me), FolderTrust::Trusted);
}

TEST(FolderTrust, FileSystemsWithoutOwnersAreNotJudged) {
    // A FAT stick mounted by the user shows the user as its owner and
    // whatever mode the mount made up.
    for (const long type : {0x4d44L, 0x2011BAB0L, 0x5346544EL, 0x7366746EL, 0x65735546L})
        EXPECT_FALSE(FileSystemKeepsOwners(type)) << std::hex << type;
    // ext4, btrfs, xfs, tmpfs
    for (const long type : {0xEF53L, 0x9123683EL, 0x58465342L, 0x01021994L})
        EXPECT_TRUE(FileSystemKeepsOwners(type)) << std::hex << type;
}

}  // namespace
}  // namespace velotan::platform
