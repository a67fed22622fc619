// The update check without a window: the server lookup, the list and its
// faults, the version decision, the installer's download and its start.

#include "update/UpdateCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Version.h"
#include "common/LoopbackServer.h"
#include "common/MinisignTool.h"
#include "common/TempDir.h"

namespace velotan::update::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using velotan::testing::MinisignKeyPair;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

class UpdateCheckTest : public ::testing::Test {
  protected:
    void TearDown() override { server_.Stop(); }

    // update.ini in the data folder naming `base`, with the publisher's key.
    void Configure(const std::string& base) {
        WriteBytes(data_ / "update.ini", "[update]\r\nServer=" + base +
                                             "\r\nPublicKey=" + publisher_.PublicKey() + "\r\n");
    }
    // The installer and the publisher's signature of it.
    void ServeInstaller(const std::string& content, bool legacy = false) {
        server_.ServeBytes("/sns/up_velotan.exe", content);
        server_.ServeBytes("/sns/up_velotan.exe.minisig", publisher_.SignatureOf(content, legacy));
    }
    void ConfigureServer() {
        server_.Start();
        Configure(server_.Url());
    }

    // A check as the window runs it, through a real downloader, with the
    // start of the installer recorded instead of done.
    CheckResult Run() { return Run(UpdateCheck::Through(cdf_)); }
    CheckResult Run(UpdateCheck::Download download) {
        UpdateCheck check(std::move(download),
                          [this](const std::vector<std::string>& argv, std::string* error) {
                              steps_.push_back("launch");
                              launched_.push_back(argv);
                              if (!launchWorks_ && error)
                                  *error = "no such program";
                              return launchWorks_;
                          });
        check.onListArrived = [this] { steps_.push_back("list arrived"); };
        check.onListText = [this](const std::u16string& joined) {
            steps_.push_back("list text");
            listText_ = std::string(joined.begin(), joined.end());
        };
        check.onDownloadingInstaller = [this] { steps_.push_back("downloading installer"); };
        check.onInstallerReady = [this](const fs::path& installer) {
            steps_.push_back("ready");
            installerAtReady_ = ReadBytes(installer);
        };
        return check.Run(data_.path(), program_.path());
    }

    fs::path List() const { return data_ / "update.lst"; }
    fs::path Installer() const { return data_ / "upvelotan.exe"; }
    // No staged download, and no copy of an installer that did not run, may
    // stay behind in the data folder.
    void ExpectNoStagedFiles() {
        for (const auto& name : FolderEntries(data_.path())) {
            EXPECT_EQ(name.find(".part"), std::string::npos) << name;
            EXPECT_EQ(name.find(".upvelotan-"), std::string::npos) << name;
        }
    }
    // The checked copy that was started: the only file of a fresh folder in
    // the data folder that only its owner may enter.
    void ExpectStartedFromAFreshCopy(const std::string& content) {
        ASSERT_EQ(launched_.size(), 1u);
        ASSERT_EQ(launched_[0].size(), 1u);
        const fs::path started = launched_[0][0];
        const fs::path folder = started.parent_path();
        EXPECT_EQ(folder.parent_path(), fs::absolute(data_.path()));
        EXPECT_EQ(folder.filename().string().rfind(".upvelotan-", 0), 0u) << started;
        EXPECT_EQ(started.filename(), "upvelotan.exe");
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_EQ(fs::status(started).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"upvelotan.exe"});
        EXPECT_EQ(ReadBytes(started), content);
        // The download itself is never made executable.
        const fs::perms exec =
            fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        EXPECT_EQ(fs::status(Installer()).permissions() & exec, fs::perms::none);
    }

    TempDir data_;
    TempDir program_;
    TempDir keys_;
    MinisignKeyPair publisher_{keys_ / "publisher"};
    LoopbackServer server_;
    Cls_DownLoad cdf_;
    bool launchWorks_ = true;
    std::vector<std::vector<std::string>> launched_;
    std::vector<std::string> steps_;
    std::string listText_ = "<none>";
    std::string installerAtReady_;
};

TEST_F(UpdateCheckTest, NoServerConfiguredAsksNothing) {
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    server_.Start();
    // Without update.ini, and with one that names no server.
    EXPECT_EQ(Run().outcome, CheckOutcome::NoServer);
    Configure("");
    EXPECT_EQ(Run().outcome, CheckOutcome::NoServer);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 0);
    EXPECT_FALSE(fs::exists(List()));
    EXPECT_TRUE(steps_.empty());
}

TEST_F(UpdateCheckTest, ShippedUpdateIniServesWhenTheDataFolderHasNone) {
    server_.ServeBytes("/sns/update.lst", "1.1\r\n");
    server_.Start();
    WriteBytes(program_ / "update.ini", "[update]\r\nServer=" + server_.Url() + "/\r\n");
    EXPECT_EQ(Run().outcome, CheckOutcome::UpToDate);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 1);
}

TEST_F(UpdateCheckTest, UpToDateReadsTheListAfreshEveryTime) {
    server_.ServeBytes("/sns/update.lst", "1.1\r\n");
    ConfigureServer();
    const CheckResult first = Run();
    EXPECT_EQ(first.outcome, CheckOutcome::UpToDate);
    EXPECT_FALSE(first.earlierList);
    EXPECT_EQ(listText_, "1.1");
    EXPECT_THAT(steps_, ElementsAre("list arrived", "list text"));
    EXPECT_EQ(ReadBytes(List()), "1.1\r\n");

    // A second check reads the list afresh and decides the same.
    EXPECT_EQ(Run().outcome, CheckOutcome::UpToDate);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 2);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
}

// The installed version is the program's own, from the version header.
TEST_F(UpdateCheckTest, TheInstalledVersionIsTheProgramsOwn) {
    const std::string next =
        std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor + 1) + "\r\n";
    server_.ServeBytes("/sns/update.lst", std::string(kVersionText) + "\r\n");
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::UpToDate);

    LoopbackServer newer;
    newer.ServeBytes("/sns/update.lst", next);
    newer.ServeStatus("/sns/up_velotan.exe", 404, "Not Found");
    newer.Start();
    Configure(newer.Url());
    EXPECT_EQ(Run().outcome, CheckOutcome::InstallerIncomplete);
    EXPECT_EQ(newer.Hits("/sns/up_velotan.exe"), 1);
}

TEST_F(UpdateCheckTest, ListThatCannotBeReadEndsTheCheck) {
    RefusingPort port;
    Configure(port.Url());
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::ListUnreadable);
    EXPECT_TRUE(result.earlierList);
    EXPECT_FALSE(fs::exists(List()));
    EXPECT_EQ(listText_, "<none>");
    EXPECT_TRUE(launched_.empty());
}

TEST_F(UpdateCheckTest, EarlierListIsUsedWhenTheDownloadFails) {
    WriteBytes(List(), "1.2\r\n");
    server_.ServeStatus("/sns/update.lst", 404, "<html>Not Found</html>");
    server_.ServeStatus("/sns/up_velotan.exe", 404, "<html>Not Found</html>");
    ConfigureServer();
    const CheckResult result = Run();
    EXPECT_EQ(listText_, "1.2");
    EXPECT_TRUE(result.earlierList);
    EXPECT_THAT(steps_, ElementsAre("list text", "downloading installer"));
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 1);  // the earlier list offered it
    EXPECT_EQ(result.outcome, CheckOutcome::InstallerIncomplete);
}

TEST_F(UpdateCheckTest, OversizedListIsNeitherKeptNorRead) {
    WriteBytes(List(), "1.0\r\n");
    server_.ServeBytes("/sns/update.lst", "9.9" + std::string(2 << 20, '0'));
    ConfigureServer();
    CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::UpToDate);
    EXPECT_TRUE(result.earlierList);
    EXPECT_EQ(ReadBytes(List()), "1.0\r\n");
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);

    // Nor is an oversized earlier copy read.
    WriteBytes(List(), "9.9" + std::string(2 << 20, '0'));
    result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::ListUnreadable);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    ExpectNoStagedFiles();
}

TEST_F(UpdateCheckTest, ListThatCannotBeSavedEndsTheCheck) {
    fs::create_directories(List() / "in-the-way");
    server_.ServeBytes("/sns/update.lst", "9.9\r\n");
    ConfigureServer();
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::ListNotSaved);
    EXPECT_EQ(result.file, List());
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_TRUE(fs::is_directory(List() / "in-the-way"));
    ExpectNoStagedFiles();
}

TEST_F(UpdateCheckTest, ListWithoutANumberOffersNothing) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "<html><body>maintenance 2.0</body></html>\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", "#!/bin/sh\n");
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::ListWithoutVersion);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(launched_.empty());
}

// The version decision on real lists; an offered update meets an installer
// that is not there, so nothing runs.
struct Decision {
    const char* list;
    const char* joined;
    bool offered;
};

class VersionDecisionCheckTest : public UpdateCheckTest,
                                 public ::testing::WithParamInterface<Decision> {};

TEST_P(VersionDecisionCheckTest, OffersAnUpdateOnlyForAHigherVersion) {
    server_.ServeBytes("/sns/update.lst", GetParam().list);
    server_.ServeStatus("/sns/up_velotan.exe", 404, "<html>Not Found</html>");
    ConfigureServer();
    const CheckResult result = Run();
    EXPECT_EQ(listText_, GetParam().joined);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), GetParam().offered ? 1 : 0);
    EXPECT_EQ(result.outcome,
              GetParam().offered ? CheckOutcome::InstallerIncomplete : CheckOutcome::UpToDate);
    EXPECT_TRUE(launched_.empty());
    EXPECT_FALSE(fs::exists(Installer()));
}

INSTANTIATE_TEST_SUITE_P(Lists, VersionDecisionCheckTest,
                         ::testing::Values(Decision{"1.2\r\n", "1.2", true},
                                           Decision{"1.1\r\n", "1.1", false},
                                           Decision{"1.05\r\n", "1.05", false},
                                           Decision{"1.10\r\n", "1.10", false},
                                           Decision{"1.2\r\n5\r\n", "1.25", true},
                                           // Joined, 1.1 and 5 make 1.15: newer.
                                           Decision{"1.1\r\n5\r\n", "1.15", true}));

// Faults of the list download. Each runs nothing and leaves the earlier list
// and installer byte for byte; the earlier list decides.
struct ListFault {
    const char* name;
    std::function<void(LoopbackServer&)> serve;
};

class ListFaultCheckTest : public UpdateCheckTest,
                           public ::testing::WithParamInterface<ListFault> {};

TEST_P(ListFaultCheckTest, KeepsTheEarlierListAndRunsNothing) {
    const std::string earlier = "1.0\r\nearlier list\r\n";
    WriteBytes(List(), earlier);
    WriteBytes(Installer(), "earlier installer");
    RefusingPort refusing;
    if (GetParam().serve) {
        GetParam().serve(server_);
        ConfigureServer();
    } else {
        Configure(refusing.Url());
    }
    // A stall is cut short once its first bytes are in; before them a slow
    // start on a loaded machine waits as long as it takes.
    cdf_.entDLFileDowning = [this](const std::string&, int32_t, int32_t, int32_t) {
        cdf_.SetIdleTimeout(std::chrono::milliseconds(300));
    };
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::UpToDate);
    EXPECT_TRUE(result.earlierList);
    EXPECT_EQ(listText_, "1.0earlier list");
    EXPECT_EQ(ReadBytes(List()), earlier);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(launched_.empty());
    ExpectNoStagedFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ListFaultCheckTest,
    ::testing::Values(
        ListFault{"ServerRefused", nullptr},
        ListFault{
            "NotFound404",
            [](LoopbackServer& s) { s.ServeStatus("/sns/update.lst", 404, "9.9 Not Found"); }},
        ListFault{"ServerError500",
                  [](LoopbackServer& s) { s.ServeStatus("/sns/update.lst", 500, "9.9 Error"); }},
        ListFault{"TruncatedBody",
                  [](LoopbackServer& s) { s.ServeTruncated("/sns/update.lst", 1300, 600); }},
        ListFault{"Stall", [](LoopbackServer& s) { s.ServeStall("/sns/update.lst", 1300, 512); }},
        ListFault{
            "RedirectLoop",
            [](LoopbackServer& s) { s.ServeRedirect("/sns/update.lst", "/sns/update.lst"); }}),
    [](const ::testing::TestParamInfo<ListFault>& info) { return std::string(info.param.name); });

TEST_F(UpdateCheckTest, InstallerThatFailsWith404RunsNothing) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeStatus("/sns/up_velotan.exe", 404, "#!/bin/sh\ntouch should-not-run\n");
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::InstallerIncomplete);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(launched_.empty());
}

TEST_F(UpdateCheckTest, InstallerThatCannotBeSavedRunsNothing) {
    fs::create_directories(Installer() / "in-the-way");
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", "#!/bin/sh\n");
    ConfigureServer();
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::InstallerNotSaved);
    EXPECT_EQ(result.file, fs::absolute(Installer()));
    EXPECT_TRUE(fs::is_directory(Installer() / "in-the-way"));
    EXPECT_TRUE(launched_.empty());
}

TEST_F(UpdateCheckTest, StoppedInstallerDownloadRunsNothing) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    server_.ServeHeld("/sns/up_velotan.exe", std::string(4000, 'x'), 1024);
    ConfigureServer();
    cdf_.entDLFileDowning = [this](const std::string& url, int32_t, int32_t, int32_t) {
        if (url.ends_with("/up_velotan.exe"))
            cdf_.DLFileStop();
    };
    EXPECT_EQ(Run().outcome, CheckOutcome::Stopped);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(launched_.empty());
    ExpectNoStagedFiles();
}

TEST_F(UpdateCheckTest, UpdateFoundStartsTheInstallerAfterTheLastWord) {
    const std::string script = "#!/bin/sh\nexit 0\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\nImportant fixes\r\n");
    ServeInstaller(script);
    ConfigureServer();
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::InstallerStarted);
    EXPECT_EQ(listText_, "1.2Important fixes");
    EXPECT_THAT(steps_, ElementsAre("list arrived", "list text", "downloading installer", "ready",
                                    "launch"));
    EXPECT_EQ(installerAtReady_, script);
    // Started by its absolute path, with no arguments.
    ExpectStartedFromAFreshCopy(script);
}

// What runs is the copy that was checked: a file put in the download's place
// while the last word is on the screen changes nothing.
TEST_F(UpdateCheckTest, TheCheckedCopyRunsWhateverTakesTheDownloadsPlace) {
    const std::string script = "#!/bin/sh\necho signed\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller(script);
    ConfigureServer();
    UpdateCheck check(UpdateCheck::Through(cdf_),
                      [this](const std::vector<std::string>& argv, std::string*) {
                          launched_.push_back(argv);
                          return true;
                      });
    check.onInstallerReady = [this](const fs::path&) {
        const fs::path other = data_ / "other";
        WriteBytes(other, "#!/bin/sh\necho unsigned\n");
        fs::permissions(other, fs::perms::owner_all);
        fs::rename(other, Installer());
    };
    EXPECT_EQ(check.Run(data_.path(), program_.path()).outcome, CheckOutcome::InstallerStarted);
    ASSERT_EQ(launched_.size(), 1u);
    EXPECT_EQ(ReadBytes(launched_[0][0]), script);
    EXPECT_NE(fs::path(launched_[0][0]), fs::absolute(Installer()));
}

// The copy runs from a folder that only the user can write, in folders that
// nobody else can rename it out of; anywhere else nothing runs.
TEST_F(UpdateCheckTest, AFolderOthersCanWriteRunsNothing) {
    TempDir root;
    struct Case {
        const char* name;
        fs::perms above;  // of the folder that holds the data folder
        fs::perms data;
        CheckOutcome expected;
    };
    const fs::perms mine = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec;
    const Case cases[] = {
        {"own", mine, mine, CheckOutcome::InstallerStarted},
        {"others write it", mine, fs::perms::all, CheckOutcome::InstallerFolderShared},
        {"the group writes it", mine, mine | fs::perms::group_write,
         CheckOutcome::InstallerFolderShared},
        {"others write the folder above", fs::perms::all, mine,
         CheckOutcome::InstallerFolderShared},
        {"a sticky folder above, as /tmp", fs::perms::all | fs::perms::sticky_bit, mine,
         CheckOutcome::InstallerStarted},
    };
    const std::string script = "#!/bin/sh\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller(script);
    server_.Start();
    for (const Case& c : cases) {
        const fs::path above = root / c.name;
        const fs::path data = above / "data";
        fs::create_directories(data);
        WriteBytes(data / "update.ini", "[update]\r\nServer=" + server_.Url() +
                                            "\r\nPublicKey=" + publisher_.PublicKey() + "\r\n");
        fs::permissions(data, c.data);
        fs::permissions(above, c.above);
        launched_.clear();
        UpdateCheck check(UpdateCheck::Through(cdf_),
                          [this](const std::vector<std::string>& argv, std::string*) {
                              launched_.push_back(argv);
                              return true;
                          });
        const CheckResult result = check.Run(data, program_.path());
        EXPECT_EQ(result.outcome, c.expected) << c.name;
        if (c.expected == CheckOutcome::InstallerFolderShared) {
            EXPECT_TRUE(launched_.empty()) << c.name;
            EXPECT_EQ(result.file, fs::absolute(data)) << c.name;
            for (const auto& name : FolderEntries(data))
                EXPECT_EQ(name.find(".upvelotan-"), std::string::npos) << c.name;
        } else {
            ASSERT_EQ(launched_.size(), 1u) << c.name;
            EXPECT_EQ(ReadBytes(launched_[0][0]), script) << c.name;
        }
        fs::permissions(above, fs::perms::owner_all);
    }
}

// The signature names the version it is for, as the list writes it; a list
// that joins to 1.25 needs "velotan 1.25".
TEST_F(UpdateCheckTest, TheSignatureNamesTheListedVersion) {
    const std::string script = "#!/bin/sh\n";
    server_.ServeBytes("/sns/update.lst", "1.2\r\n5\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", script);
    server_.ServeBytes("/sns/up_velotan.exe.minisig",
                       publisher_.SignatureOf(script, false, "velotan 1.25"));
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::InstallerStarted);
    ExpectStartedFromAFreshCopy(script);
}

// An older installer the publisher once signed, offered by a list that names
// its own version, is no update: nothing is fetched.
TEST_F(UpdateCheckTest, ASignedOlderVersionIsNoUpdate) {
    const std::string script = "#!/bin/sh\n";
    const std::string older = std::to_string(kVersionMajor - 1) + ".9";
    server_.ServeBytes("/sns/update.lst", older + "\r\n");
    server_.ServeBytes("/sns/up_velotan.exe", script);
    server_.ServeBytes("/sns/up_velotan.exe.minisig",
                       publisher_.SignatureOf(script, false, "velotan " + older));
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::UpToDate);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_TRUE(launched_.empty());
}

TEST_F(UpdateCheckTest, InstallerThatCannotStartSaysWhy) {
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller("not a program at all");
    ConfigureServer();
    launchWorks_ = false;
    const CheckResult result = Run();
    EXPECT_EQ(result.outcome, CheckOutcome::InstallerNotStarted);
    EXPECT_EQ(result.file.parent_path().parent_path(), fs::absolute(data_.path()));
    EXPECT_EQ(result.error, "no such program");
    EXPECT_THAT(steps_, ::testing::Contains("ready"));
    // The copy that did not start goes again.
    ExpectNoStagedFiles();
}

// Every way a signature can fail to vouch for the installer. Each refuses
// with its own outcome, runs nothing, and leaves the downloaded file
// without any execute permission.
struct Refusal {
    const char* name;
    // What the server holds besides the list, given the installer and the
    // publisher's and another key pair.
    std::function<void(LoopbackServer&, const std::string& installer,
                       const MinisignKeyPair& publisher, const MinisignKeyPair& other)>
        serve;
    CheckOutcome expected;
};

class SignatureRefusalTest : public UpdateCheckTest,
                             public ::testing::WithParamInterface<Refusal> {};

TEST_P(SignatureRefusalTest, RunsNothing) {
    const std::string installer = "#!/bin/sh\necho installing\n";
    const MinisignKeyPair other(keys_ / "other");
    // An earlier signature of this very installer lies in the folder; only
    // one that arrives now may count.
    WriteBytes(data_ / "upvelotan.exe.minisig", publisher_.SignatureOf(installer));
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    GetParam().serve(server_, installer, publisher_, other);
    ConfigureServer();
    EXPECT_EQ(Run().outcome, GetParam().expected);
    EXPECT_TRUE(launched_.empty());
    EXPECT_THAT(steps_, ::testing::Not(::testing::Contains("ready")));
    ASSERT_TRUE(fs::exists(Installer()));
    const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    EXPECT_EQ(fs::status(Installer()).permissions() & exec, fs::perms::none);
    ExpectNoStagedFiles();
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, SignatureRefusalTest,
    ::testing::Values(
        Refusal{"ChangedInstaller",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe.minisig", publisher.SignatureOf(installer));
                    s.ServeBytes("/sns/up_velotan.exe", installer + "rm -rf ~\n");
                },
                CheckOutcome::SignatureMismatch},
        Refusal{"ChangedSignature",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    // The publisher's signature line of another file in the
                    // signature of this one.
                    const std::string mine = publisher.SignatureOf(installer);
                    const std::string theirs = publisher.SignatureOf("another file");
                    const auto line = [](const std::string& sig) {
                        const auto start = sig.find('\n') + 1;
                        return sig.substr(start, sig.find('\n', start) - start);
                    };
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig",
                                 Replaced(mine, line(mine), line(theirs)));
                },
                CheckOutcome::SignatureMismatch},
        Refusal{"ChangedTrustedComment",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes(
                        "/sns/up_velotan.exe.minisig",
                        Replaced(publisher.SignatureOf(installer), "trusted comment: velotan 1.2",
                                 "trusted comment: velotan 9.9"));
                },
                CheckOutcome::SignatureCommentChanged},
        // Signed by the publisher, but for another version than
        // the list names: once published, it must not pass for
        // a newer one.
        Refusal{"SignedForAnotherVersion",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig",
                                 publisher.SignatureOf(installer, false, "velotan 1.0"));
                },
                CheckOutcome::SignatureOtherVersion},
        Refusal{"SignedWithoutAVersion",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig",
                                 publisher.SignatureOf(installer, false, "velotan update"));
                },
                CheckOutcome::SignatureOtherVersion},
        Refusal{"SignedForTheVersionWrittenOtherwise",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig",
                                 publisher.SignatureOf(installer, false, "velotan 1.20"));
                },
                CheckOutcome::SignatureOtherVersion},
        Refusal{"LegacyForm",
                [](LoopbackServer& s, const std::string& installer,
                   const MinisignKeyPair& publisher, const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig",
                                 publisher.SignatureOf(installer, true));
                },
                CheckOutcome::SignatureLegacy},
        Refusal{"AnotherKey",
                [](LoopbackServer& s, const std::string& installer, const MinisignKeyPair&,
                   const MinisignKeyPair& other) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig", other.SignatureOf(installer));
                },
                CheckOutcome::SignatureOtherKey},
        Refusal{"MissingSignature",
                [](LoopbackServer& s, const std::string& installer, const MinisignKeyPair&,
                   const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeStatus("/sns/up_velotan.exe.minisig", 404, "Not Found");
                },
                CheckOutcome::SignatureMissing},
        Refusal{"NotASignature",
                [](LoopbackServer& s, const std::string& installer, const MinisignKeyPair&,
                   const MinisignKeyPair&) {
                    s.ServeBytes("/sns/up_velotan.exe", installer);
                    s.ServeBytes("/sns/up_velotan.exe.minisig", "<html>maintenance</html>");
                },
                CheckOutcome::SignatureMalformed}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// Without the publisher's key, or with something else in its place, nothing
// downloaded could be trusted: the installer is not even fetched.
TEST_F(UpdateCheckTest, NoUsablePublicKeyFetchesNothingToRun) {
    WriteBytes(Installer(), "earlier installer");
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller("#!/bin/sh\n");
    server_.Start();
    const std::pair<std::string, CheckOutcome> cases[] = {
        {"", CheckOutcome::NoPublicKey},
        {"PublicKey=\r\n", CheckOutcome::NoPublicKey},
        {"PublicKey=RWQnot-a-key\r\n", CheckOutcome::BadPublicKey},
        // The signature line is no key either.
        {"PublicKey=" +
             publisher_.SignatureOf("x").substr(publisher_.SignatureOf("x").find('\n') + 1, 100) +
             "\r\n",
         CheckOutcome::BadPublicKey},
    };
    for (const auto& [line, expected] : cases) {
        WriteBytes(data_ / "update.ini", "[update]\r\nServer=" + server_.Url() + "\r\n" + line);
        EXPECT_EQ(Run().outcome, expected) << line;
    }
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 4);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 0);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe.minisig"), 0);
    EXPECT_EQ(ReadBytes(Installer()), "earlier installer");
    EXPECT_TRUE(launched_.empty());
}

// The rule for starting what arrived: a complete 2xx answer, over https or
// from loopback. A download that says otherwise starts nothing.
TEST_F(UpdateCheckTest, OnlyACompleteSecureAnswerStarts) {
    struct Case {
        bool replaced;
        long status;
        bool secure;
        CheckOutcome expected;
    };
    const Case cases[] = {
        {true, 200, true, CheckOutcome::InstallerStarted},
        {true, 200, false, CheckOutcome::InstallerInsecure},
        {true, 304, true, CheckOutcome::InstallerIncomplete},
        {false, 200, true, CheckOutcome::InstallerIncomplete},
    };
    Configure("https://update.example.org");
    const std::string signature = publisher_.SignatureOf("#!/bin/sh\n");
    for (const Case& c : cases) {
        launched_.clear();
        const auto download = [&](const std::string& url, const fs::path& local, int32_t) {
            DownloadResult r;
            if (!url.ends_with("/up_velotan.exe")) {
                WriteBytes(local, url.ends_with("/update.lst") ? "1.2\r\n" : signature);
                r.outcome = DownloadOutcome::Complete;
                r.replaced = true;
                r.httpStatus = 200;
                r.secureOrigin = true;
                return r;
            }
            if (c.replaced)
                WriteBytes(local, "#!/bin/sh\n");
            r.outcome = c.replaced ? DownloadOutcome::Complete : DownloadOutcome::Incomplete;
            r.replaced = c.replaced;
            r.httpStatus = c.status;
            r.secureOrigin = c.secure;
            return r;
        };
        EXPECT_EQ(Run(download).outcome, c.expected) << c.status << " " << c.secure;
        EXPECT_EQ(launched_.size(), c.expected == CheckOutcome::InstallerStarted ? 1u : 0u);
    }
}

// Never two checks at once in the process: a check started inside another
// one's transfer (a second window's button, pressed while the first one
// pumps its events) asks nothing and starts nothing.
TEST_F(UpdateCheckTest, OneCheckAtATimeInTheProcess) {
    server_.ServeBytes("/sns/update.lst", "1.2\r\n");
    ServeInstaller("#!/bin/sh\n");
    ConfigureServer();
    Cls_DownLoad other;
    std::optional<CheckResult> inner;
    int innerLaunches = 0;
    cdf_.pumpEvents = [&] {
        if (inner)
            return;
        UpdateCheck second(UpdateCheck::Through(other),
                           [&](const std::vector<std::string>&, std::string*) {
                               ++innerLaunches;
                               return true;
                           });
        inner = second.Run(data_.path(), program_.path());
    };
    const CheckResult outer = Run();
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->outcome, CheckOutcome::Busy);
    EXPECT_EQ(innerLaunches, 0);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 1);
    EXPECT_EQ(server_.Hits("/sns/up_velotan.exe"), 1);
    EXPECT_EQ(outer.outcome, CheckOutcome::InstallerStarted);
    EXPECT_EQ(launched_.size(), 1u);

    // Once it is over, the next check runs.
    cdf_.pumpEvents = nullptr;
    EXPECT_EQ(Run().outcome, CheckOutcome::InstallerStarted);
    EXPECT_EQ(server_.Hits("/sns/update.lst"), 2);
}

TEST_F(UpdateCheckTest, ACheckThatFailsLetsTheNextOneRun) {
    Configure("https://update.example.org");
    const auto failing = [](const std::string&, const fs::path&, int32_t) -> DownloadResult {
        throw std::runtime_error("listener failed");
    };
    EXPECT_THROW(Run(failing), std::runtime_error);
    server_.ServeBytes("/sns/update.lst", "1.1\r\n");
    ConfigureServer();
    EXPECT_EQ(Run().outcome, CheckOutcome::UpToDate);
}

TEST_F(UpdateCheckTest, TheListDownloadIsCappedAndTheCapGoesAway) {
    server_.ServeBytes("/sns/update.lst", "1.1\r\n");
    server_.ServeBytes("/big", std::string(kMaxListBytes + 1000, 'b'));
    ConfigureServer();
    std::vector<int32_t> caps;
    const UpdateCheck::Download through = UpdateCheck::Through(cdf_);
    Run([&](const std::string& url, const fs::path& local, int32_t maxBytes) {
        caps.push_back(maxBytes);
        return through(url, local, maxBytes);
    });
    EXPECT_THAT(caps, ElementsAre(kMaxListBytes));
    // The downloader is left without the list's cap for whatever comes next.
    cdf_.DLFile(server_.Url("/big"), data_ / "big", 5000);
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Complete);
}

}  // namespace
}  // namespace velotan::update::test
