#include "cipher/KeyStoreFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/TempDir.h"
#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

using namespace velotan::cipher;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

std::vector<std::u16string> Lines(const fs::path& file) {
    return velotan::platform::ReadAnsiLines(file).value_or(std::vector<std::u16string>{});
}

constexpr const char16_t* kStamp = u"2026-12-07 22:10:05";

}  // namespace

TEST(KeepEarlierKeys, AddsEachReplacedPairUnderOneHeader) {
    TempDir tmp;
    WriteBytes(tmp / "chat.mx", "6UGA21\r\n");
    ASSERT_TRUE(KeepEarlierKeys(tmp.path(), u"17UGA5", kStamp));
    // chat.mx is the caller's to replace.
    EXPECT_EQ(ReadBytes(tmp / "chat.mx"), "6UGA21\r\n");
    auto lines = Lines(tmp / "chat-earlier.mx");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(u"更改随机密钥"), std::u16string::npos);
    EXPECT_EQ(lines[1], std::u16string(kStamp) + u"  第一项密钥 6，第二项密钥 21");

    // The next pair goes below; the header stays one.
    WriteBytes(tmp / "chat.mx", "17UGA5\r\n");
    ASSERT_TRUE(KeepEarlierKeys(tmp.path(), u"3UGA9", u"2026-12-08 08:00:00"));
    lines = Lines(tmp / "chat-earlier.mx");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], u"2026-12-08 08:00:00  第一项密钥 17，第二项密钥 5");
    // Keys are for the owner's eyes only.
    struct stat st {};
    ASSERT_EQ(::stat((tmp / "chat-earlier.mx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(KeepEarlierKeys, KeepsEveryLineOfTheOldFileAndNothingWhenNothingIsLost) {
    TempDir tmp;
    // No key file yet, or one that already holds the new pair: nothing to keep.
    EXPECT_TRUE(KeepEarlierKeys(tmp.path(), u"1UGA2", kStamp));
    WriteBytes(tmp / "chat.mx", "1UGA2\r\n\r\n");
    EXPECT_TRUE(KeepEarlierKeys(tmp.path(), u"1UGA2", kStamp));
    EXPECT_FALSE(fs::exists(tmp / "chat-earlier.mx"));

    // Several lines, one of them no key line: each is kept as it was.
    WriteBytes(tmp / "chat.mx", "4UGA5\r\nkaputt\r\n8UGA9\r\n");
    ASSERT_TRUE(KeepEarlierKeys(tmp.path(), u"1UGA2", kStamp));
    const auto lines = Lines(tmp / "chat-earlier.mx");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], std::u16string(kStamp) + u"  第一项密钥 4，第二项密钥 5");
    EXPECT_EQ(lines[2], std::u16string(kStamp) + u"  密钥文件中的一行：kaputt");
    EXPECT_EQ(lines[3], std::u16string(kStamp) + u"  第一项密钥 8，第二项密钥 9");
}

TEST(KeepEarlierKeys, FailsWhenThePairCannotBeKept) {
    TempDir tmp;
    WriteBytes(tmp / "chat.mx", "6UGA21\r\n");
    fs::create_directories(tmp / "chat-earlier.mx");
    std::string error;
    EXPECT_FALSE(KeepEarlierKeys(tmp.path(), u"17UGA5", kStamp, &error));
    EXPECT_FALSE(error.empty());
}

TEST(KeepEarlierKeys, StampsWithTheLocalTime) {
    const std::u16string stamp = NowStamp();
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_EQ(stamp[4], u'-');
    EXPECT_EQ(stamp[10], u' ');
    EXPECT_EQ(stamp[13], u':');
}

TEST(CopyKeyStore, CopiesWhatTheNewStoreLacksAndLeavesTheOldOne) {
    TempDir tmp;
    const fs::path from = tmp / "old" / "mxsw" / "encrypt";
    WriteBytes(from / "chat.mx", "6UGA21\r\n");
    WriteBytes(from / "chat-earlier.mx", "header\r\nearlier\r\n");
    WriteBytes(from / "strong.mx", "own strong keys");
    WriteBytes(from / "friends.mx", "friends' keys");
    WriteBytes(from / "notes.txt", "not a key file");
    fs::create_directories(tmp / "new");
    const fs::path to = tmp / "new" / "mxsw" / "encrypt";
    ASSERT_TRUE(CopyKeyStore(from, to));
    EXPECT_EQ(ReadBytes(to / "chat.mx"), "6UGA21\r\n");
    EXPECT_EQ(ReadBytes(to / "chat-earlier.mx"), "header\r\nearlier\r\n");
    EXPECT_EQ(ReadBytes(to / "strong.mx"), "own strong keys");
    EXPECT_EQ(ReadBytes(to / "friends.mx"), "friends' keys");
    EXPECT_FALSE(fs::exists(to / "notes.txt"));
    // The folders are the user's alone, whatever the umask.
    for (const fs::path& folder : {to.parent_path(), to}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_EQ(ReadBytes(from / "chat.mx"), "6UGA21\r\n");

    // What the new store has already stays.
    WriteBytes(to / "chat.mx", "1UGA1\r\n");
    fs::remove(to / "chat-earlier.mx");
    ASSERT_TRUE(CopyKeyStore(from, to));
    EXPECT_EQ(ReadBytes(to / "chat.mx"), "1UGA1\r\n");
    EXPECT_TRUE(fs::exists(to / "chat-earlier.mx"));
}

TEST(CopyKeyStore, AnAbsentRootIsNotMadeUp) {
    TempDir tmp;
    const fs::path from = tmp / "old" / "mxsw" / "encrypt";
    WriteBytes(from / "chat.mx", "6UGA21\r\n");
    std::string error;
    EXPECT_FALSE(CopyKeyStore(from, tmp / "absent" / "mxsw" / "encrypt", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(tmp / "absent"));
}
