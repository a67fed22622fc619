// The document pair on disk: where the companion goes, the tolerant reader,
// and writes that never leave half a pair.

#include <gtest/gtest.h>

#include "cipher/DocumentFiles.h"
#include "common/TempDir.h"

namespace velotan::cipher {
namespace {

namespace fs = std::filesystem;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

TEST(DocumentFilesTest, CompanionPathPairsMxeWithMxr) {
    EXPECT_EQ(CompanionPath("/notes/diary.mxe"), fs::path("/notes/diary.mxr"));
    EXPECT_EQ(CompanionPath("/mxe/a.mxe"), fs::path("/mxe/a.mxr"));
    EXPECT_EQ(CompanionPath("/notes/DIARY.MXE"), fs::path("/notes/DIARY.MXR"));
    EXPECT_EQ(CompanionPath("/notes/Diary.Mxe"), fs::path("/notes/Diary.Mxr"));
    // No .mxe ending: never the document itself.
    EXPECT_EQ(CompanionPath("/notes/diary"), fs::path("/notes/diary.mxr"));
    EXPECT_EQ(CompanionPath("/notes/diary.txt"), fs::path("/notes/diary.txt.mxr"));
    EXPECT_EQ(CompanionPath("/notes.mxe/diary"), fs::path("/notes.mxe/diary.mxr"));
    EXPECT_EQ(CompanionPath("/notes/diarymxe"), fs::path("/notes/diarymxe.mxr"));
}

TEST(DocumentFilesTest, ReaderJoinsLinesAndSkipsEmptyOnes) {
    TempDir temp;
    const fs::path document = temp.path() / "split.mxe";
    WriteBytes(document, "\r\n~~UUA\r\n\r\n@@UUA*\n\nend");
    WriteBytes(temp.path() / "split.mxr", "~UGA\r\n\r\n!!\rUGA@\r\n");
    auto text = ReadDocument(document);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->cipherText, u"~~UUA\r\n@@UUA*\r\nend");
    EXPECT_EQ(text->codeTable, u"~UGA!!UGA@");

    // A missing companion is an error, with a reason.
    fs::remove(temp.path() / "split.mxr");
    std::string error;
    EXPECT_FALSE(ReadDocument(document, &error).has_value());
    EXPECT_FALSE(error.empty());
}

TEST(DocumentFilesTest, WriterWritesOneCrLfLineEach) {
    TempDir temp;
    const fs::path document = temp.path() / "a.mxe";
    ASSERT_TRUE(WriteDocument(document, u"~~UUA@@", u"~UGA!"));
    EXPECT_EQ(ReadBytes(document), "~~UUA@@\r\n");
    EXPECT_EQ(ReadBytes(temp.path() / "a.mxr"), "~UGA!\r\n");
    // Replacing leaves no staging files behind.
    ASSERT_TRUE(WriteDocument(document, u"$$", u"%%"));
    EXPECT_EQ(ReadBytes(document), "$$\r\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path()))
        ++files;
    EXPECT_EQ(files, 2u);
}

TEST(DocumentFilesTest, FailedWriteKeepsTheOldPair) {
    TempDir temp;
    const fs::path document = temp.path() / "a.mxe";
    ASSERT_TRUE(WriteDocument(document, u"old", u"oldtable"));
    // Something in the way of either staged file makes the write fail; the
    // document must not be replaced when only its companion cannot be.
    for (const char* blocker : {".a.mxe.velotan-new", ".a.mxr.velotan-new"}) {
        SCOPED_TRACE(blocker);
        fs::create_directories(temp.path() / blocker / "inside");
        std::string error;
        EXPECT_FALSE(WriteDocument(document, u"new", u"newtable", &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadBytes(document), "old\r\n");
        EXPECT_EQ(ReadBytes(temp.path() / "a.mxr"), "oldtable\r\n");
        fs::remove_all(temp.path() / blocker);
    }
    // A folder where the companion belongs: the document is not replaced
    // either, and no staged file stays behind.
    fs::remove(temp.path() / "a.mxr");
    fs::create_directories(temp.path() / "a.mxr");
    std::string error;
    EXPECT_FALSE(WriteDocument(document, u"new", u"newtable", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(document), "old\r\n");
    EXPECT_FALSE(fs::exists(temp.path() / ".a.mxe.velotan-new"));
    EXPECT_FALSE(fs::exists(temp.path() / ".a.mxr.velotan-new"));
}

}  // namespace
}  // namespace velotan::cipher
