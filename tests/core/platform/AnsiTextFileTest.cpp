#include "platform/AnsiTextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/TempDir.h"

using namespace velotan::platform;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

TEST(AnsiTextFile, SplitsAtAnyLineEnd) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (V{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLines("\n"), (V{""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(AnsiTextFile, WritesCp936WithCrLfAndReadsItBack) {
    TempDir tmp;
    auto file = tmp / "f.ini";
    std::string err;
    ASSERT_TRUE(WriteAnsiLines(file, {u"[set]", u"KeyChar=密钥"}, 0600, &err)) << err;
    EXPECT_EQ(ReadBytes(file), "[set]\r\nKeyChar=\xC3\xDC\xD4\xBF\r\n");
    auto lines = ReadAnsiLines(file);
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::u16string>{u"[set]", u"KeyChar=密钥"}));
}

TEST(AnsiTextFile, AtomicWriteReplacesWithExactModeAndLeavesNoTemporary) {
    TempDir tmp;
    auto file = tmp / "chat.mx";
    WriteBytes(file, "old");
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(WriteFileAtomic(file, "new", 0600));
    EXPECT_EQ(ReadBytes(file), "new");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
}

TEST(AnsiTextFile, FailedWriteKeepsTheOldFileAndSaysWhy) {
    TempDir tmp;
    // The target is a folder: the rename cannot replace it.
    std::filesystem::create_directory(tmp / "target");
    std::string err;
    EXPECT_FALSE(WriteFileAtomic(tmp / "target", "x", 0600, &err));
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "target"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
    // The folder does not exist.
    EXPECT_FALSE(WriteFileAtomic(tmp / "missing" / "f", "x", 0600, &err));
}

TEST(AnsiTextFile, ReadingAFolderOrMissingFileFails) {
    TempDir tmp;
    std::string err;
    EXPECT_FALSE(ReadFileBytes(tmp.path(), &err));
    EXPECT_FALSE(ReadAnsiLines(tmp / "nope", &err));
    EXPECT_FALSE(err.empty());
}

TEST(AnsiTextFile, OrdinaryFilesExcludeFoldersAndHiddenFiles) {
    TempDir tmp;
    WriteBytes(tmp / "chat.mx", "1UGA2");
    WriteBytes(tmp / ".hidden", "x");
    EXPECT_TRUE(IsOrdinaryFile(tmp / "chat.mx"));
    EXPECT_FALSE(IsOrdinaryFile(tmp / ".hidden"));
    EXPECT_FALSE(IsOrdinaryFile(tmp.path()));
    EXPECT_FALSE(IsOrdinaryFile(tmp / "none"));
}

TEST(AnsiTextFile, TheUmaskNarrowsTheModeAndNothingWidensIt) {
    TempDir tmp;
    auto modeOf = [](const std::filesystem::path& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 07777u;
    };
    const mode_t old = ::umask(077);
    const bool privateWritten = WriteFileAtomic(tmp / "settings.ini", "a", kOrdinaryFileMode);
    ::umask(022);
    const bool sharedWritten = WriteFileAtomic(tmp / "Font.ini", "b", kOrdinaryFileMode);
    const bool keyWritten = WriteFileAtomic(tmp / "chat.mx", "c", kPrivateFileMode);
    ::umask(old);
    ASSERT_TRUE(privateWritten && sharedWritten && keyWritten);
    // A user who keeps their files to themselves keeps these too.
    EXPECT_EQ(modeOf(tmp / "settings.ini"), 0600u);
    EXPECT_EQ(modeOf(tmp / "Font.ini"), 0644u);
    EXPECT_EQ(modeOf(tmp / "chat.mx"), 0600u);
}

TEST(AnsiTextFile, TheFolderIsSyncedAfterTheRenameAndAFailedSyncIsReported) {
    TempDir tmp;
    const auto file = tmp / "chat.mx";
    WriteBytes(file, "1UGA2\r\n");
    std::vector<std::string> seen;
    SetFolderSyncProbe([&](const std::filesystem::path& folder) {
        // By the time the folder is synced the new name must be in it.
        seen.push_back(folder.string() + "|" + ReadBytes(file));
        return true;
    });
    std::string err;
    const bool written = WriteFileAtomic(file, "3UGA4\r\n", kPrivateFileMode, &err);
    SetFolderSyncProbe({});
    ASSERT_TRUE(written) << err;
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], tmp.path().string() + "|3UGA4\r\n");

    // The stick went before the folder reached it: the write is not taken
    // for done.
    SetFolderSyncProbe([](const std::filesystem::path&) { return false; });
    const bool failed = !WriteFileAtomic(file, "5UGA6\r\n", kPrivateFileMode, &err);
    SetFolderSyncProbe({});
    EXPECT_TRUE(failed);
    EXPECT_NE(err.find("cannot sync the folder"), std::string::npos) << err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
}

TEST(AnsiTextFile, ReadsOnlyRegularFilesAndNoneBeyondTheLimit) {
    TempDir tmp;
    WriteBytes(tmp / "skin", std::string(100, 'x'));
    std::string err;
    EXPECT_FALSE(ReadFileBytes(tmp / "skin", &err, 99));
    EXPECT_NE(err.find("larger than 99 bytes"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(tmp / "skin", &err, 100), std::string(100, 'x'));
    // Files under /proc report no size and are read all the same.
    const auto status = ReadFileBytes("/proc/self/status", &err);
    ASSERT_TRUE(status) << err;
    EXPECT_NE(status->find("Name:"), std::string::npos);
    // A device is no file.
    EXPECT_FALSE(ReadFileBytes("/dev/null", &err));
    EXPECT_NE(err.find("is not a regular file"), std::string::npos) << err;
}
