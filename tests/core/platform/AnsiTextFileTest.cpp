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
