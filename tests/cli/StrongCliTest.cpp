// velotan-cli and strong posts (强加密): keys made, imported and shared with
// friends through standard input, posts written and read, as scripts and the
// end-to-end scenario use them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "CliRun.h"
#include "common/QrReader.h"
#include "common/TempDir.h"

using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

namespace {

using velotan::testing::CliRun;
using velotan::testing::RunCli;

const char* kKey00 = "QLK1:AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh-z8ThO";

class StrongCliTest : public ::testing::Test {
  protected:
    StrongCliTest() {
        ::setenv("XDG_STATE_HOME", (tmp_ / "state").c_str(), 1);
        MakeProgramFolder("me");
        MakeProgramFolder("friend");
    }
    // A program folder with its own key store, as on two computers.
    void MakeProgramFolder(const std::string& who) {
        const fs::path folder = tmp_ / who;
        fs::create_directories(folder / "store");
        fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "symbolhandle.ini", folder / "symbolhandle.ini");
        WriteBytes(folder / "DataBase" / "Lc_Addlist.mdb", "database");
        WriteBytes(folder / "settings.ini",
                   "[set]\r\nKeyChar=" + (folder / "store").string() + "\r\n");
    }
    fs::path Store(const std::string& who) { return tmp_ / who / "store" / "mxsw" / "encrypt"; }
    CliRun Run(const std::string& who, std::vector<std::string> args,
               const std::string& input = "") {
        args.insert(args.end(), {"--program-folder", (tmp_ / who).string()});
        // Each user has their own data folder, where settings.ini may be kept.
        ::setenv("XDG_DATA_HOME", (tmp_ / who / "xdg").c_str(), 1);
        return RunCli(std::move(args), input);
    }
    // The one key text a command printed.
    static std::string KeyLine(const CliRun& r) {
        EXPECT_EQ(r.out.size(), 54u) << r.out << r.err;
        EXPECT_EQ(r.out.substr(0, 5), "QLK1:");
        return r.out.substr(0, r.out.size() - 1);
    }
    TempDir tmp_;
};

TEST_F(StrongCliTest, StrongKeyIsMadeOnceAndReplacedOnlyWhenAsked) {
    CliRun r = Run("me", {"strong-key"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("strong-key --new"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    const std::string first = KeyLine(Run("me", {"strong-key", "--new"}));
    EXPECT_EQ(KeyLine(Run("me", {"strong-key"})), first);
    struct stat st {};
    ASSERT_EQ(::stat((Store("me") / "strong.mx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string oldPost = Run("me", {"encrypt", "--strong"}, "旧的").out;

    r = Run("me", {"strong-key", "--new"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
    EXPECT_EQ(KeyLine(Run("me", {"strong-key"})), first);

    const std::string second = KeyLine(Run("me", {"strong-key", "--new", "--replace"}));
    EXPECT_NE(second, first);
    EXPECT_EQ(KeyLine(Run("me", {"strong-key"})), second);
    // The old key still reads the old post.
    r = Run("me", {"decrypt"}, oldPost);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "旧的");
}

TEST_F(StrongCliTest, AKeyIsImportedFromStandardInput) {
    CliRun r = Run("me", {"strong-key", "--import"}, std::string(kKey00).substr(0, 40));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("长度"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Store("me") / "strong.mx"));
    EXPECT_EQ(KeyLine(Run("me", {"strong-key", "--import"}, std::string(kKey00) + "\n")), kKey00);
    EXPECT_EQ(KeyLine(Run("me", {"strong-key"})), kKey00);
}

TEST_F(StrongCliTest, APostGoesFromAFriendToMeAndNamesTheFriend) {
    // The friend makes a key in their own key store and hands it over.
    const std::string friendKey = KeyLine(Run("friend", {"strong-key", "--new"}));
    KeyLine(Run("me", {"strong-key", "--new"}));
    CliRun r = Run("me", {"friends", "add", "小明"}, friendKey + "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("added 「小明」"), std::string::npos) << r.err;
    EXPECT_EQ(Run("me", {"friends", "list"}).out, "小明\n");

    const std::string mood = "今天“很好”🙂\r\n第二行";
    r = Run("friend", {"encrypt", "--strong"}, mood);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.rfind("心情：QL2:", 0), 0u) << r.out;
    ASSERT_EQ(r.out.back(), '\n');
    const std::string post = r.out;

    r = Run("me", {"decrypt"}, "小明 说：\n" + post + "转发");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, mood);
    EXPECT_NE(r.err.find("「小明」"), std::string::npos) << r.err;

    // The friend cannot read my posts without my key.
    const std::string mine = Run("me", {"encrypt", "--strong"}, "我的").out;
    r = Run("friend", {"decrypt"}, mine);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("打不开"), std::string::npos) << r.err;

    // The friend's new key joins the one I hold; the same key again changes nothing.
    const std::string newKey = KeyLine(Run("friend", {"strong-key", "--new", "--replace"}));
    r = Run("me", {"friends", "add", "小明"}, newKey);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("「小明」 has a new key"), std::string::npos) << r.err;
    r = Run("me", {"friends", "add", "小明"}, newKey);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("already has this key"), std::string::npos) << r.err;
    EXPECT_EQ(Run("me", {"friends", "list"}).out, "小明\n");

    // Removed, the friend's posts no longer open.
    r = Run("me", {"friends", "remove", "小明"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("--new --replace"), std::string::npos) << r.err;
    EXPECT_EQ(Run("me", {"friends", "list"}).out, "");
    r = Run("me", {"decrypt"}, post);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(StrongCliTest, FriendsRefuseWhatTheRingRefuses) {
    const std::string mine = KeyLine(Run("me", {"strong-key", "--new"}));
    CliRun r = Run("me", {"friends", "add", "小明"}, mine);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("「自己」"), std::string::npos) << r.err;
    ASSERT_EQ(Run("me", {"friends", "add", "小明"}, kKey00).exitCode, 0);
    r = Run("me", {"friends", "add", "小红"}, kKey00);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("「小明」"), std::string::npos) << r.err;
    r = Run("me", {"friends", "add", "小红"}, "QLK1:nonsense");
    EXPECT_EQ(r.exitCode, 1);
    r = Run("me", {"friends", "remove", "小红"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("小红"), std::string::npos) << r.err;
    EXPECT_EQ(Run("me", {"friends", "list"}).out, "小明\n");
    struct stat st {};
    ASSERT_EQ(::stat((Store("me") / "friends.mx").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(StrongCliTest, KeyFilesNameTheLineThatOpenedThePost) {
    const fs::path keys = tmp_ / "keys.txt";
    const fs::path one = tmp_ / "one.txt";
    WriteBytes(one, std::string(kKey00) + "\n");
    CliRun r = RunCli({"encrypt", "--strong", "--key-file", one.string()}, "给文件里的钥匙");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string post = r.out;

    const std::string other = KeyLine(Run("friend", {"strong-key", "--new"}));
    WriteBytes(keys, other + "\r\n\r\n" + std::string(kKey00) + "\r\n");
    r = RunCli({"decrypt", "--key-file", keys.string()}, post);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "给文件里的钥匙");
    EXPECT_NE(r.err.find("line 3 of"), std::string::npos) << r.err;
    WriteBytes(keys, "\n" + std::string(kKey00) + "\n");
    r = RunCli({"decrypt", "--key-file", keys.string()}, post);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "给文件里的钥匙");
    EXPECT_NE(r.err.find("line 2 of"), std::string::npos) << r.err;

    // A changed key text is refused with its reason and line; a key that
    // does not open the post prints nothing.
    std::string changed = kKey00;
    changed[12] = changed[12] == 'A' ? 'B' : 'A';
    WriteBytes(keys, changed + "\n");
    r = RunCli({"decrypt", "--key-file", keys.string()}, post);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("校验"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    WriteBytes(keys, other + "\n");
    r = RunCli({"decrypt", "--key-file", keys.string()}, post);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    // A file of two keys is no key for encrypting.
    WriteBytes(keys, other + "\n" + kKey00 + "\n");
    EXPECT_EQ(RunCli({"encrypt", "--strong", "--key-file", keys.string()}, "x").exitCode, 1);
}

TEST_F(StrongCliTest, TheQrCodeHoldsThePost) {
    KeyLine(Run("me", {"strong-key", "--new"}));
    const fs::path png = tmp_ / "post.png";
    CliRun r = Run("me", {"encrypt", "--strong", "--qr", png.string()}, "扫一扫");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto read = velotan::testing::ReadQrCode(png);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read + "\n", r.out);
    EXPECT_EQ(Run("me", {"decrypt"}, *read).out, "扫一扫");
}

TEST_F(StrongCliTest, TheLongestMoodAndNoLonger) {
    KeyLine(Run("me", {"strong-key", "--new"}));
    std::string longest;
    for (int i = 0; i < 32766; ++i)
        longest += "岚";
    CliRun r = Run("me", {"encrypt", "--strong"}, longest);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run("me", {"decrypt"}, r.out).out, longest);
    r = Run("me", {"encrypt", "--strong"}, longest + "a");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    r = Run("me", {"encrypt", "--strong"}, "bad \xFF utf-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("UTF-8"), std::string::npos);
}

TEST_F(StrongCliTest, OptionsThatDoNotFitAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"decrypt", "--strong"},
             {"encrypt", "--strong", "--share"},
             {"encrypt", "--strong", "--keys", "1,2"},
             {"encrypt", "--key-file", "k"},
             {"encrypt", "--strong", "--key-file"},
             {"decrypt", "--key-file", "k", "--document", "d.mxe"},
             {"strong-key", "--replace"},
             {"strong-key", "--new", "--import"},
             {"strong-key", "--keys", "1,2"},
             {"encrypt", "--new"},
             {"friends"},
             {"friends", "add"},
             {"friends", "list", "小明"},
             {"friends", "frobnicate"},
             {"friends", "remove", "a", "b"}}) {
        CliRun r = RunCli(args, "");
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    CliRun help = RunCli({"--help"}, "");
    for (const char* part : {"strong-key [--new [--replace] | --import]", "encrypt --strong",
                             "[--key-file FILE]", "friends list|add NAME|remove NAME"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
}

}  // namespace
