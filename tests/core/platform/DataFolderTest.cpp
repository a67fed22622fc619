// Where the program's own files live: a writable program folder keeps them,
// a read-only one hands them to a per-user folder seeded once.

#include "platform/DataFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/TempDir.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

bool NeverWritable(const fs::path&) {
    return false;
}

class DataFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(program() / "settings.ini", "[set]\r\nKeyChar=E\r\n");
        WriteBytes(program() / "Font.ini", "[Font]\r\nFontName=SimSun\r\n");
        WriteBytes(program() / "DataBase" / "Lc_Addlist.mdb", std::string("db\0bytes", 8));
        WriteBytes(program() / "first", "");
        WriteBytes(program() / "symbolhandle.ini", "[symbol]\r\n");
    }
    fs::path program() const { return temp_.path() / "opt" / "velotan"; }
    fs::path user() const { return temp_.path() / "home" / ".local" / "share" / "velotan"; }

    TempDir temp_;
};

TEST_F(DataFolderTest, WritableProgramFolderKeepsItsFiles) {
    const DataFolderChoice choice = ChooseDataFolder(program(), FolderIsWritable, user());
    EXPECT_EQ(choice.folder, program());
    EXPECT_FALSE(choice.perUser);
    EXPECT_TRUE(choice.error.empty());
    EXPECT_FALSE(fs::exists(user()));
    // The probe leaves nothing behind.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(program()))
        ++files;
    EXPECT_EQ(files, 5u);
}

TEST_F(DataFolderTest, ReadOnlyProgramFolderSeedsThePerUserFolderOnce) {
    DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    ASSERT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.folder, user());
    EXPECT_EQ(ReadBytes(user() / "settings.ini"), "[set]\r\nKeyChar=E\r\n");
    EXPECT_EQ(ReadBytes(user() / "Font.ini"), "[Font]\r\nFontName=SimSun\r\n");
    EXPECT_EQ(ReadBytes(user() / "DataBase" / "Lc_Addlist.mdb"), std::string("db\0bytes", 8));
    EXPECT_TRUE(fs::exists(user() / "first"));
    // Shipped read-only files stay where they are.
    EXPECT_FALSE(fs::exists(user() / "symbolhandle.ini"));

    // The program uses its copies: the marker goes, the settings change.
    fs::remove(user() / "first");
    WriteBytes(user() / "settings.ini", "[set]\r\nKeyChar=/keys\r\n");
    choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_FALSE(fs::exists(user() / "first"));
    EXPECT_EQ(ReadBytes(user() / "settings.ini"), "[set]\r\nKeyChar=/keys\r\n");
    // The shipped files were never touched.
    EXPECT_TRUE(fs::exists(program() / "first"));
    EXPECT_EQ(ReadBytes(program() / "settings.ini"), "[set]\r\nKeyChar=E\r\n");
}

TEST_F(DataFolderTest, SharedInstallIsPerUserEvenWhenWritable) {
    // Root can write /opt/velotan, but must not use up the shipped first-run
    // marker or set a password in the database every later user copies.
    WriteBytes(program() / kSharedInstallMarker, "");
    const DataFolderChoice choice = ChooseDataFolder(program(), FolderIsWritable, user());
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.folder, user());
    EXPECT_TRUE(fs::exists(user() / "first"));
}

TEST_F(DataFolderTest, SeedingKeepsWhatTheUserFolderAlreadyHas) {
    // Another part of the program (the control registry) may have made the
    // folder first; a file already there is the user's and stays.
    WriteBytes(user() / "registry.reg", "x");
    WriteBytes(user() / "Font.ini", "mine");
    const DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_EQ(ReadBytes(user() / "Font.ini"), "mine");
    EXPECT_EQ(ReadBytes(user() / "registry.reg"), "x");
    EXPECT_TRUE(fs::exists(user() / "DataBase" / "Lc_Addlist.mdb"));
}

TEST_F(DataFolderTest, FailedSeedingIsReportedAndFinishedAtTheNextStart) {
    // A file where the database folder belongs stops the copy before the
    // marker.
    WriteBytes(user() / "DataBase", "a file in the way");
    DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.perUser);
    EXPECT_FALSE(choice.error.empty());
    EXPECT_FALSE(fs::exists(user() / "first"));

    fs::remove(user() / "DataBase");
    choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_TRUE(fs::exists(user() / "DataBase" / "Lc_Addlist.mdb"));
    EXPECT_TRUE(fs::exists(user() / "first"));
}

TEST(FolderIsWritable, AnswersForMissingAndReadOnlyFolders) {
    TempDir temp;
    EXPECT_TRUE(FolderIsWritable(temp.path()));
    EXPECT_FALSE(FolderIsWritable(temp.path() / "missing"));
    WriteBytes(temp.path() / "file", "x");
    EXPECT_FALSE(FolderIsWritable(temp.path() / "file"));
    if (::geteuid() != 0) {
        fs::create_directories(temp.path() / "ro");
        fs::permissions(temp.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(FolderIsWritable(temp.path() / "ro"));
        fs::permissions(temp.path() / "ro", fs::perms::owner_all);
    }
}

TEST(UserDataFolder, FollowsTheXdgRules) {
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);

    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(UserDataFolder(), fs::path("/data/home/velotan"));
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(UserDataFolder(), fs::path(home) / ".local/share/velotan");
    ::setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(UserDataFolder(), fs::path(home) / ".local/share/velotan");

    if (oldXdg)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace velotan::platform

namespace velotan::platform {
namespace {

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777;
}

TEST_F(DataFolderTest, AMistypedProgramFolderSeedsNothingAndLeavesNoMarker) {
    // A folder without the shipped files, as a typing error gives one.
    const fs::path typo = temp_.path() / "opt" / "velotna";
    fs::create_directories(typo);
    DataFolderChoice choice = ChooseDataFolder(typo, NeverWritable, user());
    EXPECT_TRUE(choice.perUser);
    EXPECT_NE(choice.error.find("not a program folder"), std::string::npos) << choice.error;
    EXPECT_FALSE(fs::exists(user()));

    // The real folder still seeds everything afterwards.
    choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_EQ(ReadBytes(user() / "DataBase" / "Lc_Addlist.mdb"), std::string("db\0bytes", 8));
    EXPECT_TRUE(fs::exists(user() / "first"));
}

TEST_F(DataFolderTest, AMissingShippedDatabaseIsASeedingError) {
    fs::remove(program() / "DataBase" / "Lc_Addlist.mdb");
    const DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_NE(choice.error.find("Lc_Addlist.mdb"), std::string::npos) << choice.error;
    // No marker, no first-run marker without the database it belongs to.
    EXPECT_FALSE(fs::exists(user() / ".seeded"));
    EXPECT_FALSE(fs::exists(user() / "first"));
}

TEST_F(DataFolderTest, ALostDatabaseIsCopiedAgainButAUsedUpMarkerIsNot) {
    ASSERT_TRUE(ChooseDataFolder(program(), NeverWritable, user()).error.empty());
    fs::remove(user() / "first");  // used up by the first start
    fs::remove(user() / "DataBase" / "Lc_Addlist.mdb");
    const DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_EQ(ReadBytes(user() / "DataBase" / "Lc_Addlist.mdb"), std::string("db\0bytes", 8));
    EXPECT_FALSE(fs::exists(user() / "first"));
}

TEST_F(DataFolderTest, UpdateIniIsReadFromTheProgramFolderNotCopied) {
    // A later package may name another server; a copy would hide it for ever.
    WriteBytes(program() / "update.ini", "[update]\r\nServer=http://old.example\r\n");
    ASSERT_TRUE(ChooseDataFolder(program(), NeverWritable, user()).error.empty());
    EXPECT_FALSE(fs::exists(user() / "update.ini"));
}

TEST_F(DataFolderTest, TheFolderAndTheDatabaseAreTheUsersAloneTheRestFollowsTheUmask) {
    const mode_t old = ::umask(022);
    const DataFolderChoice choice = ChooseDataFolder(program(), NeverWritable, user());
    ::umask(old);
    ASSERT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_EQ(ModeOf(user()), 0700u);
    EXPECT_EQ(ModeOf(user() / "DataBase"), 0700u);
    EXPECT_EQ(ModeOf(user() / "DataBase" / "Lc_Addlist.mdb"), 0600u);
    EXPECT_EQ(ModeOf(user() / "settings.ini"), 0644u);
    EXPECT_EQ(ModeOf(user() / "first"), 0644u);

    // Folders that earlier versions made readable by all are narrowed.
    ::chmod(user().c_str(), 0755);
    ::chmod((user() / "DataBase" / "Lc_Addlist.mdb").c_str(), 0644);
    ASSERT_TRUE(ChooseDataFolder(program(), NeverWritable, user()).error.empty());
    EXPECT_EQ(ModeOf(user()), 0700u);
    EXPECT_EQ(ModeOf(user() / "DataBase" / "Lc_Addlist.mdb"), 0600u);
}

TEST_F(DataFolderTest, AFolderTheUserDoesNotOwnIsShared) {
    // Root's folders are a system-wide installation, even for root: one root
    // run must not use up the marker or set the password every user copies.
    EXPECT_FALSE(IsUsersOwnFolder("/"));
    EXPECT_FALSE(IsUsersOwnFolder(temp_.path() / "missing"));
    if (::geteuid() != 0) {
        EXPECT_TRUE(IsUsersOwnFolder(program()));
        return;
    }
    EXPECT_FALSE(IsUsersOwnFolder(program()));
    DataFolderChoice choice = ChooseDataFolder(program(), IsUsersOwnFolder, user());
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.folder, user());
    // Another user's folder, which root could write, is theirs.
    ASSERT_EQ(::chown(program().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(IsUsersOwnFolder(program()));
}

TEST_F(DataFolderTest, APortableFoldersDatabaseIsNarrowedToTheUser) {
    // Installed readable by all, as every shipped file is.
    ::chmod((program() / "DataBase" / "Lc_Addlist.mdb").c_str(), 0644);
    ::chmod((program() / "settings.ini").c_str(), 0644);
    const DataFolderChoice choice = ChooseDataFolder(program(), FolderIsWritable, user());
    ASSERT_EQ(choice.folder, program());
    EXPECT_EQ(ModeOf(program() / "DataBase" / "Lc_Addlist.mdb"), 0600u);
    EXPECT_EQ(ModeOf(program() / "settings.ini"), 0644u);
    // A shared folder's shipped database stays as it was.
    ::chmod((program() / "DataBase" / "Lc_Addlist.mdb").c_str(), 0644);
    ASSERT_TRUE(ChooseDataFolder(program(), NeverWritable, user()).perUser);
    EXPECT_EQ(ModeOf(program() / "DataBase" / "Lc_Addlist.mdb"), 0644u);
}

TEST_F(DataFolderTest, WithoutAHomeASharedFolderIsNoDataFolder) {
    // HOME and XDG_DATA_HOME unset: there is no folder of the user's own, and
    // the shared folder must not stand in for it.
    for (const FolderProbe& probe : {FolderProbe(NeverWritable), FolderProbe(FolderIsWritable)}) {
        if (probe(program()))
            WriteBytes(program() / kSharedInstallMarker, "");
        const auto before = ReadBytes(program() / "DataBase" / "Lc_Addlist.mdb");
        const DataFolderChoice choice = ChooseDataFolder(program(), probe, fs::path());
        EXPECT_TRUE(choice.folder.empty()) << choice.folder;
        EXPECT_NE(choice.error.find("HOME"), std::string::npos) << choice.error;
        EXPECT_EQ(ReadBytes(program() / "DataBase" / "Lc_Addlist.mdb"), before);
        EXPECT_TRUE(fs::exists(program() / "first"));
    }
    // A portable folder needs no HOME.
    fs::remove(program() / kSharedInstallMarker);
    EXPECT_EQ(ChooseDataFolder(program(), FolderIsWritable, fs::path()).folder, program());
}

}  // namespace
}  // namespace velotan::platform
