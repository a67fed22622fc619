// The atomic writer in failing surroundings: whatever stops the write, the
// old file stays byte for byte and no temporary file is left behind.

#include <gtest/gtest.h>

#include "common/FifoGuard.h"
#include "common/TempDir.h"
#include "common/WriteDenial.h"
#include "platform/AnsiTextFile.h"
#include "platform/DataFolder.h"
#include "platform/DriveMap.h"

using namespace velotan::platform;
using velotan::testing::FifoGuard;
using velotan::testing::HasLeftovers;
using velotan::testing::kReadOnlyStopsNothing;
using velotan::testing::ReadBytes;
using velotan::testing::ReadOnlyFolders;
using velotan::testing::RunWithFileSizeLimit;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

namespace {

const std::string kOld = "[set]\r\nKeyChar=E\r\n";

}  // namespace

TEST(WriterFaults, ReadOnlyFolderRefusesTheWriteAndKeepsTheOldFile) {
    TempDir tmp;
    const auto folder = tmp / "program";
    WriteBytes(folder / "settings.ini", kOld);
    ReadOnlyFolders readOnly(tmp.path(), {folder});
    if (!readOnly.Active())
        GTEST_SKIP() << kReadOnlyStopsNothing;
    std::string error;
    EXPECT_FALSE(WriteAnsiLines(folder / "settings.ini", {u"[set]", u"KeyChar=F"}, 0600, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(folder / "settings.ini"), kOld);
    EXPECT_FALSE(HasLeftovers(folder));
}

TEST(WriterFaults, DiskFullDuringTheWriteKeepsTheOldFile) {
    TempDir tmp;
    const auto file = tmp / "settings.ini";
    WriteBytes(file, kOld);
    // More than the limit, written in one call: the first bytes go through,
    // the rest fails as on a full disk.
    const std::string big(10000, 'x');
    const auto outcome = RunWithFileSizeLimit(64, [&] {
        std::string error;
        if (WriteFileAtomic(file, big, 0600, &error))
            return std::string("written");
        return "failed: " + error;
    });
    ASSERT_TRUE(outcome) << "the writer did not come back";
    EXPECT_TRUE(outcome->starts_with("failed: cannot write")) << *outcome;
    EXPECT_NE(outcome->find("File too large"), std::string::npos) << *outcome;
    EXPECT_EQ(ReadBytes(file), kOld);
    EXPECT_FALSE(HasLeftovers(tmp.path()));

    // The same write without the limit goes through: the limit made the fault.
    ASSERT_TRUE(WriteFileAtomic(file, big, 0600));
    EXPECT_EQ(ReadBytes(file), big);
}

TEST(ReaderFaults, ANamedPipeIsReadAsNoFileWithoutWaiting) {
    TempDir tmp;
    FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(tmp / "Font.ini"));
    std::string error;
    EXPECT_FALSE(ReadFileBytes(tmp / "Font.ini", &error));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(ReadAnsiLines(tmp / "Font.ini", &error));

    // The drive letters remembered: a pipe is no memory.
    const auto letters = tmp / "state" / "drive-letters";
    ASSERT_TRUE(pipes.Add(letters));
    WriteBytes(tmp / "mountinfo", "");
    const DriveMap map = DriveMap::Scan(tmp / "mountinfo", tmp / "sys", tmp / "by-uuid", letters);
    EXPECT_TRUE(map.Drives().empty());

    // A shipped database that is a pipe makes no program folder: nothing is
    // seeded from it, and the seeding does not wait for it either.
    const auto program = tmp / "program";
    WriteBytes(program / "symbolhandle.ini", "[symbol]\r\n");
    ASSERT_TRUE(pipes.Add(program / DatabasePath()));
    const DataFolderChoice choice = ChooseDataFolder(
        program, [](const std::filesystem::path&) { return false; }, tmp / "user");
    EXPECT_FALSE(choice.error.empty());
    EXPECT_FALSE(std::filesystem::exists(tmp / "user"));

    EXPECT_FALSE(pipes.Stop()) << "a reader waited for a writer on a named pipe";
}
