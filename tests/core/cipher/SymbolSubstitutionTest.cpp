#include "cipher/SymbolSubstitution.h"

#include <gtest/gtest.h>

#include "cipher/ModEncrypt.h"
#include "common/MockMessenger.h"
#include "common/TempDir.h"

using namespace velotan::cipher;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

namespace {
const std::filesystem::path kShipped = std::filesystem::path(VELOTAN_DATA_DIR) / kSymbolFileName;
}

TEST(SymbolSubstitution, ReplaceAllIsLeftToRightWithoutOverlap) {
    std::u16string t = u"aaaa";
    ReplaceAll(t, u"aa", u"b");
    EXPECT_EQ(t, u"bb");
    t = u"xyz";
    ReplaceAll(t, u"y", u"");
    EXPECT_EQ(t, u"xz");
    ReplaceAll(t, u"", u"q");
    EXPECT_EQ(t, u"xz");
}

TEST(SymbolSubstitution, MarksBecomePlaceholdersAndComeBack) {
    const std::u16string typed = u"你好，世界。";
    const std::u16string replaced = ReplaceSymbols(typed, kShipped);
    EXPECT_EQ(replaced, u"你好{$02,$03}世界{$02,$02}");
    EXPECT_EQ(RestoreSymbols(replaced, kShipped), typed);

    std::u16string all;
    for (auto m : kMarks)
        all += m;
    EXPECT_EQ(RestoreSymbols(ReplaceSymbols(all, kShipped), kShipped), all);
}

TEST(SymbolSubstitution, TwoCharacterMarksNeedBothCharacters) {
    EXPECT_EQ(ReplaceSymbols(u"…x……", kShipped), u"…x{$01,$06}");
    EXPECT_EQ(ReplaceSymbols(u"—a——", kShipped), u"—a{$01,$09}");
}

TEST(SymbolSubstitution, TypedPlaceholdersTurnIntoMarks) {
    EXPECT_EQ(RestoreSymbols(u"{$01,$01}", kShipped), u"“");
}

TEST(SymbolSubstitution, LineCountLimitsTheSubstitutions) {
    TempDir tmp;
    // Three lines: marks 1 to 3 are processed. Mark 3 has no entry and is
    // deleted; mark 4 is never looked at.
    WriteBytes(tmp / "s.ini", "[symbol]\r\n\xA1\xB0=X\r\n\xA1\xB1=Y\r\n");
    EXPECT_EQ(ReplaceSymbols(u"“”【！", tmp / "s.ini"), u"XY！");
    WriteBytes(tmp / "empty.ini", "");
    EXPECT_EQ(ReplaceSymbols(u"“", tmp / "empty.ini"), u"“");
    EXPECT_EQ(ReplaceSymbols(u"“", tmp / "missing.ini"), u"“");
    // A folder where the file should be: nothing happens.
    std::filesystem::create_directory(tmp / "dir.ini");
    EXPECT_EQ(RestoreSymbols(u"{$01,$01}", tmp / "dir.ini"), u"{$01,$01}");
}

// The web page carries the file's bytes instead of a path; the rules are the
// same, the line count included.
TEST(SymbolSubstitution, FileBytesSubstituteAsTheFileDoes) {
    const std::string shipped = velotan::testing::ReadBytes(kShipped);
    ASSERT_FALSE(shipped.empty());
    std::u16string all;
    for (auto mark : kMarks)
        all += std::u16string(mark) + u"字";
    const std::u16string replaced = ReplaceSymbolsFromBytes(all, shipped);
    EXPECT_EQ(replaced, ReplaceSymbols(all, kShipped));
    EXPECT_NE(replaced, all);
    EXPECT_EQ(RestoreSymbolsFromBytes(replaced, shipped), all);
    EXPECT_EQ(ReplaceSymbolsFromBytes(u"“”【！", "[symbol]\r\n\xA1\xB0=X\r\n\xA1\xB1=Y\r\n"),
              u"XY！");
    EXPECT_EQ(ReplaceSymbolsFromBytes(u"“", ""), u"“");
}

TEST(SymbolSubstitution, AFileThatMultipliesTheTextChangesNothing) {
    TempDir tmp;
    // Each placeholder's value holds fourteen copies of the next one: one
    // after the other, twenty steps would need 14^19 characters.
    std::string file = "[code]\r\n";
    for (size_t k = 0; k < 19; ++k) {
        std::string next(kPlaceholders[k + 1].begin(), kPlaceholders[k + 1].end());
        std::string value;
        for (int i = 0; i < 14; ++i)
            value += next;
        file +=
            std::string(kPlaceholders[k].begin(), kPlaceholders[k].end()) + "=" + value + "\r\n";
    }
    WriteBytes(tmp / "runaway.ini", file);
    EXPECT_EQ(RestoreSymbols(u"a{$01,$01}b", tmp / "runaway.ini"), u"a{$01,$01}b");
    // Growth that stays in proportion to the text is carried out.
    WriteBytes(tmp / "long.ini", "[code]\r\n{$01,$01}=" + std::string(120, 'x') + "\r\n");
    EXPECT_EQ(RestoreSymbols(u"{$01,$01}{$01,$01}", tmp / "long.ini"), std::u16string(240, u'x'));
}

TEST(SymbolSubstitution, ManyMarksStillGrowNineFold) {
    // The shipped file turns each one-character mark into nine characters.
    const std::u16string commas(5000, u'\uFF0C');
    std::u16string expected;
    for (int i = 0; i < 5000; ++i)
        expected += kPlaceholders[11];
    EXPECT_EQ(ReplaceSymbols(commas, kShipped), expected);
}

TEST(SymbolSubstitution, DecryptTextRestoresFromTheProgramFolder) {
    TempDir tmp;
    std::filesystem::copy_file(kShipped, tmp / kSymbolFileName);
    velotan::testing::MockMessenger messenger;
    ModEncrypt engine(tmp.path(), messenger, [] { return velotan::platform::DriveMap(); });
    engine.FirstKey = 3;
    engine.SecondKey = 7;
    const std::u16string typed = u"心情：好。";
    ASSERT_TRUE(engine.EncryptText(ReplaceSymbols(typed, engine.SymbolFile()) + u"F"));
    engine.DecryptText(engine.ResultText, engine.CodeTable);
    EXPECT_EQ(engine.ResultText, typed);
}
