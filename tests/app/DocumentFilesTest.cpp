// The document pair on disk: where the companion goes, the tolerant reader,
// and writes that never leave half a pair.

#include "AppFixture.h"
#include "app/DocumentFiles.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;

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
    TempFolder temp;
    const fs::path document = temp.Path() / "split.mxe";
    WriteBytes(document, "\r\n~~UUA\r\n\r\n@@UUA*\n\nend");
    WriteBytes(temp.Path() / "split.mxr", "~UGA\r\n\r\n!!\rUGA@\r\n");
    auto text = ReadDocument(document);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->cipherText, u"~~UUA\r\n@@UUA*\r\nend");
    EXPECT_EQ(text->codeTable, u"~UGA!!UGA@");

    // A missing companion is an error, with a reason.
    fs::remove(temp.Path() / "split.mxr");
    std::string error;
    EXPECT_FALSE(ReadDocument(document, &error).has_value());
    EXPECT_FALSE(error.empty());
}

TEST(DocumentFilesTest, WriterWritesOneCrLfLineEach) {
    TempFolder temp;
    const fs::path document = temp.Path() / "a.mxe";
    ASSERT_TRUE(WriteDocument(document, u"~~UUA@@", u"~UGA!"));
    EXPECT_EQ(ReadBytes(document), "~~UUA@@\r\n");
    EXPECT_EQ(ReadBytes(temp.Path() / "a.mxr"), "~UGA!\r\n");
    // Replacing leaves no staging files behind.
    ASSERT_TRUE(WriteDocument(document, u"$$", u"%%"));
    EXPECT_EQ(ReadBytes(document), "$$\r\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.Path()))
        ++files;
    EXPECT_EQ(files, 2u);
}

TEST(DocumentFilesTest, FailedWriteKeepsTheOldPair) {
    TempFolder temp;
    const fs::path document = temp.Path() / "a.mxe";
    ASSERT_TRUE(WriteDocument(document, u"old", u"oldtable"));
    // Something in the way of either staged file makes the write fail; the
    // document must not be replaced when only its companion cannot be.
    for (const char* blocker : {".a.mxe.velotan-new", ".a.mxr.velotan-new"}) {
        SCOPED_TRACE(blocker);
        fs::create_directories(temp.Path() / blocker / "inside");
        std::string error;
        EXPECT_FALSE(WriteDocument(document, u"new", u"newtable", &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadBytes(document), "old\r\n");
        EXPECT_EQ(ReadBytes(temp.Path() / "a.mxr"), "oldtable\r\n");
        fs::remove_all(temp.Path() / blocker);
    }
    // A folder where the companion belongs: the document is not replaced
    // either, and no staged file stays behind.
    fs::remove(temp.Path() / "a.mxr");
    fs::create_directories(temp.Path() / "a.mxr");
    std::string error;
    EXPECT_FALSE(WriteDocument(document, u"new", u"newtable", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(document), "old\r\n");
    EXPECT_FALSE(fs::exists(temp.Path() / ".a.mxe.velotan-new"));
    EXPECT_FALSE(fs::exists(temp.Path() / ".a.mxr.velotan-new"));
}

}  // namespace
}  // namespace velotan::app::test
