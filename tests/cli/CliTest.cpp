// velotan-cli as scripts use it: a separate process, standard input and
// output, exit codes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "CliRun.h"
#include "common/QrReader.h"
#include "common/TempDir.h"

using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

using velotan::testing::CliRun;
using velotan::testing::RunCli;

// Runs velotan-cli as the owner of `folder`, a portable program folder.
// Root owns no portable folder (a folder of root's is a system-wide one), so
// a root run hands the test's folders to an unprivileged account and runs
// the program as that account.
CliRun RunCliAsOwner(const fs::path& tmp, std::vector<std::string> args, const std::string& input) {
    if (::geteuid() != 0)
        return RunCli(std::move(args), input);
    constexpr uid_t kOther = 65534;
    ::chmod(tmp.c_str(), 0755);
    (void)::lchown(tmp.c_str(), kOther, kOther);
    for (const auto& entry : fs::recursive_directory_iterator(tmp))
        (void)::lchown(entry.path().c_str(), kOther, kOther);
    args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                               "--clear-groups", VELOTAN_CLI});
    return velotan::testing::RunProgram(std::move(args), input);
}

// An environment variable unset for the life of the object.
class UnsetEnv {
  public:
    explicit UnsetEnv(const char* name) : name_(name) {
        if (const char* value = std::getenv(name))
            old_ = value;
        ::unsetenv(name);
    }
    ~UnsetEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
    }
    UnsetEnv(const UnsetEnv&) = delete;
    UnsetEnv& operator=(const UnsetEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class CliTest : public ::testing::Test {
  protected:
    CliTest() {
        // A program folder as installed: the symbol table and the database
        // (which velotan-cli only copies, never opens).
        fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "symbolhandle.ini", tmp_ / "symbolhandle.ini");
        WriteBytes(tmp_ / "DataBase" / "Lc_Addlist.mdb", "database");
        // The drive letters the program remembers, and the user's data folder
        // (used when the program folder is not the user's own, as for root),
        // stay in the test's folder.
        ::setenv("XDG_STATE_HOME", (tmp_ / "state").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (tmp_ / "xdg").c_str(), 1);
    }
    // A program folder as installed, beside the test's own; `shared` marks
    // it as installed for every user.
    fs::path ProgramFolderAt(const std::string& name, bool shared) {
        const fs::path folder = tmp_ / name;
        fs::create_directories(folder);
        fs::copy_file(tmp_ / "symbolhandle.ini", folder / "symbolhandle.ini");
        WriteBytes(folder / "DataBase" / "Lc_Addlist.mdb", "database");
        if (shared)
            WriteBytes(folder / "shared-install", "");
        return folder;
    }
    std::vector<std::string> Args(const std::string& command, const std::string& keys = "7,3") {
        std::vector<std::string> a = {command, "--program-folder", tmp_.path().string()};
        if (!keys.empty())
            a.insert(a.end(), {"--keys", keys});
        return a;
    }
    TempDir tmp_;
};

}  // namespace

TEST_F(CliTest, EncryptThenDecryptGivesTheExactText) {
    const std::string plain = "心情：今天“很好”。\r\nSecond line, 第二行……\nend";
    CliRun enc = RunCli(Args("encrypt"), plain);
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    // Two lines, each ended by a line feed.
    ASSERT_EQ(std::count(enc.out.begin(), enc.out.end(), '\n'), 2);
    ASSERT_EQ(enc.out.back(), '\n');
    const std::string cipherLine = enc.out.substr(0, enc.out.find('\n'));
    EXPECT_EQ(cipherLine.find_first_not_of("~!@}$%^{*|UA"), std::string::npos);

    CliRun dec = RunCli(Args("decrypt"), enc.out);
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(dec.out, plain);

    // Lines ended by CR LF read the same.
    std::string crlf = enc.out;
    crlf.insert(crlf.find('\n'), "\r");
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(RunCli(Args("decrypt"), crlf).out, plain);
    // Wrong keys give garbage, not the text.
    EXPECT_NE(RunCli(Args("decrypt", "8,3"), enc.out).out, plain);
}

TEST_F(CliTest, EmptyInputEncryptsTheSentinelOnly) {
    CliRun enc = RunCli(Args("encrypt", "1,1"), "");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(enc.out.find("UUA"), std::string::npos);
    CliRun dec = RunCli(Args("decrypt", "1,1"), enc.out);
    EXPECT_EQ(dec.exitCode, 0);
    EXPECT_EQ(dec.out, "");
}

TEST_F(CliTest, UsesTheUsersOwnKeysFromTheKeyStore) {
    const fs::path store = tmp_ / "store";
    WriteBytes(tmp_ / "settings.ini", "[set]\r\nKeyChar=" + store.string() + "\r\n");
    WriteBytes(store / "mxsw" / "encrypt" / "chat.mx", "12UGA34\r\n");
    CliRun enc = RunCli(Args("encrypt", ""), "abc");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(RunCli(Args("decrypt", "12,34"), enc.out).out, "abc");
    EXPECT_EQ(RunCli(Args("decrypt", ""), enc.out).out, "abc");
}

TEST_F(CliTest, FailsWithoutAKeyPair) {
    WriteBytes(tmp_ / "settings.ini", "[set]\r\nKeyChar=" + (tmp_ / "empty").string() + "\r\n");
    CliRun r = RunCli(Args("encrypt", ""), "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no key pair"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, RefusesBadInput) {
    CliRun r = RunCli(Args("encrypt"), "bad \xFF utf-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("UTF-8"), std::string::npos);

    r = RunCli(Args("encrypt"), std::string(32767, 'a'));
    EXPECT_EQ(r.exitCode, 1);  // with the sentinel it would be 32,768
    EXPECT_NE(r.err.find("32,767"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(RunCli(Args("encrypt"), std::string(32766, 'a')).exitCode, 0);

    r = RunCli(Args("decrypt"), "no second line");
    EXPECT_EQ(r.exitCode, 1);
    r = RunCli(Args("encrypt", "0,5"), "abc");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(CliTest, DecryptNeedsACodeTable) {
    // An encryption always makes one, if only for the end marker.
    for (const std::string& input : {std::string("{~UUA{~\n"), std::string("{~UUA{~\n\n"),
                                     std::string("{~UUA{~\r\n\r\nmore"), std::string("{~")}) {
        CliRun r = RunCli(Args("decrypt"), input);
        EXPECT_EQ(r.exitCode, 1) << input;
        EXPECT_NE(r.err.find("code table"), std::string::npos) << input;
        EXPECT_TRUE(r.out.empty()) << input;
    }
}

TEST_F(CliTest, ReadsOnlyWhatItNeedsFromStandardInput) {
    const std::string huge(8 << 20, 'a');
    // Three bytes per character settle that a text is too long.
    CliRun r = RunCli(Args("encrypt"), huge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("32,767"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_LT(r.inputTaken, huge.size());
    // Just over the bytes read: still refused, by the count of characters.
    r = RunCli(Args("encrypt"), std::string(3 * 32767, 'a'));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("32,767"), std::string::npos);

    // A line beyond 1 MiB is no cipher text or code table.
    r = RunCli(Args("decrypt"), huge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("longer than"), std::string::npos);
    EXPECT_LT(r.inputTaken, huge.size());
    r = RunCli(Args("decrypt"), "~~UUA~~\n" + huge + "\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("longer than"), std::string::npos);
    EXPECT_LT(r.inputTaken, huge.size());
    // A line of exactly 1 MiB is still read (and decodes to garbage).
    std::vector<std::string> unchecked = Args("decrypt");
    unchecked.push_back("--ignore-key-check");
    r = RunCli(unchecked, std::string(1 << 20, '~') + "\n~\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"encrypt", "--keys"},
                                                                  {"encrypt", "--keys", "1"},
                                                                  {"encrypt", "--keys", "1,x"},
                                                                  {"encrypt", "--keys", "1,99999"},
                                                                  {"encrypt", "decrypt"},
                                                                  {"encrypt", "--verbose"},
                                                                  {"encrypt", "--qr"},
                                                                  {"encrypt", "--qr", ""},
                                                                  {"decrypt", "--share"},
                                                                  {"encrypt", "--ignore-key-check"},
                                                                  {"decrypt", "--qr", "x.png"}}) {
        CliRun r = RunCli(args, "");
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    CliRun help = RunCli({"--help"}, "");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("velotan-cli encrypt"), std::string::npos);
}

TEST_F(CliTest, DocumentPairRoundTripAndItsFailures) {
    const std::string plain = "心情：下雨了，“没关系”。\r\n明天……";
    const fs::path document = tmp_ / "雨.mxe";
    std::vector<std::string> enc = Args("encrypt");
    enc.insert(enc.end(), {"--document", document.string()});
    CliRun r = RunCli(enc, plain);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(fs::exists(tmp_ / "雨.mxr"));

    std::vector<std::string> dec = Args("decrypt");
    dec.insert(dec.end(), {"--document", document.string()});
    r = RunCli(dec, "ignored standard input");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, plain);

    // A missing companion is a failure with the reason, not an empty text.
    fs::remove(tmp_ / "雨.mxr");
    r = RunCli(dec, "");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("雨.mxr"), std::string::npos) << r.err;

    // A folder in the way of the companion leaves the old document alone.
    const std::string before = velotan::testing::ReadBytes(document);
    fs::create_directories(tmp_ / "雨.mxr");
    r = RunCli(enc, "other");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(velotan::testing::ReadBytes(document), before);

    EXPECT_EQ(RunCli({"encrypt", "--document"}, "").exitCode, 2);
    EXPECT_EQ(RunCli({"encrypt", "--document", ""}, "").exitCode, 2);
}

TEST_F(CliTest, SharedProgramFolderTakesSettingsFromTheUsersDataFolder) {
    // A folder installed for every user: settings.ini then comes from
    // $XDG_DATA_HOME/velotan, as the program finds it.
    const fs::path shared = ProgramFolderAt("opt", true);
    const fs::path store = tmp_ / "store";
    const fs::path xdg = tmp_ / "xdg";
    WriteBytes(xdg / "velotan" / "settings.ini", "[set]\r\nKeyChar=" + store.string() + "\r\n");
    WriteBytes(store / "mxsw" / "encrypt" / "chat.mx", "21UGA5\r\n");
    CliRun enc = RunCli({"encrypt", "--program-folder", shared.string()}, "abc");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(RunCli(Args("decrypt", "21,5"), enc.out).out, "abc");
    // The user's settings were read, not replaced.
    EXPECT_EQ(velotan::testing::ReadBytes(xdg / "velotan" / "settings.ini"),
              "[set]\r\nKeyChar=" + store.string() + "\r\n");
}

TEST_F(CliTest, AMistypedProgramFolderIsRefusedBeforeAnythingIsSeeded) {
    // On a fresh account a typing error must not leave a data folder that
    // stops every later seeding.
    const fs::path typo = tmp_ / "velotna";
    fs::create_directories(typo);
    for (const std::string& keys : {std::string(), std::string("7,3")}) {
        std::vector<std::string> args = {"encrypt", "--program-folder", typo.string()};
        if (!keys.empty())
            args.insert(args.end(), {"--keys", keys});
        CliRun r = RunCli(args, "abc");
        EXPECT_EQ(r.exitCode, 2) << keys;
        EXPECT_NE(r.err.find("is not a program folder"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(RunCli({"encrypt", "--program-folder", (tmp_ / "absent").string()}, "").exitCode, 2);
    // The punctuation table is all that --keys needs; seeding needs the
    // database as well.
    fs::copy_file(tmp_ / "symbolhandle.ini", typo / "symbolhandle.ini");
    CliRun r = RunCli({"encrypt", "--keys", "7,3", "--program-folder", typo.string()}, "abc");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = RunCli({"encrypt", "--program-folder", typo.string()}, "abc");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Lc_Addlist.mdb"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp_ / "xdg"));
}

TEST_F(CliTest, CharactersTheCodePageCannotCarryAreRefusedUnlessReplacementIsAskedFor) {
    CliRun r = RunCli(Args("encrypt"), "开心😀，真的😀😂");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("😀 😂"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--replace-unsupported"), std::string::npos) << r.err;

    std::vector<std::string> replace = Args("encrypt");
    replace.push_back("--replace-unsupported");
    r = RunCli(replace, "开心😀");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Each UTF-16 unit of the emoji became "?".
    EXPECT_EQ(RunCli(Args("decrypt"), r.out).out, "开心??");

    std::vector<std::string> decrypt = Args("decrypt");
    decrypt.push_back("--replace-unsupported");
    EXPECT_EQ(RunCli(decrypt, r.out).exitCode, 2);
}

TEST_F(CliTest, ShareTextAndQrCodeGoFromAMoodToAPostAndBack) {
    const std::string mood = "今天下雨了，“没关系”。\r\nRain, 100% & fine.";
    const fs::path png = tmp_ / "mood.png";
    std::vector<std::string> args = Args("encrypt");
    args.insert(args.end(), {"--share", "--qr", png.string()});
    CliRun enc = RunCli(args, mood);
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    // One line: the text a share posts.
    ASSERT_EQ(std::count(enc.out.begin(), enc.out.end(), '\n'), 1);
    ASSERT_EQ(enc.out.back(), '\n');
    const std::string post = enc.out.substr(0, enc.out.size() - 1);
    ASSERT_EQ(post.rfind("心情：", 0), 0u) << post;
    const size_t key = post.find("解密钥匙：");
    ASSERT_NE(key, std::string::npos);
    EXPECT_EQ(post.substr(9, key - 9).find_first_not_of("~!@}$%^{*|UA"), std::string::npos);

    // The picture holds exactly that text, and the text read from it
    // decrypts to the mood.
    const auto read = velotan::testing::ReadQrCode(png);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, post);
    CliRun dec = RunCli(Args("decrypt"), *read);
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(dec.out, mood);

    // --qr alone keeps the two lines, and the code still holds the post.
    args = Args("encrypt");
    args.insert(args.end(), {"--qr", png.string()});
    enc = RunCli(args, "abc");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    ASSERT_EQ(std::count(enc.out.begin(), enc.out.end(), '\n'), 2);
    const std::string cipherLine = enc.out.substr(0, enc.out.find('\n'));
    const std::string tableLine =
        enc.out.substr(cipherLine.size() + 1, enc.out.size() - cipherLine.size() - 2);
    EXPECT_EQ(velotan::testing::ReadQrCode(png), "心情：" + cipherLine + "解密钥匙：" + tableLine);
}

TEST_F(CliTest, AMoodTooLongForAQrCodeWritesNothing) {
    const fs::path png = tmp_ / "long.png";
    std::vector<std::string> args = Args("encrypt");
    args.insert(args.end(), {"--share", "--qr", png.string()});
    std::string mood;
    for (int i = 0; i < 400; ++i)
        mood += "雨";
    CliRun r = RunCli(args, mood);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("2331"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(fs::exists(png));
    // Without the code the same mood is shared as text.
    args.resize(args.size() - 2);
    r = RunCli(args, mood);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(RunCli(Args("decrypt"), r.out).out, mood);

    // A picture that cannot be written is a failure with the reason.
    args = Args("encrypt");
    args.insert(args.end(), {"--qr", (tmp_ / "missing" / "x.png").string()});
    r = RunCli(args, "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("x.png"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, DecryptTakesAWholePostWithTextAroundIt) {
    std::vector<std::string> args = Args("encrypt");
    args.push_back("--share");
    const std::string mood = "好的，明天见。";
    CliRun enc = RunCli(args, mood);
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    std::string post = enc.out.substr(0, enc.out.size() - 1);
    const size_t key = post.find("解密钥匙：");
    const std::string cipherText = post.substr(9, key - 9);
    const std::string codeTable = post.substr(key + 15);

    for (const std::string& input : {
             "小明 5月1日 来自网页\r\n" + post + "\r\n转发 评论 赞\r\n",
             "心情:" + cipherText + "\n解密钥匙:\n" + codeTable + "\n",
             "  心情 ： \r\n" + cipherText + "\r\n\r\n解密钥匙：" + codeTable + "回复：看不懂",
         }) {
        CliRun dec = RunCli(Args("decrypt"), input);
        EXPECT_EQ(dec.exitCode, 0) << dec.err;
        EXPECT_EQ(dec.out, mood) << input;
    }

    // A post without its table, or cut off after the marker.
    CliRun r = RunCli(Args("decrypt"), "心情：" + cipherText + "\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("code table"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    r = RunCli(Args("decrypt"), "心情：" + cipherText + "解密钥匙：\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("code table"), std::string::npos) << r.err;
    r = RunCli(Args("decrypt"), "心情：\n解密钥匙：" + codeTable);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cipher text"), std::string::npos) << r.err;
}

TEST_F(CliTest, KeysThatDidNotMakeTheTextPrintNothingUnlessTheCheckIsIgnored) {
    const std::string plain = "心情：今天很好。";
    CliRun enc = RunCli(Args("encrypt", "12,7"), plain);
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    const fs::path document = tmp_ / "心情.mxe";
    std::vector<std::string> save = Args("encrypt", "12,7");
    save.insert(save.end(), {"--document", document.string()});
    ASSERT_EQ(RunCli(save, plain).exitCode, 0);

    struct Case {
        std::string keys;
        bool ignoreCheck;
        int exitCode;
        bool givesText;
    };
    // 12,8 rounds to the right text, yet nothing tells it from wrong keys.
    for (const Case& c : {Case{"12,7", false, 0, true}, Case{"13,7", false, 1, false},
                          Case{"12,8", false, 1, false}, Case{"0,7", false, 1, false},
                          Case{"13,7", true, 0, false}, Case{"12,8", true, 0, true}}) {
        for (bool fromDocument : {false, true}) {
            SCOPED_TRACE(c.keys + (c.ignoreCheck ? " ignoring the check" : "") +
                         (fromDocument ? " from the document" : ""));
            std::vector<std::string> args = Args("decrypt", c.keys);
            if (c.ignoreCheck)
                args.push_back("--ignore-key-check");
            if (fromDocument)
                args.insert(args.end(), {"--document", document.string()});
            const CliRun dec = RunCli(args, fromDocument ? "" : enc.out);
            EXPECT_EQ(dec.exitCode, c.exitCode) << dec.err;
            EXPECT_EQ(dec.out == plain, c.givesText) << dec.out;
            if (c.exitCode != 0) {
                EXPECT_TRUE(dec.out.empty());
                EXPECT_NE(dec.err.find("--ignore-key-check"), std::string::npos) << dec.err;
            }
        }
    }
}

namespace {

TEST_F(CliTest, AFailedDocumentWriteLeavesNoQrCodeBehind) {
    const fs::path png = tmp_ / "mood.png";
    const fs::path staged = tmp_ / ".mood.png.velotan-new";
    std::vector<std::string> args = Args("encrypt");
    args.insert(args.end(),
                {"--qr", png.string(), "--document", (tmp_ / "missing" / "d.mxe").string()});
    CliRun r = RunCli(args, "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("d.mxe"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(fs::exists(png));
    EXPECT_FALSE(fs::exists(staged));

    // A picture already there stays as it was, and so does a document pair
    // when the picture cannot be written.
    WriteBytes(png, "old picture");
    r = RunCli(args, "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(velotan::testing::ReadBytes(png), "old picture");
    EXPECT_FALSE(fs::exists(staged));
    const fs::path document = tmp_ / "d.mxe";
    args = Args("encrypt");
    args.insert(args.end(),
                {"--qr", (tmp_ / "missing" / "x.png").string(), "--document", document.string()});
    r = RunCli(args, "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(document));
    EXPECT_FALSE(fs::exists(tmp_ / "d.mxr"));

    // Both written when both can be.
    args = Args("encrypt");
    args.insert(args.end(), {"--qr", png.string(), "--document", document.string()});
    r = RunCli(args, "abc");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(velotan::testing::ReadQrCode(png).has_value());
    EXPECT_FALSE(fs::exists(staged));
    std::vector<std::string> dec = Args("decrypt");
    dec.insert(dec.end(), {"--document", document.string()});
    EXPECT_EQ(RunCli(dec, "").out, "abc");
}

TEST_F(CliTest, APortableFoldersKeysFollowItWhenMovedOrCopied) {
    // A portable folder after its first start: KeyChar names the folder
    // itself, and the keys are inside it.
    const fs::path first = ProgramFolderAt("portable", false);
    WriteBytes(first / "settings.ini", "[set]\r\nKeyChar=.\\\r\n");
    WriteBytes(first / "mxsw" / "encrypt" / "chat.mx", "21UGA5\r\n");

    const fs::path moved = tmp_ / "moved";
    fs::rename(first, moved);
    const fs::path copy = tmp_ / "copy";
    fs::copy(moved, copy, fs::copy_options::recursive);
    WriteBytes(copy / "mxsw" / "encrypt" / "chat.mx", "9UGA9\r\n");
    for (const auto& [folder, keys] : {std::pair{moved, "21,5"}, std::pair{copy, "9,9"}}) {
        CliRun enc =
            RunCliAsOwner(tmp_.path(), {"encrypt", "--program-folder", folder.string()}, "abc");
        ASSERT_EQ(enc.exitCode, 0) << folder << ": " << enc.err;
        EXPECT_EQ(RunCli(Args("decrypt", keys), enc.out).out, "abc") << folder;
    }
}

TEST_F(CliTest, WithoutAHomeASharedFolderIsRefused) {
    const fs::path shared = ProgramFolderAt("opt", true);
    UnsetEnv home("HOME");
    UnsetEnv xdg("XDG_DATA_HOME");
    CliRun r = RunCli({"encrypt", "--program-folder", shared.string()}, "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("neither HOME nor XDG_DATA_HOME is set"), std::string::npos) << r.err;
    // Refused there: the shared folder is never taken for the user's own.
    EXPECT_EQ(r.err.find("no key pair found"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(fs::exists(shared / "settings.ini"));
    EXPECT_FALSE(fs::exists(shared / "mxsw"));
    // The strong keys are looked for in the same folders.
    r = RunCli({"strong-key", "--program-folder", shared.string()}, "");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("neither HOME nor XDG_DATA_HOME is set"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("no key store found"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    // Keys given on the command line need no data folder.
    r = RunCli({"encrypt", "--keys", "7,3", "--program-folder", shared.string()}, "abc");
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
