#include "platform/DriveMap.h"

#include <gtest/gtest.h>

#include "common/TempDir.h"

using velotan::platform::DriveMap;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

// Builds a small sysfs: /sys/devices/... with the block devices, and
// /sys/dev/block/MAJ:MIN links to them, as the kernel lays them out.
class SysFixture {
  public:
    explicit SysFixture(const fs::path& root) : root_(root) {}

    // A disk with an optional partition; returns the MAJ:MIN to mount.
    void Disk(const std::string& devicePath, const std::string& majMin, bool removable,
              const std::string& partMajMin = "") {
        fs::path disk = root_ / "devices" / devicePath;
        WriteBytes(disk / "removable", removable ? "1\n" : "0\n");
        Link(majMin, disk);
        if (!partMajMin.empty()) {
            fs::path part = disk / (disk.filename().string() + "1");
            WriteBytes(part / "partition", "1\n");
            Link(partMajMin, part);
        }
    }

  private:
    void Link(const std::string& majMin, const fs::path& target) {
        fs::create_directories(root_ / "dev" / "block");
        fs::create_symlink(target, root_ / "dev" / "block" / majMin);
    }
    fs::path root_;
};

std::string MountLine(int id, const std::string& majMin, const std::string& mountPoint) {
    return std::to_string(id) + " 1 " + majMin + " / " + mountPoint +
           " rw,relatime shared:1 - vfat /dev/x rw\n";
}

}  // namespace

TEST(DriveMap, AssignsLettersFromDToRemovableMountsSortedByMountPoint) {
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    sys.Disk("pci0/ata1/block/sda", "8:0", false, "8:1");              // fixed disk
    sys.Disk("pci0/usb1/1-1/host6/block/sdb", "8:16", false, "8:17");  // USB, flag 0
    sys.Disk("pci0/mmc0/block/mmcblk0", "179:0", true, "179:1");       // card reader
    sys.Disk("pci0/ata2/block/sr0", "11:0", true);                     // removable, no partition
    std::string mountinfo = MountLine(20, "8:1", "/") + MountLine(21, "0:22", "/proc") +
                            MountLine(22, "8:17", "/media/zed") +
                            MountLine(23, "179:1", "/media/alpha\\040stick") +
                            MountLine(24, "11:0", "/media/cdrom") + "garbage line\n";
    WriteBytes(tmp / "mountinfo", mountinfo);

    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys");
    ASSERT_EQ(map.Drives().size(), 3u);
    EXPECT_EQ(*map.MountPoint(u'D'), fs::path("/media/alpha stick"));
    EXPECT_EQ(*map.MountPoint(u'E'), fs::path("/media/cdrom"));
    EXPECT_EQ(*map.MountPoint(u'f'), fs::path("/media/zed"));
    EXPECT_FALSE(map.DriveExists(u'G'));
    EXPECT_FALSE(map.DriveExists(u'C'));
}

TEST(DriveMap, NeverHandsOutLettersBeyondZ) {
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    std::string mountinfo;
    for (int i = 0; i < 30; ++i) {
        std::string mm = "8:" + std::to_string(i * 16);
        sys.Disk("usb1/block/sd" + std::to_string(i), mm, true);
        char name[16];
        std::snprintf(name, sizeof name, "/m/%02d", i);
        mountinfo += MountLine(100 + i, mm, name);
    }
    WriteBytes(tmp / "mountinfo", mountinfo);
    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys");
    EXPECT_EQ(map.Drives().size(), 23u);
    EXPECT_EQ(map.Drives().begin()->first, 'D');
    EXPECT_EQ(map.Drives().rbegin()->first, 'Z');
    EXPECT_EQ(*map.MountPoint(u'Z'), fs::path("/m/22"));
}

TEST(DriveMap, MissingMountTableGivesNoDrives) {
    EXPECT_TRUE(DriveMap::Scan("/nonexistent/mountinfo", "/nonexistent").Drives().empty());
}

TEST(DriveMap, ComposedPathsBecomeNative) {
    DriveMap map({{'G', "/media/stick"}});
    EXPECT_EQ(map.ToNative(u"G:\\mxsw\\encrypt"), fs::path("/media/stick/mxsw/encrypt"));
    EXPECT_EQ(map.ToNative(u"g:"), fs::path("/media/stick"));
    // An unmapped letter is an ordinary (relative) path; backslashes separate.
    EXPECT_EQ(map.ToNative(u"C:\\A\\\\mxsw\\encrypt"), fs::path("C:/A/mxsw/encrypt"));
    EXPECT_EQ(map.ToNative(u"/home/u/keys\\mxsw"), fs::path("/home/u/keys/mxsw"));
    EXPECT_EQ(map.ToNative(u"/home/密钥/"), fs::path("/home/\xE5\xAF\x86\xE9\x92\xA5/"));
}

TEST(DriveMap, RootFolderTreatsOneCharacterAsDriveLetter) {
    DriveMap map({{'G', "/media/stick"}});
    EXPECT_EQ(map.RootFolder(u"G"), fs::path("/media/stick"));
    EXPECT_EQ(map.RootFolder(u"H"), std::nullopt);  // not mounted
    EXPECT_EQ(map.RootFolder(u"1"), std::nullopt);  // no drive at all
    EXPECT_EQ(map.RootFolder(u""), std::nullopt);
    EXPECT_EQ(map.RootFolder(u"G:"), fs::path("/media/stick"));
    EXPECT_EQ(map.RootFolder(u"/tmp/k"), fs::path("/tmp/k"));
}
