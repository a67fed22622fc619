#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cipher/ModReadFromIni.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SymbolSubstitution.h"
#include "common/TempDir.h"
#include "platform/AnsiTextFile.h"

using namespace velotan::cipher;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

TEST(ReadIniValue, MatchesSectionAndKeyIgnoringCaseAndTrims) {
    TempDir tmp;
    WriteBytes(tmp / "a.ini",
               "KeyChar=outside\r\n"
               "[Other]\nKeyChar=wrong\n"
               "  [ SET ]  \r\n"
               "  keychar  =   G   \r\n"
               "KeyChar=second\r\n"
               "Quoted=\"  spaced  \"\r\n"
               "Eq=a=b\r\n"
               "NoEquals\r\n"
               "[set]\r\nLater=x\r\n");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"set", u"KeyChar"), u"G");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"Set", u"QUOTED"), u"spaced");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"set", u"Eq"), u"a=b");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"other", u"keychar"), u"wrong");
    // Only the first section of a name is searched.
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"set", u"Later"), u"");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"set", u"Missing"), u"");
    EXPECT_EQ(ReadIniValue(tmp / "a.ini", u"nosection", u"KeyChar"), u"");
    EXPECT_EQ(ReadIniValue(tmp / "missing.ini", u"set", u"KeyChar"), u"");
}

TEST(ReadIniValue, CutsValuesTo127Bytes) {
    TempDir tmp;
    std::string longValue(200, 'x');
    for (size_t i = 0; i < longValue.size(); ++i)
        longValue[i] = static_cast<char>('a' + i % 26);
    // 126 ASCII bytes then a double-byte character: its second byte would be
    // the 128th, so the whole character goes.
    std::string dbcs = std::string(126, 'y') + "\xC4\xE3";
    WriteBytes(tmp / "b.ini", "[s]\r\nk=" + longValue + "\r\nd=" + dbcs +
                                  "\r\ne=" + std::string(125, 'z') + "\xC4\xE3\r\n");
    auto v = ReadIniValue(tmp / "b.ini", u"s", u"k");
    ASSERT_EQ(v.size(), 127u);
    EXPECT_EQ(v, std::u16string(longValue.begin(), longValue.begin() + 127));
    EXPECT_EQ(ReadIniValue(tmp / "b.ini", u"s", u"d"), std::u16string(126, u'y'));
    EXPECT_EQ(ReadIniValue(tmp / "b.ini", u"s", u"e"), std::u16string(125, u'z') + u"你");
}

TEST(ReadIniValue, PunctuationKeysOfTheShippedTableMatch) {
    const auto file = std::filesystem::path(VELOTAN_DATA_DIR) / kSymbolFileName;
    for (size_t k = 0; k < kMarks.size(); ++k) {
        EXPECT_EQ(ReadIniValue(file, u"symbol", kMarks[k]), kPlaceholders[k]) << k;
        EXPECT_EQ(ReadIniValue(file, u"code", kPlaceholders[k]), kMarks[k]) << k;
    }
    // The file is code page 936 with CR LF line ends.
    std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes.rfind("[symbol]\r\n\xA1\xB0={$01,$01}\r\n", 0), 0u);
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);
}

TEST(ProgramSettings, ReadsAndWritesKeyChar) {
    TempDir tmp;
    EXPECT_EQ(ReadKeyChar(tmp.path()), u"");
    WriteBytes(tmp / "settings.ini", "[set]\r\nKeyChar=  G  \r\n");
    EXPECT_EQ(ReadKeyChar(tmp.path()), u"G");

    // No secret in it: the umask decides who may read it.
    const mode_t old = ::umask(022);
    const bool written = WriteKeyChar(tmp.path(), u"C:\\A");
    ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadBytes(tmp / "settings.ini"), "[set]\r\nKeyChar=C:\\A\r\n");
    EXPECT_EQ(ReadKeyChar(tmp.path()), u"C:\\A");
    struct stat st {};
    ASSERT_EQ(::stat((tmp / "settings.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_TRUE(WriteKeyChar(tmp.path(), u""));
    EXPECT_EQ(ReadBytes(tmp / "settings.ini"), "[set]\r\nKeyChar=\r\n");
}

TEST(ProgramSettings, FailedWriteSaysWhy) {
    TempDir tmp;
    std::string err;
    EXPECT_FALSE(WriteKeyChar(tmp / "no-such-folder", u"G", &err));
    EXPECT_FALSE(err.empty());
}

TEST(ProgramSettings, AWriteStoppedBeforeTheRenameLeavesTheOldFile) {
    TempDir tmp;
    const std::string old = "[set]\r\nKeyChar=G\r\n; the user's own note\r\n";
    WriteBytes(tmp / "settings.ini", old);
    std::string seenAtStop;
    velotan::platform::SetAtomicWriteProbe([&](const std::filesystem::path& written) {
        // The new text is complete beside the old file, which is untouched.
        EXPECT_NE(written, tmp / "settings.ini");
        EXPECT_EQ(ReadBytes(written), "[set]\r\nKeyChar=H\r\n");
        seenAtStop = ReadBytes(tmp / "settings.ini");
        return false;
    });
    std::string err;
    const bool written = WriteKeyChar(tmp.path(), u"H", &err);
    velotan::platform::SetAtomicWriteProbe({});
    EXPECT_FALSE(written);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(seenAtStop, old);
    EXPECT_EQ(ReadBytes(tmp / "settings.ini"), old);
    // Nothing but the old file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
}

TEST(ProgramSettings, ShareCipherIsCompatibleUntilStrongIsStored) {
    TempDir tmp;
    EXPECT_EQ(ReadShareCipher(tmp.path()), ShareCipher::Compatible);
    const struct {
        const char* file;
        ShareCipher read;
    } cases[] = {
        {"[set]\r\nShareCipher=strong\r\n", ShareCipher::Strong},
        {"[SET]\r\n  sharecipher = Strong \r\n", ShareCipher::Strong},
        {"[set]\r\nShareCipher=compatible\r\n", ShareCipher::Compatible},
        {"[set]\r\nShareCipher=QL9\r\n", ShareCipher::Compatible},
        {"[other]\r\nShareCipher=strong\r\n", ShareCipher::Compatible},
    };
    for (const auto& c : cases) {
        WriteBytes(tmp / "settings.ini", c.file);
        EXPECT_EQ(ReadShareCipher(tmp.path()), c.read) << c.file;
    }
}

TEST(ProgramSettings, WritingTheShareCipherKeepsEveryOtherLine) {
    TempDir tmp;
    const struct {
        const char* before;  // nullptr: no file
        ShareCipher cipher;
        const char* after;
    } cases[] = {
        {nullptr, ShareCipher::Strong, "[set]\r\nShareCipher=strong\r\n"},
        {"[set]\r\nKeyChar=G\r\n", ShareCipher::Strong,
         "[set]\r\nKeyChar=G\r\nShareCipher=strong\r\n"},
        // The line joins its section, before the blank line and the next one.
        {"; note\r\n[ Set ]\r\nKeyChar=G\r\n\r\n[other]\r\nA=1\r\n", ShareCipher::Strong,
         "; note\r\n[ Set ]\r\nKeyChar=G\r\nShareCipher=strong\r\n\r\n[other]\r\nA=1\r\n"},
        {"[set]\r\nshareCIPHER = strong\r\nKeyChar=G\r\n", ShareCipher::Compatible,
         "[set]\r\nShareCipher=compatible\r\nKeyChar=G\r\n"},
        {"[other]\r\nShareCipher=x\r\n", ShareCipher::Strong,
         "[other]\r\nShareCipher=x\r\n[set]\r\nShareCipher=strong\r\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(tmp / "settings.ini");
        if (c.before)
            WriteBytes(tmp / "settings.ini", c.before);
        ASSERT_TRUE(WriteShareCipher(tmp.path(), c.cipher)) << (c.before ? c.before : "none");
        EXPECT_EQ(ReadBytes(tmp / "settings.ini"), c.after);
        EXPECT_EQ(ReadShareCipher(tmp.path()), c.cipher);
    }
    // The key store stays where it was.
    EXPECT_EQ(ReadKeyChar(tmp.path()), u"");
    WriteBytes(tmp / "settings.ini", "[set]\r\nKeyChar=G\r\n");
    ASSERT_TRUE(WriteShareCipher(tmp.path(), ShareCipher::Strong));
    EXPECT_EQ(ReadKeyChar(tmp.path()), u"G");
}

TEST(ProgramSettings, MovingTheKeyStoreKeepsTheShareChoice) {
    TempDir tmp;
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"[set]\r\nKeyChar=G\r\nShareCipher=strong\r\n",
         "[set]\r\nKeyChar=H\r\nShareCipher=strong\r\n"},
        {"[set]\r\nShareCipher=compatible\r\nKeyChar=G\r\n; note\r\n",
         "[set]\r\nKeyChar=H\r\nShareCipher=compatible\r\n"},
        {"[set]\r\nKeyChar=G\r\n", "[set]\r\nKeyChar=H\r\n"},
    };
    for (const auto& c : cases) {
        WriteBytes(tmp / "settings.ini", c.before);
        ASSERT_TRUE(WriteKeyChar(tmp.path(), u"H")) << c.before;
        EXPECT_EQ(ReadBytes(tmp / "settings.ini"), c.after) << c.before;
    }
}

TEST(ProgramSettings, AnUnreadableSettingsFileIsNotReplacedByTheShareCipher) {
    TempDir tmp;
    std::filesystem::create_directory(tmp / "settings.ini");
    std::string err;
    EXPECT_FALSE(WriteShareCipher(tmp.path(), ShareCipher::Strong, &err));
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "settings.ini"));
}
