#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <set>
#include <vector>

#include "cipher/Cipher.h"
#include "cipher/KeyFile.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "common/MockMessenger.h"
#include "common/TempDir.h"
#include "platform/AnsiTextFile.h"

using namespace velotan::cipher;
using ::testing::_;
using ::testing::StrictMock;
using velotan::platform::DriveMap;
using velotan::platform::MsgStyle;
using velotan::testing::HasText;
using velotan::testing::MockMessenger;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

TEST(KeyFile, LineFormat) {
    EXPECT_EQ(ComposeKeyLine(7, 39), u"7UGA39");
    EXPECT_EQ(ComposeKeyLine(-5, 0), u"-5UGA0");
    EXPECT_EQ(ComposeKeyLine(-32768, 32767), u"-32768UGA32767");
    // Every line written reads back as its pair.
    for (const KeyPair pair : {KeyPair{7, 39}, KeyPair{-32768, 32767}, KeyPair{0, -1}}) {
        const auto scan = ParseKeyFile({ComposeKeyLine(pair.first, pair.second)});
        EXPECT_EQ(scan.keys, pair);
    }
}

TEST(KeyFile, LastValidLineWinsAndBadLinesAreCounted) {
    auto scan = ParseKeyFile({u"3UGA4", u"", u"12UGA 7", u"  "});
    ASSERT_TRUE(scan.keys);
    EXPECT_EQ(*scan.keys, (KeyPair{12, 7}));
    EXPECT_EQ(scan.skippedLines, 0);

    scan = ParseKeyFile({u"3UGA4", u"no separator", u"99999UGA1", u"5UGAx"});
    EXPECT_EQ(*scan.keys, (KeyPair{3, 4}));
    EXPECT_EQ(scan.skippedLines, 3);

    // Split at the first separator only.
    scan = ParseKeyFile({u"1UGA2UGA3"});
    EXPECT_FALSE(scan.keys);
    EXPECT_EQ(scan.skippedLines, 1);
}

namespace {

// The first start's question, with the folder it offers on its last line.
std::u16string Question(std::u16string_view question, const fs::path& folder) {
    return std::u16string(question) + u"\r\n" + folder.u16string();
}

class KeyStoreTest : public ::testing::Test {
  protected:
    KeyStoreTest() : engine_(tmp_ / "prog", messenger_, [this] { return DriveMap(drives_); }) {
        fs::create_directories(tmp_ / "prog");
        // Predictable "random" draws: 1..39 for keys.
        engine_.SetDraw([this](int lo, int hi) {
            int v = lo + (next_++ % (hi - lo + 1));
            return v;
        });
    }
    fs::path Store(const fs::path& root) { return root / "mxsw" / "encrypt"; }
    // A configured root folder, as the user would have made it.
    std::u16string Root(const std::string& name) {
        fs::create_directories(tmp_ / name);
        return (tmp_ / name).u16string();
    }

    TempDir tmp_;
    std::map<char, fs::path> drives_;
    StrictMock<MockMessenger> messenger_;
    ModEncrypt engine_;
    int next_ = 4;
};

}  // namespace

TEST_F(KeyStoreTest, LastRemovableDriveWins) {
    drives_ = {{'E', tmp_ / "e"}, {'G', tmp_ / "g"}};
    engine_.FindRemovableDrive();
    EXPECT_EQ(engine_.KeyStoreRoot, u"G");
    // No drive: the root keeps its value.
    drives_.clear();
    engine_.FindRemovableDrive();
    EXPECT_EQ(engine_.KeyStoreRoot, u"G");
    // A, B and C are never considered, whatever stands behind them.
    drives_ = {{'A', tmp_ / "a"}, {'B', tmp_ / "b"}, {'C', tmp_ / "c"}};
    engine_.FindRemovableDrive();
    EXPECT_EQ(engine_.KeyStoreRoot, u"G");
}

TEST_F(KeyStoreTest, BuildKeysWritesOneLineToTheConfiguredFolder) {
    const std::u16string rootText = Root("keys");
    const auto root = tmp_ / "keys";
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    EXPECT_EQ(engine_.FirstKey, 5);
    EXPECT_EQ(engine_.SecondKey, 6);
    EXPECT_EQ(engine_.KeyLine, u"5UGA6");
    EXPECT_EQ(ReadBytes(Store(root) / "chat.mx"), "5UGA6\r\n");
    // Generating again replaces the line; the file never grows.
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    EXPECT_EQ(ReadBytes(Store(root) / "chat.mx"), "7UGA8\r\n");
}

TEST_F(KeyStoreTest, BuildKeysOnARemovableDrive) {
    drives_ = {{'E', tmp_ / "e"}, {'G', tmp_ / "g"}};
    Root("e");
    Root("g");
    ASSERT_TRUE(engine_.BuildKeys(u""));
    EXPECT_EQ(engine_.KeyStoreRoot, u"G");
    EXPECT_EQ(ReadBytes(Store(tmp_ / "g") / "chat.mx"), "5UGA6\r\n");
    EXPECT_FALSE(fs::exists(tmp_ / "e" / "mxsw"));
}

TEST_F(KeyStoreTest, BuildKeysWithoutRootKeepsKeysForTheRunAndSaysSo) {
    // The text sends the user to the installation folder; the second line
    // names the settings.ini that is really read.
    EXPECT_CALL(messenger_, MsgBox(std::u16string(kPathFailedMessage) + u"\r\n" +
                                       (tmp_ / "prog" / "settings.ini").u16string(),
                                   MsgStyle::kOkOnly, std::u16string(u"错误")));
    EXPECT_FALSE(engine_.BuildKeys(u""));
    EXPECT_EQ(engine_.FirstKey, 5);
    EXPECT_EQ(engine_.SecondKey, 6);
    // In force for this run, but kept nowhere.
    EXPECT_FALSE(engine_.KeysStored());
}

TEST_F(KeyStoreTest, FailedWriteKeepsTheOldKeysAndTellsTheUser) {
    engine_.FirstKey = 11;
    engine_.SecondKey = 12;
    engine_.KeyLine = u"11UGA12";
    // A plain file named mxsw blocks the folder.
    WriteBytes(tmp_ / "keys" / "mxsw", "not a folder");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    EXPECT_FALSE(engine_.BuildKeys((tmp_ / "keys").u16string()));
    EXPECT_EQ(engine_.FirstKey, 11);
    EXPECT_EQ(engine_.SecondKey, 12);
    EXPECT_EQ(engine_.KeyLine, u"11UGA12");

    // The key file itself cannot be replaced (a folder stands in its way).
    fs::create_directories(Store(tmp_ / "k2") / "chat.mx");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件"), _, _));
    EXPECT_FALSE(engine_.BuildKeys((tmp_ / "k2").u16string()));
    EXPECT_EQ(engine_.FirstKey, 11);
}

TEST_F(KeyStoreTest, AMissingDriveIsReportedNotCreated) {
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法访问密钥存放位置“Q”"), _, _));
    EXPECT_FALSE(engine_.BuildKeys(u"Q"));
    EXPECT_CALL(messenger_, MsgBox(HasText(u"“1”"), _, _));
    EXPECT_EQ(engine_.LoadKeys(u"1"), LoadResult::Unavailable);
}

TEST_F(KeyStoreTest, AMissingRootFolderIsNotMadeUp) {
    // An absent stick's mount point, or a folder that is not there: the keys
    // must not land in a folder the user never chose.
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法创建密钥存放目录"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    EXPECT_FALSE(engine_.BuildKeys((tmp_ / "absent").u16string()));
    EXPECT_FALSE(fs::exists(tmp_ / "absent"));
    EXPECT_EQ(engine_.FirstKey, 0);
}

TEST_F(KeyStoreTest, ImportKeysWritesTheLineAndConfirms) {
    drives_ = {{'F', tmp_ / "f"}};
    Root("f");
    engine_.FindRemovableDrive();
    EXPECT_CALL(messenger_, MsgBox(std::u16string(u"导入操作已完成！"), MsgStyle::kInformation,
                                   std::u16string(u"操作成功")));
    ASSERT_TRUE(engine_.ImportKeys(20, -3));
    EXPECT_EQ(engine_.FirstKey, 20);
    EXPECT_EQ(engine_.SecondKey, -3);
    // The line is composed from the numbers: the two cannot disagree.
    EXPECT_EQ(engine_.KeyLine, u"20UGA-3");
    EXPECT_EQ(ReadBytes(Store(tmp_ / "f") / "chat.mx"), "20UGA-3\r\n");
}

TEST_F(KeyStoreTest, ImportKeysWithoutRootClaimsNoSuccess) {
    engine_.SetDataFolder(tmp_ / "data");
    EXPECT_CALL(messenger_, MsgBox(std::u16string(kPathFailedMessage) + u"\r\n" +
                                       (tmp_ / "data" / "settings.ini").u16string(),
                                   MsgStyle::kOkOnly, std::u16string(u"错误")));
    EXPECT_FALSE(engine_.ImportKeys(20, 3));
    EXPECT_EQ(engine_.FirstKey, 20);
    EXPECT_EQ(engine_.KeyLine, u"20UGA3");
    EXPECT_FALSE(engine_.KeysStored());
}

TEST_F(KeyStoreTest, KeysAreStoredOnlyOnceAKeyFileHoldsThem) {
    EXPECT_FALSE(engine_.KeysStored());
    const auto rootText = Root("keys");
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    EXPECT_TRUE(engine_.KeysStored());

    // New keys that could not be kept anywhere replace stored ones in force.
    EXPECT_CALL(messenger_, MsgBox(HasText(kPathFailedMessage), _, _));
    engine_.KeyStoreRoot.clear();
    EXPECT_FALSE(engine_.BuildKeys(u""));
    EXPECT_FALSE(engine_.KeysStored());

    // Keys read from a key file are stored.
    EXPECT_EQ(engine_.LoadKeys(rootText), LoadResult::Loaded);
    EXPECT_TRUE(engine_.KeysStored());

    // A failed write changes neither the keys nor where they are kept.
    fs::create_directories(Store(tmp_ / "k2") / "chat.mx");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件"), _, _));
    EXPECT_FALSE(engine_.BuildKeys(Root("k2")));
    EXPECT_TRUE(engine_.KeysStored());
}

TEST_F(KeyStoreTest, WithoutAKeyStoreTheDataFolderIsOfferedOnce) {
    const fs::path data = tmp_ / "data";
    fs::create_directories(data);
    engine_.SetDataFolder(data);
    // The question names the folder.
    const std::u16string question =
        u"没有找到U盘等可移动磁盘。\r\n是否把密钥保存在本机的用户数据目录中？\r\n" +
        data.u16string();

    // No: nothing is written, and the first start goes on as before.
    std::u16string USBNAME;
    EXPECT_CALL(messenger_,
                MsgBox(question, MsgStyle::kYesNo | MsgStyle::kQuestion, std::u16string(u"提示")))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::No));
    EXPECT_FALSE(engine_.OfferDataFolderKeyStore(USBNAME));
    EXPECT_TRUE(USBNAME.empty());
    EXPECT_FALSE(fs::exists(data / "settings.ini"));

    // Yes: settings.ini names the data folder, and the keys go there.
    EXPECT_CALL(messenger_, MsgBox(question, _, _))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::Yes));
    ASSERT_TRUE(engine_.OfferDataFolderKeyStore(USBNAME));
    EXPECT_EQ(USBNAME, data.u16string());
    EXPECT_EQ(ReadBytes(data / "settings.ini"), "[set]\r\nKeyChar=" + data.string() + "\r\n");
    EXPECT_EQ(ReadKeyChar(data), data.u16string());
    ASSERT_TRUE(engine_.FirstRunKeys(USBNAME));
    EXPECT_TRUE(engine_.KeysStored());
    const fs::path file = Store(data) / "chat.mx";
    EXPECT_EQ(ReadBytes(file), "5UGA6\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // With a key store configured, or a stick plugged in, nothing is asked
    // (the strict mock fails on any question).
    EXPECT_FALSE(engine_.OfferDataFolderKeyStore(USBNAME));
    std::u16string none;
    drives_ = {{'E', Root("stick")}};
    EXPECT_FALSE(engine_.OfferDataFolderKeyStore(none));
    EXPECT_TRUE(none.empty());
}

TEST_F(KeyStoreTest, ADataFolderThatSettingsIniCannotNameIsNotOffered) {
    // settings.ini is code page 936: this folder could not be read back.
    const fs::path data = tmp_ / "数据😀";
    fs::create_directories(data);
    engine_.SetDataFolder(data);
    std::u16string USBNAME;
    EXPECT_CALL(messenger_, MsgBox(Question(kOfferDataFolderQuestion, data), _, _))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::Yes));
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法把密钥存放在用户数据目录中"), MsgStyle::kCritical,
                                   std::u16string(u"错误")));
    EXPECT_FALSE(engine_.OfferDataFolderKeyStore(USBNAME));
    EXPECT_TRUE(USBNAME.empty());
    EXPECT_FALSE(fs::exists(data / "settings.ini"));
}

TEST_F(KeyStoreTest, TheDriveScanKeepsTheKeyStoresLetter) {
    // The system scan hands KeyStoreLetter() to DriveMap::ScanSystem; by the
    // time it runs, the configured root must be in place.
    std::unique_ptr<ModEncrypt> engine;
    std::vector<char16_t> keptAtScan;
    engine = std::make_unique<ModEncrypt>(tmp_ / "prog", messenger_, [&] {
        keptAtScan.push_back(engine->KeyStoreLetter());
        return DriveMap(drives_);
    });
    drives_ = {{'F', tmp_ / "f"}};
    WriteBytes(Store(tmp_ / "f") / "chat.mx", "9UGA8\r\n");
    EXPECT_EQ(engine->LoadKeys(u"F"), LoadResult::Loaded);
    // Found by the scan, the stick's letter is kept at the next scans too.
    EXPECT_EQ(engine->LoadKeys(u""), LoadResult::Loaded);
    ASSERT_EQ(keptAtScan.size(), 2u);
    EXPECT_EQ(keptAtScan[0], u'F');
    EXPECT_EQ(keptAtScan[1], u'F');
    // A folder has no letter to keep.
    engine->KeyStoreRoot = (tmp_ / "folder").u16string();
    EXPECT_EQ(engine->KeyStoreLetter(), 0);
}

TEST_F(KeyStoreTest, LoadKeysReadsTheLastLine) {
    const auto root = tmp_ / "keys";
    WriteBytes(Store(root) / "chat.mx", "1UGA2\r\n30UGA31\r\n");
    EXPECT_EQ(engine_.LoadKeys(root.u16string()), LoadResult::Loaded);
    EXPECT_EQ(engine_.FirstKey, 30);
    EXPECT_EQ(engine_.SecondKey, 31);
    EXPECT_EQ(engine_.KeyLine, u"");  // loading does not touch the key line
}

TEST_F(KeyStoreTest, LoadKeysFromADriveLetterRoot) {
    drives_ = {{'H', tmp_ / "h"}};
    WriteBytes(Store(tmp_ / "h") / "chat.mx", "9UGA8");
    EXPECT_EQ(engine_.LoadKeys(u"H"), LoadResult::Loaded);
    EXPECT_EQ(engine_.FirstKey, 9);
    EXPECT_EQ(engine_.LoadKeys(u""), LoadResult::Loaded);  // found by the drive scan
}

TEST_F(KeyStoreTest, LoadKeysWithoutFileOrRootKeepsKeysSilently) {
    engine_.FirstKey = 3;
    EXPECT_EQ(engine_.LoadKeys(u""), LoadResult::NoRoot);
    const auto rootText = Root("keys");
    const auto root = tmp_ / "keys";
    EXPECT_EQ(engine_.LoadKeys(rootText), LoadResult::NoKeyFile);
    EXPECT_TRUE(fs::is_directory(Store(root)));  // the folders are made on the way
    EXPECT_EQ(engine_.FirstKey, 3);
}

TEST_F(KeyStoreTest, BadKeyLinesAreSkippedWithAMessage) {
    const auto root = tmp_ / "keys";
    engine_.FirstKey = 3;
    engine_.SecondKey = 4;
    WriteBytes(Store(root) / "chat.mx", "garbage\r\n");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法识别"), MsgStyle::kCritical, _)).Times(2);
    EXPECT_EQ(engine_.LoadKeys(root.u16string()), LoadResult::Unavailable);
    EXPECT_EQ(engine_.FirstKey, 3);
    EXPECT_EQ(engine_.SecondKey, 4);

    WriteBytes(Store(root) / "chat.mx", "15UGA16\r\n70000UGA1\r\n");
    EXPECT_EQ(engine_.LoadKeys(root.u16string()), LoadResult::Loaded);
    EXPECT_EQ(engine_.FirstKey, 15);
}

TEST_F(KeyStoreTest, GeneratedKeysStayWithinOneToThirtyNine) {
    ModEncrypt real(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    const auto root = Root("keys");
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(real.BuildKeys(root));
        ASSERT_GE(real.FirstKey, 1);
        ASSERT_LE(real.FirstKey, 39);
        ASSERT_GE(real.SecondKey, 1);
        ASSERT_LE(real.SecondKey, 39);
    }
}

TEST_F(KeyStoreTest, KeyFileIsReadableByItsOwnerOnly) {
    const auto rootText = Root("keys");
    const fs::path file = Store(tmp_ / "keys") / "chat.mx";
    struct stat st {};
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // An older file with wider rights gets narrowed by the next write.
    ::chmod(file.c_str(), 0644);
    engine_.FindRemovableDrive();
    EXPECT_CALL(messenger_, MsgBox(_, MsgStyle::kInformation, _));
    ASSERT_TRUE(engine_.ImportKeys(3, 4));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(KeyStoreTest, AWriteStoppedBeforeTheRenameLeavesTheOldKeyFile) {
    const auto rootText = Root("keys");
    const fs::path file = Store(tmp_ / "keys") / "chat.mx";
    WriteBytes(file, "12UGA34\r\n");
    engine_.FirstKey = 12;
    engine_.SecondKey = 34;
    std::string seenAtStop;
    velotan::platform::SetAtomicWriteProbe([&](const fs::path& written) {
        // The replaced pair is kept first; the stop hits the key file itself.
        if (written.filename().string().find("chat-earlier") != std::string::npos)
            return true;
        EXPECT_NE(written, file);
        EXPECT_EQ(ReadBytes(written), "5UGA6\r\n");
        seenAtStop = ReadBytes(file);
        return false;
    });
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件"), MsgStyle::kCritical, _));
    const bool built = engine_.BuildKeys(rootText);
    velotan::platform::SetAtomicWriteProbe({});
    EXPECT_FALSE(built);
    EXPECT_EQ(seenAtStop, "12UGA34\r\n");
    EXPECT_EQ(ReadBytes(file), "12UGA34\r\n");
    // chat.mx and chat-earlier.mx, no temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 2);
    EXPECT_EQ(engine_.FirstKey, 12);
    EXPECT_EQ(engine_.SecondKey, 34);
}

TEST_F(KeyStoreTest, FirstRunKeysKeepAKeyFileThatIsThere) {
    const auto rootText = Root("keys");
    const fs::path file = Store(tmp_ / "keys") / "chat.mx";
    WriteBytes(file, "21UGA8\r\n");
    ASSERT_TRUE(engine_.FirstRunKeys(rootText));
    EXPECT_EQ(ReadBytes(file), "21UGA8\r\n");
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_EQ(engine_.SecondKey, 8);

    // Only where there is none are new keys made.
    const auto otherText = Root("other");
    ASSERT_TRUE(engine_.FirstRunKeys(otherText));
    EXPECT_EQ(ReadBytes(Store(tmp_ / "other") / "chat.mx"), "5UGA6\r\n");
    EXPECT_EQ(engine_.FirstKey, 5);

    // On a removable drive found by the scan, too.
    drives_ = {{'E', tmp_ / "keys"}};
    engine_.FirstKey = 0;
    ASSERT_TRUE(engine_.FirstRunKeys(u""));
    EXPECT_EQ(engine_.FirstKey, 21);
    EXPECT_EQ(ReadBytes(file), "21UGA8\r\n");
}

TEST_F(KeyStoreTest, RandomKeysAndOffsetsCoverTheirWholeRanges) {
    // The engine's own generator, not the predictable one of the fixture.
    ModEncrypt real(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    const auto root = Root("keys");
    std::set<int> firstKeys, secondKeys;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(real.BuildKeys(root));
        firstKeys.insert(real.FirstKey);
        secondKeys.insert(real.SecondKey);
    }
    // 39 values in 2000 draws: each one is missed with odds below 1e-20.
    EXPECT_EQ(firstKeys.size(), 39u);
    EXPECT_EQ(secondKeys.size(), 39u);
    EXPECT_EQ(*firstKeys.begin(), 1);
    EXPECT_EQ(*firstKeys.rbegin(), 39);
    EXPECT_EQ(*secondKeys.begin(), 1);
    EXPECT_EQ(*secondKeys.rbegin(), 39);

    // With keys 1, 0 the code table is the offsets themselves.
    real.FirstKey = 1;
    real.SecondKey = 0;
    ASSERT_TRUE(real.EncryptText(std::u16string(2000, u'a')));
    std::set<std::u16string> offsets;
    const std::u16string& table = real.CodeTable;
    for (size_t start = 0; start <= table.size();) {
        size_t end = table.find(u"UGA", start);
        if (end == std::u16string::npos)
            end = table.size();
        offsets.insert(SymbolsToDigits(table.substr(start, end - start)));
        start = end + 3;
    }
    EXPECT_EQ(offsets.size(), 26u);
    EXPECT_TRUE(offsets.count(u"1"));
    EXPECT_TRUE(offsets.count(u"26"));
    EXPECT_FALSE(offsets.count(u"0"));
    EXPECT_FALSE(offsets.count(u"27"));
}

// ---- the first-run check ----------------------------------------------------------

TEST_F(KeyStoreTest, FirstRunMakesKeysOnceAndTheMarkerGoes) {
    auto rootText = Root("keys");
    const fs::path marker = tmp_ / "prog" / "first";
    const fs::path file = Store(tmp_ / "keys") / "chat.mx";
    WriteBytes(marker, "");
    EXPECT_EQ(engine_.CheckFirstRun(rootText), FirstRun::KeysKept);
    EXPECT_EQ(ReadBytes(file), "5UGA6\r\n");
    EXPECT_EQ(engine_.FirstKey, 5);
    EXPECT_FALSE(fs::exists(marker));

    // Once per run: a marker that turns up again waits for the next start,
    // and keys taken over meanwhile stay.
    WriteBytes(marker, "");
    engine_.FirstKey = 31;
    EXPECT_EQ(engine_.CheckFirstRun(rootText), FirstRun::NotFirst);
    EXPECT_EQ(ReadBytes(file), "5UGA6\r\n");
    EXPECT_EQ(engine_.FirstKey, 31);
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(KeyStoreTest, WithoutAMarkerNothingIsMade) {
    auto rootText = Root("keys");
    EXPECT_EQ(engine_.CheckFirstRun(rootText), FirstRun::NotFirst);
    EXPECT_FALSE(fs::exists(Store(tmp_ / "keys")));
    EXPECT_EQ(engine_.FirstKey, 0);
    // Only a file is a marker.
    ModEncrypt next(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    fs::create_directories(tmp_ / "prog" / "first");
    EXPECT_EQ(next.CheckFirstRun(rootText), FirstRun::NotFirst);
    EXPECT_FALSE(fs::exists(Store(tmp_ / "keys")));
}

TEST_F(KeyStoreTest, FirstRunMarkerStaysUntilTheKeysAreKept) {
    // No root anywhere: the keys serve this run, the marker the next start.
    const fs::path marker = tmp_ / "prog" / "first";
    WriteBytes(marker, "");
    // The program folder is offered; the user says No.
    EXPECT_CALL(messenger_, MsgBox(Question(kOfferProgramFolderQuestion, tmp_ / "prog"), _, _))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::No));
    EXPECT_CALL(messenger_, MsgBox(std::u16string(kPathFailedMessage) + u"\r\n" +
                                       (tmp_ / "prog" / "settings.ini").u16string(),
                                   MsgStyle::kOkOnly, std::u16string(u"错误")));
    std::u16string none;
    EXPECT_EQ(engine_.CheckFirstRun(none), FirstRun::KeysNotKept);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(engine_.FirstKey, 5);
    EXPECT_FALSE(engine_.KeysStored());
    EXPECT_TRUE(none.empty());
    // No second question or message in the same run.
    EXPECT_EQ(engine_.CheckFirstRun(none), FirstRun::NotFirst);

    // The next start, with a store, makes and keeps them.
    ModEncrypt next(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    next.SetDraw([](int, int) { return 9; });
    std::u16string keys = Root("keys");
    EXPECT_EQ(next.CheckFirstRun(keys), FirstRun::KeysKept);
    EXPECT_EQ(ReadBytes(Store(tmp_ / "keys") / "chat.mx"), "9UGA9\r\n");
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(KeyStoreTest, FirstRunKeepsTheKeyFileItFindsOrTriesAgainWhenItCannotReadIt) {
    auto rootText = Root("keys");
    const fs::path file = Store(tmp_ / "keys") / "chat.mx";
    const fs::path marker = tmp_ / "prog" / "first";
    // The same stick on a second computer: its keys are the user's keys.
    WriteBytes(file, "17UGA23\r\n");
    WriteBytes(marker, "");
    EXPECT_EQ(engine_.CheckFirstRun(rootText), FirstRun::KeysKept);
    EXPECT_EQ(ReadBytes(file), "17UGA23\r\n");
    EXPECT_EQ(engine_.FirstKey, 17);
    EXPECT_EQ(engine_.SecondKey, 23);
    EXPECT_FALSE(fs::exists(marker));

    // A file that is no key file is never overwritten.
    ModEncrypt next(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    WriteBytes(file, "not a key line\r\n");
    WriteBytes(marker, "");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"密钥文件中有无法识别的行"), _, _));
    EXPECT_EQ(next.CheckFirstRun(rootText), FirstRun::KeysNotKept);
    EXPECT_EQ(ReadBytes(file), "not a key line\r\n");
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(KeyStoreTest, FirstRunMarkerInTheDataFolder) {
    // A program folder the user cannot write: the marker is the data folder's.
    fs::create_directories(tmp_ / "data");
    engine_.SetDataFolder(tmp_ / "data");
    WriteBytes(tmp_ / "prog" / "first", "");
    WriteBytes(tmp_ / "data" / "first", "");
    std::u16string keys = Root("keys");
    EXPECT_EQ(engine_.CheckFirstRun(keys), FirstRun::KeysKept);
    EXPECT_FALSE(fs::exists(tmp_ / "data" / "first"));
    EXPECT_TRUE(fs::exists(tmp_ / "prog" / "first"));
}

TEST_F(KeyStoreTest, FirstRunWithoutAStickKeepsTheKeysInTheDataFolderOnYes) {
    // The common case on a desktop: no stick, no KeyChar.
    const fs::path data = tmp_ / "data";
    fs::create_directories(data);
    engine_.SetDataFolder(data);
    WriteBytes(data / "first", "");
    EXPECT_CALL(messenger_, MsgBox(Question(kOfferDataFolderQuestion, data),
                                   MsgStyle::kYesNo | MsgStyle::kQuestion, std::u16string(u"提示")))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::Yes));
    std::u16string USBNAME;
    EXPECT_EQ(engine_.CheckFirstRun(USBNAME), FirstRun::KeysKept);
    EXPECT_EQ(USBNAME, data.u16string());
    EXPECT_EQ(ReadBytes(Store(data) / "chat.mx"), "5UGA6\r\n");
    EXPECT_TRUE(engine_.KeysStored());
    EXPECT_FALSE(fs::exists(data / "first"));

    // The next start finds them through settings.ini, and asks nothing.
    ModEncrypt next(tmp_ / "prog", messenger_, [] { return DriveMap(); });
    next.SetDataFolder(data);
    EXPECT_EQ(next.LoadKeys(ReadKeyChar(data)), LoadResult::Loaded);
    EXPECT_EQ(next.FirstKey, 5);
    EXPECT_EQ(next.SecondKey, 6);
}

TEST_F(KeyStoreTest, ReplacedPairsStayInTheKeyStore) {
    const auto rootText = Root("keys");
    const fs::path store = Store(tmp_ / "keys");
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    EXPECT_FALSE(fs::exists(store / "chat-earlier.mx"));  // nothing was replaced
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    EXPECT_CALL(messenger_, MsgBox(std::u16string(u"导入操作已完成！"), _, _));
    ASSERT_TRUE(engine_.ImportKeys(12, 7));
    // chat.mx holds the one pair in force and reads as it always did.
    EXPECT_EQ(ReadBytes(store / "chat.mx"), "12UGA7\r\n");
    const auto earlier = velotan::platform::ReadAnsiLines(store / "chat-earlier.mx");
    ASSERT_TRUE(earlier);
    ASSERT_EQ(earlier->size(), 3u);
    EXPECT_TRUE((*earlier)[1].ends_with(u"第一项密钥 5，第二项密钥 6")) << earlier->size();
    EXPECT_TRUE((*earlier)[2].ends_with(u"第一项密钥 7，第二项密钥 8"));
}

TEST_F(KeyStoreTest, APairThatCannotBeKeptIsNotReplaced) {
    const auto rootText = Root("keys");
    const fs::path store = Store(tmp_ / "keys");
    ASSERT_TRUE(engine_.BuildKeys(rootText));
    fs::create_directories(store / "chat-earlier.mx");
    EXPECT_CALL(messenger_, MsgBox(HasText(u"无法写入密钥文件，密钥没有保存：\r\n" +
                                           (store / "chat-earlier.mx").u16string()),
                                   MsgStyle::kCritical, std::u16string(u"错误")));
    EXPECT_FALSE(engine_.BuildKeys(rootText));
    EXPECT_EQ(ReadBytes(store / "chat.mx"), "5UGA6\r\n");
    EXPECT_EQ(engine_.FirstKey, 5);
    EXPECT_EQ(engine_.SecondKey, 6);
}

// A portable folder: the program keeps its files, and at the first start
// without a stick its keys, in its own folder.
TEST_F(KeyStoreTest, APortableFoldersKeysFollowItWhenMovedOrCopied) {
    const fs::path first = tmp_ / "prog";
    WriteBytes(first / "first", "");
    EXPECT_CALL(messenger_,
                MsgBox(u"没有找到U盘等可移动磁盘。\r\n是否把密钥保存在程序所在的文件夹中？\r\n" +
                           first.u16string(),
                       MsgStyle::kYesNo | MsgStyle::kQuestion, std::u16string(u"提示")))
        .WillOnce(::testing::Return(velotan::platform::MsgResult::Yes));
    std::u16string USBNAME;
    EXPECT_EQ(engine_.CheckFirstRun(USBNAME), FirstRun::KeysKept);
    // No absolute path: the folder names itself.
    EXPECT_EQ(USBNAME, u".\\");
    EXPECT_EQ(ReadBytes(first / "settings.ini"), "[set]\r\nKeyChar=.\\\r\n");
    EXPECT_EQ(ReadBytes(Store(first) / "chat.mx"), "5UGA6\r\n");

    // Moved: the keys are found in the new place, from any working folder.
    const fs::path moved = tmp_ / "moved";
    fs::rename(first, moved);
    ModEncrypt atNewPlace(moved, messenger_, [] { return DriveMap(); });
    EXPECT_EQ(atNewPlace.LoadKeys(ReadKeyChar(moved)), LoadResult::Loaded);
    EXPECT_EQ(atNewPlace.FirstKey, 5);
    EXPECT_EQ(atNewPlace.SecondKey, 6);
    EXPECT_FALSE(fs::exists(first));

    // Copied: each copy keeps its own key file; new keys in the copy leave
    // the first folder's as they were.
    const fs::path copy = tmp_ / "copy";
    fs::copy(moved, copy, fs::copy_options::recursive);
    ModEncrypt inCopy(copy, messenger_, [] { return DriveMap(); });
    inCopy.SetDraw([](int, int) { return 30; });
    ASSERT_TRUE(inCopy.BuildKeys(ReadKeyChar(copy)));
    EXPECT_EQ(ReadBytes(Store(copy) / "chat.mx"), "30UGA30\r\n");
    EXPECT_EQ(ReadBytes(Store(moved) / "chat.mx"), "5UGA6\r\n");
    EXPECT_EQ(atNewPlace.LoadKeys(ReadKeyChar(moved)), LoadResult::Loaded);
    EXPECT_EQ(atNewPlace.FirstKey, 5);
}

TEST_F(KeyStoreTest, AbsoluteAndDriveLetterRootsStillWork) {
    // settings.ini files written before keep working as they are.
    const auto folder = Root("keys");
    WriteBytes(Store(tmp_ / "keys") / "chat.mx", "12UGA7\r\n");
    EXPECT_EQ(engine_.LoadKeys(folder), LoadResult::Loaded);
    EXPECT_EQ(engine_.FirstKey, 12);
    drives_ = {{'G', tmp_ / "keys"}};
    engine_.FirstKey = 0;
    EXPECT_EQ(engine_.LoadKeys(u"G"), LoadResult::Loaded);
    EXPECT_EQ(engine_.FirstKey, 12);
}

// As ssh refuses a lax ~/.ssh: whoever can write the key store's folders can
// plant their own keys there or take the user's away.
TEST_F(KeyStoreTest, AKeyStoreThatOthersCanWriteIsRefusedAndNothingChanges) {
    const auto rootText = Root("shared");
    const fs::path root = tmp_ / "shared";
    // A root like /tmp: nothing is made in it.
    ASSERT_EQ(::chmod(root.c_str(), 01777), 0);
    const std::u16string refusal = u"密钥存放目录不安全，没有使用：\r\n" + root.u16string() +
                                   u"\r\n其他用户可以写入该文件夹。";
    EXPECT_CALL(messenger_, MsgBox(HasText(refusal), MsgStyle::kCritical, std::u16string(u"错误")))
        .Times(2);
    EXPECT_FALSE(engine_.BuildKeys(rootText));
    EXPECT_EQ(engine_.LoadKeys(rootText), LoadResult::Unavailable);
    EXPECT_FALSE(fs::exists(root / "mxsw"));
    EXPECT_EQ(engine_.FirstKey, 0);
    EXPECT_FALSE(engine_.KeysStored());

    // An mxsw that someone made writable for all, keys and all.
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    WriteBytes(Store(root) / "chat.mx", "1UGA1\r\n");
    ASSERT_EQ(::chmod((root / "mxsw").c_str(), 0777), 0);
    EXPECT_CALL(messenger_,
                MsgBox(HasText(u"密钥存放目录不安全，没有使用：\r\n" + (root / "mxsw").u16string()),
                       MsgStyle::kCritical, std::u16string(u"错误")))
        .Times(2);
    EXPECT_EQ(engine_.LoadKeys(rootText), LoadResult::Unavailable);
    EXPECT_FALSE(engine_.BuildKeys(rootText));
    EXPECT_EQ(ReadBytes(Store(root) / "chat.mx"), "1UGA1\r\n");
    EXPECT_EQ(engine_.FirstKey, 0);

    // Folders the program makes are the user's alone, whatever the umask.
    const auto ownText = Root("own");
    const mode_t old = ::umask(0);
    ASSERT_TRUE(engine_.BuildKeys(ownText));
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat((tmp_ / "own" / "mxsw").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(Store(tmp_ / "own").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}
