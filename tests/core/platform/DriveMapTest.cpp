#include "platform/DriveMap.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <vector>

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

    // A disk with an optional partition; `type` is the device's type
    // attribute (a SCSI type number, or SD / MMC for a memory card).
    // Returns the sysfs folder of the partition, or of the disk without one.
    fs::path Disk(const std::string& devicePath, const std::string& majMin, bool removable,
                  const std::string& partMajMin = "", const std::string& type = "0") {
        fs::path disk = root_ / "devices" / devicePath;
        WriteBytes(disk / "removable", removable ? "1\n" : "0\n");
        WriteBytes(disk / "device" / "type", type + "\n");
        Link(majMin, disk);
        if (partMajMin.empty())
            return disk;
        // mmcblk0p1, but sdb1.
        const std::string name = disk.filename().string();
        fs::path part = disk / (name + (std::isdigit(name.back()) ? "p1" : "1"));
        WriteBytes(part / "partition", "1\n");
        Link(partMajMin, part);
        return part;
    }

    // A device-mapper device (an opened LUKS container, an LVM volume) made
    // of `slaves`, as the kernel shows it under /sys/devices/virtual.
    void Mapped(const std::string& name, const std::string& majMin,
                const std::vector<fs::path>& slaves) {
        fs::path dev = root_ / "devices" / "virtual" / "block" / name;
        WriteBytes(dev / "removable", "0\n");
        fs::create_directories(dev / "slaves");
        for (const auto& slave : slaves)
            fs::create_symlink(slave, dev / "slaves" / slave.filename());
        Link(majMin, dev);
    }

  private:
    void Link(const std::string& majMin, const fs::path& target) {
        fs::create_directories(root_ / "dev" / "block");
        fs::create_symlink(target, root_ / "dev" / "block" / majMin);
    }
    fs::path root_;
};

std::string MountLine(int id, const std::string& majMin, const std::string& mountPoint,
                      const std::string& root = "/") {
    return std::to_string(id) + " 1 " + majMin + " " + root + " " + mountPoint +
           " rw,relatime shared:1 - vfat /dev/x rw\n";
}

// /dev/disk/by-uuid as udev makes it: UUID -> ../../<device name>.
void Uuid(const fs::path& byUuid, const std::string& uuid, const std::string& device) {
    fs::create_directories(byUuid);
    fs::create_symlink(fs::path("../..") / device, byUuid / uuid);
}

}  // namespace

TEST(DriveMap, AssignsLettersFromDToRemovableMountsSortedByMountPoint) {
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    sys.Disk("pci0/ata1/block/sda", "8:0", false, "8:1");              // fixed disk
    sys.Disk("pci0/usb1/1-1/host6/block/sdb", "8:16", false, "8:17");  // USB, flag 0
    // An SD card in a built-in reader: the kernel leaves removable at 0.
    sys.Disk("pci0/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0", "179:0", false, "179:1", "SD");
    sys.Disk("pci0/ata2/block/sr0", "11:0", true, "", "5");  // CD drive
    std::string mountinfo = MountLine(20, "8:1", "/") + MountLine(21, "0:22", "/proc") +
                            MountLine(22, "8:17", "/media/zed") +
                            MountLine(23, "179:1", "/media/alpha\\040stick") +
                            MountLine(24, "11:0", "/media/cdrom") + "garbage line\n";
    WriteBytes(tmp / "mountinfo", mountinfo);

    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid",
                                  tmp / "state" / "drive-letters");
    ASSERT_EQ(map.Drives().size(), 2u);
    EXPECT_EQ(*map.MountPoint(u'D'), fs::path("/media/alpha stick"));
    EXPECT_EQ(*map.MountPoint(u'e'), fs::path("/media/zed"));
    EXPECT_FALSE(map.DriveExists(u'F'));
    EXPECT_FALSE(map.DriveExists(u'C'));
}

TEST(DriveMap, OpticalDrivesAreNoKeyStores) {
    // removable = 1, but read-only: by its "sr" name, or by SCSI type 5
    // under another name; a partition of such a disk counts as its disk.
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    sys.Disk("pci0/ata2/block/sr0", "11:0", true);
    sys.Disk("pci0/ata3/block/sdx", "8:96", true, "8:97", "5");
    sys.Disk("pci0/usb1/block/sdc", "8:32", true, "8:33");
    WriteBytes(tmp / "mountinfo", MountLine(1, "11:0", "/media/a-cd") +
                                      MountLine(2, "8:97", "/media/b-dvd") +
                                      MountLine(3, "8:33", "/media/stick"));
    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid", std::nullopt);
    ASSERT_EQ(map.Drives().size(), 1u);
    EXPECT_EQ(*map.MountPoint(u'D'), fs::path("/media/stick"));
}

namespace {

// Two sticks that come and go, each with its filesystem UUID.
class StableLetters : public ::testing::Test {
  protected:
    StableLetters() : sys_(tmp_ / "sys") {
        sys_.Disk("usb1/block/sdb", "8:16", true, "8:17");
        sys_.Disk("usb1/block/sdc", "8:32", true, "8:33");
        sys_.Disk("usb1/block/sdd", "8:48", true, "8:49");
        Uuid(tmp_ / "by-uuid", "AAAA-0001", "sdb1");
        Uuid(tmp_ / "by-uuid", "BBBB-0002", "sdc1");
        Uuid(tmp_ / "by-uuid", "CCCC-0003", "sdd1");
    }
    DriveMap Scan(const std::string& mountinfo) {
        WriteBytes(tmp_ / "mountinfo", mountinfo);
        return DriveMap::Scan(tmp_ / "mountinfo", tmp_ / "sys", tmp_ / "by-uuid", LetterFile());
    }
    fs::path LetterFile() const { return tmp_ / "state" / "velotan" / "drive-letters"; }

    TempDir tmp_;
    SysFixture sys_;
    const std::string first_ = MountLine(1, "8:17", "/media/u/first");
    const std::string second_ = MountLine(2, "8:33", "/media/u/second");
    const std::string third_ = MountLine(3, "8:49", "/media/u/third");
};

}  // namespace

TEST_F(StableLetters, AMediumKeepsItsLetterAndGetsItBackWhenItReturns) {
    DriveMap both = Scan(first_ + second_);
    EXPECT_EQ(both.MountPoint(u'D'), fs::path("/media/u/first"));
    EXPECT_EQ(both.MountPoint(u'E'), fs::path("/media/u/second"));

    // The first stick is pulled: the second does not move up to D.
    DriveMap secondOnly = Scan(second_);
    EXPECT_FALSE(secondOnly.DriveExists(u'D'));
    EXPECT_EQ(secondOnly.MountPoint(u'E'), fs::path("/media/u/second"));

    // A new stick takes a letter never handed out, not the first one's D.
    DriveMap withThird = Scan(second_ + third_);
    EXPECT_EQ(withThird.MountPoint(u'F'), fs::path("/media/u/third"));
    EXPECT_FALSE(withThird.DriveExists(u'D'));

    // The first returns, mounted elsewhere this time, and is D again.
    DriveMap back = Scan(MountLine(4, "8:17", "/media/u/zzz-first") + second_ + third_);
    EXPECT_EQ(back.MountPoint(u'D'), fs::path("/media/u/zzz-first"));
    EXPECT_EQ(back.MountPoint(u'E'), fs::path("/media/u/second"));
    EXPECT_EQ(back.MountPoint(u'F'), fs::path("/media/u/third"));

    EXPECT_EQ(velotan::testing::ReadBytes(LetterFile()), "D=AAAA-0001\nE=BBBB-0002\nF=CCCC-0003\n");
}

TEST_F(StableLetters, BindMountsDoNotCountAsMedia) {
    DriveMap map = Scan(MountLine(1, "8:17", "/srv/bind", "/sub") + first_ + second_);
    ASSERT_EQ(map.Drives().size(), 2u);
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/first"));
}

TEST_F(StableLetters, FreedLettersAreReusedOnlyWhenNoneIsLeft) {
    // D..Y were handed out to media that are away now, and Z to the second.
    std::string remembered;
    for (char c = 'D'; c < 'Z'; ++c)
        remembered += std::string(1, c) + "=gone-" + c + "\n";
    remembered += "Z=BBBB-0002\n";
    WriteBytes(LetterFile(), remembered);
    DriveMap map = Scan(first_ + second_);
    EXPECT_EQ(map.MountPoint(u'Z'), fs::path("/media/u/second"));
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/first"));
    const std::string file = velotan::testing::ReadBytes(LetterFile());
    EXPECT_NE(file.find("D=AAAA-0001\n"), std::string::npos);
    EXPECT_EQ(file.find("gone-D"), std::string::npos);
    EXPECT_NE(file.find("E=gone-E\n"), std::string::npos);
}

TEST_F(StableLetters, WithoutMemoryEveryScanStartsAtD) {
    WriteBytes(tmp_ / "mountinfo", second_);
    DriveMap map = DriveMap::Scan(tmp_ / "mountinfo", tmp_ / "sys", tmp_ / "by-uuid", std::nullopt);
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/second"));
    EXPECT_FALSE(fs::exists(LetterFile()));
}

TEST(DriveMap, LetterFileLivesInTheUsersStateFolder) {
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const std::string savedState = oldState ? oldState : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_STATE_HOME", "/tmp/state-home", 1);
    EXPECT_EQ(DriveMap::DefaultLetterFile(), fs::path("/tmp/state-home/velotan/drive-letters"));
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(DriveMap::DefaultLetterFile(),
              fs::path("/home/someone/.local/state/velotan/drive-letters"));
    // A relative XDG_STATE_HOME is to be ignored.
    ::setenv("XDG_STATE_HOME", "relative", 1);
    EXPECT_EQ(DriveMap::DefaultLetterFile(),
              fs::path("/home/someone/.local/state/velotan/drive-letters"));

    if (oldState)
        ::setenv("XDG_STATE_HOME", savedState.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
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
    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid",
                                  tmp / "state" / "drive-letters");
    EXPECT_EQ(map.Drives().size(), 23u);
    EXPECT_EQ(map.Drives().begin()->first, 'D');
    EXPECT_EQ(map.Drives().rbegin()->first, 'Z');
    EXPECT_EQ(*map.MountPoint(u'Z'), fs::path("/m/22"));
}

TEST(DriveMap, MissingMountTableGivesNoDrives) {
    EXPECT_TRUE(
        DriveMap::Scan("/nonexistent/mountinfo", "/nonexistent", "/nonexistent", std::nullopt)
            .Drives()
            .empty());
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

TEST(DriveMap, OnlyAsciiLettersDToZAreDriveLetters) {
    DriveMap map({{'H', "/media/stick"}, {'A', "/media/floppy"}});
    EXPECT_TRUE(map.DriveExists(u'h'));
    // U+4E48 and U+0148 end in the byte of "H"; they name no drive.
    EXPECT_FALSE(map.DriveExists(u'\u4E48'));
    EXPECT_FALSE(map.DriveExists(u'\u0148'));
    EXPECT_EQ(map.RootFolder(u"\u4E48"), std::nullopt);
    EXPECT_EQ(map.ToNative(u"\u4E48:\\mxsw"), fs::path("\xE4\xB9\x88:/mxsw"));
    // A, B and C never are, whatever a map holds.
    EXPECT_FALSE(map.DriveExists(u'A'));
}

TEST(DriveMap, SdCardsCountEmmcAndTheSystemsOwnCardDoNot) {
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    sys.Disk("mmc_host/mmc0/mmc0:0001/block/mmcblk0", "179:0", false, "179:1", "MMC");  // eMMC
    sys.Disk("mmc_host/mmc1/mmc1:aaaa/block/mmcblk1", "179:8", false, "179:9", "SD");
    // A single-board computer runs from its card: that card holds / and /boot.
    sys.Disk("mmc_host/mmc2/mmc2:bbbb/block/mmcblk2", "179:16", false, "179:17", "SD");
    sys.Disk("mmc_host/mmc3/mmc3:cccc/block/mmcblk3", "179:24", false, "179:25", "SD");
    WriteBytes(tmp / "mountinfo",
               MountLine(1, "179:1", "/media/u/emmc") + MountLine(2, "179:9", "/media/u/card") +
                   MountLine(3, "179:17", "/") + MountLine(4, "179:25", "/boot/firmware"));
    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid", std::nullopt);
    ASSERT_EQ(map.Drives().size(), 1u);
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/card"));
}

TEST(DriveMap, AnOpenedEncryptedStickCountsThroughTheDiskUnderIt) {
    TempDir tmp;
    SysFixture sys(tmp / "sys");
    const fs::path stick = sys.Disk("pci0/usb2/2-1/host7/block/sdb", "8:16", false, "8:17");
    const fs::path internal = sys.Disk("pci0/ata1/block/sda", "8:0", false, "8:2");
    sys.Mapped("dm-0", "254:0", {stick});     // LUKS on the stick
    sys.Mapped("dm-1", "254:1", {internal});  // LVM on the internal disk
    sys.Mapped("dm-2", "254:2", {tmp / "sys" / "devices" / "virtual" / "block" / "dm-0"});
    Uuid(tmp / "by-uuid", "LUKS-INNER", "dm-0");
    WriteBytes(tmp / "mountinfo", MountLine(1, "254:1", "/") +
                                      MountLine(2, "254:0", "/media/u/secret") +
                                      MountLine(3, "254:2", "/media/u/stacked"));
    DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid", std::nullopt);
    ASSERT_EQ(map.Drives().size(), 2u);
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/secret"));
    EXPECT_EQ(map.MountPoint(u'E'), fs::path("/media/u/stacked"));
}

namespace {

// All 23 letters handed out to media that are away now, remembered in the
// order they were last seen.
class AllLettersHandedOut : public StableLetters {
  protected:
    void Remember(const std::string& order) {
        std::string file;
        for (char c : order)
            file += std::string(1, c) + "=gone-" + c + "\n";
        WriteBytes(LetterFile(), file);
    }
    static std::string AllExcept(const std::string& first) {
        std::string rest = first;
        for (char c = 'D'; c <= 'Z'; ++c) {
            if (first.find(c) == std::string::npos)
                rest += c;
        }
        return rest;
    }
};

}  // namespace

TEST_F(AllLettersHandedOut, ANewMediumTakesTheLetterSeenLeastRecently) {
    // G was seen longest ago, though D is the lowest letter.
    Remember(AllExcept("G"));
    DriveMap map = Scan(first_);
    EXPECT_EQ(map.MountPoint(u'G'), fs::path("/media/u/first"));
    EXPECT_FALSE(map.DriveExists(u'D'));
    // Seen now, G goes to the end of the order; D is now the oldest.
    const std::string file = velotan::testing::ReadBytes(LetterFile());
    EXPECT_EQ(file.substr(0, 9), "D=gone-D\n");
    EXPECT_EQ(file.substr(file.size() - 12), "G=AAAA-0001\n");
}

TEST_F(AllLettersHandedOut, TheKeySticksLetterIsNeverGivenAway) {
    // E, the key stick's letter, was seen longest ago, then K.
    Remember(AllExcept("EK"));
    WriteBytes(tmp_ / "mountinfo", first_);
    DriveMap map =
        DriveMap::Scan(tmp_ / "mountinfo", tmp_ / "sys", tmp_ / "by-uuid", LetterFile(), u'e');
    EXPECT_EQ(map.MountPoint(u'K'), fs::path("/media/u/first"));
    EXPECT_FALSE(map.DriveExists(u'E'));
    EXPECT_NE(velotan::testing::ReadBytes(LetterFile()).find("E=gone-E\n"), std::string::npos);
}

TEST_F(StableLetters, AFailedWriteOfTheLettersIsReported) {
    // Something that is no folder stands where the state folder belongs.
    WriteBytes(tmp_ / "state", "a file");
    DriveMap map = Scan(first_);
    EXPECT_EQ(map.MountPoint(u'D'), fs::path("/media/u/first"));
    EXPECT_NE(map.LetterFileError().find(LetterFile().string()), std::string::npos)
        << map.LetterFileError();
    // Nothing to remember, nothing to report.
    DriveMap none =
        DriveMap::Scan(tmp_ / "mountinfo", tmp_ / "sys", tmp_ / "by-uuid", std::nullopt);
    EXPECT_TRUE(none.LetterFileError().empty());
}
