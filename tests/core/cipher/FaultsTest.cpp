// The key store, settings.ini and symbolhandle.ini in failing surroundings
// and with damaged files: each case ends in a clear message or in the quiet
// behaviour the program is meant to have, the keys in use stay, and the file
// that was there before stays byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "cipher/DocumentFiles.h"
#include "cipher/KeyFile.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SymbolSubstitution.h"
#include "common/FifoGuard.h"
#include "common/MockMessenger.h"
#include "common/TempDir.h"
#include "common/WriteDenial.h"
#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

using namespace velotan::cipher;
using ::testing::_;
using ::testing::StrictMock;
using velotan::platform::DriveMap;
using velotan::platform::MsgStyle;
using velotan::testing::FifoGuard;
using velotan::testing::HasLeftovers;
using velotan::testing::HasText;
using velotan::testing::kReadOnlyStopsNothing;
using velotan::testing::MockMessenger;
using velotan::testing::ReadBytes;
using velotan::testing::ReadOnlyFolders;
using velotan::testing::RunWithFileSizeLimit;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

const fs::path kShipped = fs::path(VELOTAN_DATA_DIR) / kSymbolFileName;
const std::string kKeyLine = "12UGA34\r\n";

// Records what the user was told, for code that runs where no mock can
// report (a child process).
class RecordingMessenger : public velotan::platform::Messenger {
  public:
    velotan::platform::MsgResult MsgBox(const std::u16string& prompt, int,
                                        const std::u16string& title) override {
        told += velotan::encoding::Utf16ToUtf8(title + u": " + prompt) + "\n";
        return velotan::platform::MsgResult::Ok;
    }
    std::string told;
};

class KeyStoreFaults : public ::testing::Test {
  protected:
    KeyStoreFaults() : engine_(tmp_ / "prog", messenger_, [this] { return DriveMap(drives_); }) {
        fs::create_directories(tmp_ / "prog");
        engine_.SetDraw([](int lo, int) { return lo + 4; });
        engine_.FirstKey = 12;
        engine_.SecondKey = 34;
        engine_.KeyLine = u"12UGA34";
    }
    fs::path Root() const { return tmp_ / "stick"; }
    std::u16string RootText() const { return Root().u16string(); }
    fs::path KeyFile() const { return Root() / "mxsw" / "encrypt" / kKeyFileName; }
    // The pair in force and the key line are the ones from before.
    void ExpectKeysKept() {
        EXPECT_EQ(engine_.FirstKey, 12);
        EXPECT_EQ(engine_.SecondKey, 34);
        EXPECT_EQ(engine_.KeyLine, u"12UGA34");
    }

    TempDir tmp_;
    std::map<char, fs::path> drives_;
    StrictMock<MockMessenger> messenger_;
    ModEncrypt engine_;
};

}  // namespace

TEST_F(KeyStoreFaults, ReadOnlyStoreIsReadButNeverClaimedWritten) {
    WriteBytes(KeyFile(), kKeyLine);
    WriteBytes(tmp_ / "bare" / "readme.txt", "a stick without a key store");
    ReadOnlyFolders readOnly(tmp_.path(), {Root(), tmp_ / "bare"});
    if (!readOnly.Active())
        GTEST_SKIP() << kReadOnlyStopsNothing;

    // Reading works as ever.
    engine_.FirstKey = engine_.SecondKey = 0;
    EXPECT_EQ(engine_.LoadKeys(RootText()), LoadResult::Loaded);
    ExpectKeysKept();

    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件，密钥没有保存"), MsgStyle::kCritical,
                                   std::u16string(u"错误")))
        .Times(2);
    EXPECT_FALSE(engine_.BuildKeys(RootText()));
    ExpectKeysKept();
    // No "导入操作已完成！": the strict mock would fail on it.
    EXPECT_FALSE(engine_.ImportKeys(1, 2));
    ExpectKeysKept();
    EXPECT_EQ(ReadBytes(KeyFile()), kKeyLine);
    EXPECT_FALSE(HasLeftovers(KeyFile().parent_path()));

    // A read-only stick without the store's folders: they cannot be made.
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    EXPECT_EQ(engine_.LoadKeys((tmp_ / "bare").u16string()), LoadResult::Unavailable);
    ExpectKeysKept();
    EXPECT_FALSE(fs::exists(tmp_ / "bare" / "mxsw"));
}

TEST_F(KeyStoreFaults, MxswThatIsAFileBlocksTheStoreWithAMessage) {
    WriteBytes(Root() / "mxsw", "a plain file named mxsw");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")))
        .Times(3);
    EXPECT_EQ(engine_.LoadKeys(RootText()), LoadResult::Unavailable);
    ExpectKeysKept();
    EXPECT_FALSE(engine_.BuildKeys(RootText()));
    ExpectKeysKept();
    EXPECT_FALSE(engine_.ImportKeys(1, 2));
    ExpectKeysKept();
    EXPECT_EQ(ReadBytes(Root() / "mxsw"), "a plain file named mxsw");
}

TEST_F(KeyStoreFaults, KeyFileThatIsAFolderIsNoKeyFile) {
    fs::create_directories(KeyFile() / "inside");
    WriteBytes(KeyFile() / "inside" / "note", "kept");
    // Loading treats it as no key file, quietly: the keys keep their values.
    EXPECT_EQ(engine_.LoadKeys(RootText()), LoadResult::NoKeyFile);
    ExpectKeysKept();
    // Writing cannot replace a folder: told, and nothing claimed.
    EXPECT_CALL(messenger_,
                MsgBox(HasText(u"无法写入密钥文件"), MsgStyle::kCritical, std::u16string(u"错误")))
        .Times(2);
    EXPECT_FALSE(engine_.BuildKeys(RootText()));
    ExpectKeysKept();
    EXPECT_FALSE(engine_.ImportKeys(1, 2));
    ExpectKeysKept();
    EXPECT_TRUE(fs::is_directory(KeyFile()));
    EXPECT_EQ(ReadBytes(KeyFile() / "inside" / "note"), "kept");
    EXPECT_FALSE(HasLeftovers(KeyFile().parent_path()));
}

TEST_F(KeyStoreFaults, StickRemovedBetweenTwoCommands) {
    // The stick is drive F when the keys are loaded.
    drives_ = {{'F', Root()}};
    WriteBytes(KeyFile(), "21UGA5\r\n");
    engine_.FirstKey = engine_.SecondKey = 0;
    ASSERT_EQ(engine_.LoadKeys(u""), LoadResult::Loaded);
    EXPECT_EQ(engine_.KeyStoreRoot, u"F");

    // Then it is pulled out. Its old mount point may linger as an empty
    // folder; nothing may be written there.
    drives_.clear();
    fs::rename(Root(), tmp_ / "pulled");
    fs::create_directory(Root());

    // The keys already loaded still encrypt, and the text comes back.
    ASSERT_TRUE(engine_.EncryptText(u"心情F"));
    engine_.DecryptText(engine_.ResultText, engine_.CodeTable);
    EXPECT_EQ(engine_.ResultText, u"心情");

    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法访问密钥存放位置“F”，请确认存放密钥的磁盘已插入"),
                                   MsgStyle::kCritical, std::u16string(u"错误")))
        .Times(4);
    EXPECT_FALSE(engine_.BuildKeys(u""));
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_EQ(engine_.SecondKey, 5);
    EXPECT_FALSE(engine_.ImportKeys(1, 2));
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_EQ(engine_.LoadKeys(u""), LoadResult::Unavailable);
    // The same with the letter configured in settings.ini.
    EXPECT_EQ(engine_.LoadKeys(u"F"), LoadResult::Unavailable);
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_EQ(engine_.SecondKey, 5);
    EXPECT_TRUE(fs::is_empty(Root()));
    EXPECT_EQ(ReadBytes(tmp_ / "pulled" / "mxsw" / "encrypt" / kKeyFileName), "21UGA5\r\n");

    // A store configured as a folder on a stick that is gone: the folder is
    // not made up again.
    fs::remove_all(Root());
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    EXPECT_FALSE(engine_.BuildKeys(RootText()));
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_FALSE(fs::exists(Root()));
}

TEST_F(KeyStoreFaults, FullStickKeepsTheKeyFile) {
    WriteBytes(KeyFile(), kKeyLine);
    // The new line "5UGA5" needs more than the 3 bytes the stick has left.
    const auto outcome = RunWithFileSizeLimit(3, [&] {
        RecordingMessenger told;
        ModEncrypt child(tmp_ / "prog", told, [] { return DriveMap(); });
        child.SetDraw([](int lo, int) { return lo + 4; });
        child.FirstKey = 12;
        child.SecondKey = 34;
        const bool written = child.BuildKeys(RootText());
        return (written ? "written " : "failed ") + std::to_string(child.FirstKey) + "UGA" +
               std::to_string(child.SecondKey) + "\n" + told.told;
    });
    ASSERT_TRUE(outcome) << "BuildKeys did not come back";
    EXPECT_TRUE(outcome->starts_with("failed 12UGA34\n")) << *outcome;
    EXPECT_NE(outcome->find("错误: 无法写入密钥文件，密钥没有保存"), std::string::npos) << *outcome;
    EXPECT_NE(outcome->find("File too large"), std::string::npos) << *outcome;
    EXPECT_EQ(ReadBytes(KeyFile()), kKeyLine);
    EXPECT_FALSE(HasLeftovers(KeyFile().parent_path()));
}

TEST_F(KeyStoreFaults, StickPulledBeforeTheRenameReachedItKeepsTheOldKeys) {
    // The rename is done, but the folder never reached the stick: the key
    // file may come back with the old line, so the new keys are not used.
    WriteBytes(KeyFile(), kKeyLine);
    ASSERT_EQ(engine_.LoadKeys(RootText()), LoadResult::Loaded);
    velotan::platform::SetFolderSyncProbe([](const fs::path&) { return false; });
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件，密钥没有保存："),
                                   MsgStyle::kCritical, std::u16string(u"错误")));
    const bool built = engine_.BuildKeys(RootText());
    velotan::platform::SetFolderSyncProbe({});
    EXPECT_FALSE(built);
    ExpectKeysKept();
    EXPECT_TRUE(engine_.KeysStored());
}

TEST_F(KeyStoreFaults, AFailedWriteOfTheDriveLettersIsToldOnce) {
    // A stick, and a file where the folder of the letters file belongs.
    const fs::path sys = tmp_ / "sys";
    const fs::path disk = sys / "devices" / "usb1" / "block" / "sdb";
    WriteBytes(disk / "removable", "1\n");
    WriteBytes(disk / "sdb1" / "partition", "1\n");
    fs::create_directories(sys / "dev" / "block");
    fs::create_symlink(disk / "sdb1", sys / "dev" / "block" / "8:17");
    fs::create_directories(Root());
    WriteBytes(tmp_ / "mountinfo", "1 1 8:17 / " + Root().string() + " rw - vfat /dev/sdb1 rw\n");
    WriteBytes(tmp_ / "state", "not a folder");
    ModEncrypt engine(tmp_ / "prog", messenger_, [&] {
        return DriveMap::Scan(tmp_ / "mountinfo", sys, tmp_ / "by-uuid",
                              tmp_ / "state" / "drive-letters");
    });
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法保存可移动磁盘的盘符记录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    // The stick is found all the same; later scans do not repeat the message.
    EXPECT_EQ(engine.LoadKeys(u""), LoadResult::NoKeyFile);
    EXPECT_EQ(engine.KeyStoreRoot, u"D");
    EXPECT_EQ(engine.LoadKeys(u""), LoadResult::NoKeyFile);
}

TEST_F(KeyStoreFaults, NamedPipesInPlaceOfFilesAreNoFiles) {
    FifoGuard pipes;
    // The key file: no keys are loaded, none are invented, and the pipe is
    // not replaced by the first start.
    ASSERT_TRUE(pipes.Add(KeyFile()));
    EXPECT_EQ(engine_.LoadKeys(RootText()), LoadResult::NoKeyFile);
    ExpectKeysKept();
    EXPECT_FALSE(engine_.FirstRunKeys(RootText()));
    ExpectKeysKept();

    // settings.ini: no key store configured.
    ASSERT_TRUE(pipes.Add(tmp_ / "prog" / kSettingsFileName));
    EXPECT_EQ(ReadKeyChar(tmp_ / "prog"), u"");

    // symbolhandle.ini: nothing is substituted, as without the file.
    ASSERT_TRUE(pipes.Add(tmp_ / "prog" / kSymbolFileName));
    EXPECT_EQ(ReplaceSymbols(u"你好，世界。", engine_.SymbolFile()), u"你好，世界。");

    // A document or its companion: refused with the reason.
    std::string error;
    ASSERT_TRUE(pipes.Add(tmp_ / "mood.mxe"));
    WriteBytes(tmp_ / "mood.mxr", "~UGA~\r\n");
    EXPECT_FALSE(ReadDocument(tmp_ / "mood.mxe", &error));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    WriteBytes(tmp_ / "rain.mxe", "~UUA~\r\n");
    ASSERT_TRUE(pipes.Add(tmp_ / "rain.mxr"));
    EXPECT_FALSE(ReadDocument(tmp_ / "rain.mxe", &error));
    EXPECT_NE(error.find("rain.mxr is not a regular file"), std::string::npos) << error;

    EXPECT_FALSE(pipes.Stop()) << "a reader waited for a writer on a named pipe";
}

TEST(SettingsFileFaults, ReadOnlyProgramFolderKeepsSettingsIni) {
    TempDir tmp;
    const fs::path folder = tmp / "program";
    const std::string old = "[set]\r\nKeyChar=G\r\n";
    WriteBytes(folder / kSettingsFileName, old);
    ReadOnlyFolders readOnly(tmp.path(), {folder});
    if (!readOnly.Active())
        GTEST_SKIP() << kReadOnlyStopsNothing;
    std::string error;
    EXPECT_FALSE(WriteKeyChar(folder, u"H", &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(folder / kSettingsFileName), old);
    EXPECT_EQ(ReadKeyChar(folder), u"G");
    EXPECT_FALSE(HasLeftovers(folder));
}

TEST(SettingsFileFaults, DiskFullKeepsSettingsIni) {
    TempDir tmp;
    const std::string old = "[set]\r\nKeyChar=G\r\n";
    WriteBytes(tmp / kSettingsFileName, old);
    const auto outcome = RunWithFileSizeLimit(8, [&] {
        std::string error;
        if (WriteKeyChar(tmp.path(), u"/media/a stick with a long name", &error))
            return std::string("written");
        return "failed: " + error;
    });
    ASSERT_TRUE(outcome) << "WriteKeyChar did not come back";
    EXPECT_TRUE(outcome->starts_with("failed: cannot write")) << *outcome;
    EXPECT_NE(outcome->find("File too large"), std::string::npos) << *outcome;
    EXPECT_EQ(ReadBytes(tmp / kSettingsFileName), old);
    EXPECT_FALSE(HasLeftovers(tmp.path()));
}

TEST(SettingsFileFaults, GarbageSettingsIniNeverInventsAKeyStore) {
    TempDir tmp;
    const fs::path folder = tmp / "program";
    StrictMock<MockMessenger> messenger;
    ModEncrypt engine(folder, messenger, [] { return DriveMap(); });

    // Bytes that are no INI file at all: no root, so no key store and no word.
    std::mt19937 random(10);
    std::string noise(4096, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    noise.erase(std::remove(noise.begin(), noise.end(), '['), noise.end());
    WriteBytes(folder / kSettingsFileName, noise);
    EXPECT_EQ(ReadKeyChar(folder), u"");
    EXPECT_EQ(engine.LoadKeys(ReadKeyChar(folder)), LoadResult::NoRoot);
    EXPECT_EQ(ReadBytes(folder / kSettingsFileName), noise);

    // A value with a NUL and invalid bytes after it: the value ends at the
    // NUL, as the profile API reads it, and the folder it names is not made.
    const std::string nul =
        "[set]\r\nKeyChar=" + (tmp / "nowhere").string() + std::string("\0\xFF\x81tail\r\n", 9);
    WriteBytes(folder / kSettingsFileName, nul);
    EXPECT_EQ(ReadKeyChar(folder), (tmp / "nowhere").u16string());
    EXPECT_CALL(messenger, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                  std::u16string(u"错误")));
    EXPECT_EQ(engine.LoadKeys(ReadKeyChar(folder)), LoadResult::Unavailable);
    EXPECT_FALSE(fs::exists(tmp / "nowhere"));
    EXPECT_EQ(ReadBytes(folder / kSettingsFileName), nul);
}

TEST(SymbolFileFaults, MissingTruncatedOrEmptyValuesSubstituteWhatIsThere) {
    TempDir tmp;
    const fs::path file = tmp / kSymbolFileName;
    const std::u16string typed = u"心情：好。";
    // Missing: nothing is substituted in either direction.
    EXPECT_EQ(ReplaceSymbols(typed, file), typed);
    EXPECT_EQ(RestoreSymbols(u"{$02,$07}", file), u"{$02,$07}");

    // Cut in the middle of a double-byte mark in [code]: every [symbol]
    // line is there, so both marks become placeholders; placeholder 16's
    // entry is cut short, so its mark comes back as what is left of it,
    // and placeholder 11's entry is whole.
    const std::string shipped = ReadBytes(kShipped);
    const size_t cut = shipped.find("{$02,$07}=") + 11;
    const std::string truncated = shipped.substr(0, cut);
    WriteBytes(file, truncated);
    const std::u16string substituted = ReplaceSymbols(typed, file);
    EXPECT_EQ(substituted, u"心情{$02,$07}好{$02,$02}");
    const std::u16string restored = RestoreSymbols(substituted, file);
    EXPECT_EQ(restored.substr(0, 2), u"心情");
    EXPECT_EQ(restored.substr(restored.size() - 2), u"好。");
    EXPECT_EQ(restored.find(u"{$"), std::u16string::npos);
    // Placeholder 20's entry is gone altogether: the placeholder is deleted.
    EXPECT_EQ(RestoreSymbols(u"a{$03,$02}b", file), u"ab");
    EXPECT_EQ(ReadBytes(file), truncated);

    // An empty value deletes the mark before encryption (and the
    // placeholder after it): the file says so.
    std::string emptyValue = shipped;
    const std::string colonLine = "\xA3\xBA={$02,$07}\r\n";
    const std::string stopLine = "{$02,$02}=\xA1\xA3\r\n";
    emptyValue.replace(emptyValue.find(colonLine), colonLine.size(), "\xA3\xBA=\r\n");
    emptyValue.replace(emptyValue.find(stopLine), stopLine.size(), "{$02,$02}=\r\n");
    WriteBytes(file, emptyValue);
    EXPECT_EQ(ReplaceSymbols(typed, file), u"心情好{$02,$02}");
    EXPECT_EQ(RestoreSymbols(u"a{$02,$02}b{$02,$07}", file), u"ab：");
    EXPECT_EQ(ReadBytes(file), emptyValue);
}
