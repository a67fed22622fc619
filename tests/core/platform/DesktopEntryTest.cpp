// The per-user desktop entry and its icons, in a temporary XDG data folder,
// checked by desktop-file-validate where it is installed.

#include "platform/DesktopEntry.h"

#include <gtest/gtest.h>

#include "common/ChildProcess.h"
#include "common/TempDir.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;
using velotan::testing::ReadBytes;
using velotan::testing::RunProgram;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

constexpr const char* kValidator = "/usr/bin/desktop-file-validate";

// Empty when the file is valid: exit 0 and no error or warning. Hints stay
// (the validator suggests a second category beside Security, which the
// entry keeps as it is).
std::string Validate(const fs::path& file) {
    auto run = RunProgram({kValidator, file.string()}, "");
    const std::string said = run.out + run.err;
    if (run.exitCode == 0 && said.find("error:") == std::string::npos &&
        said.find("warning:") == std::string::npos)
        return {};
    return said + "(exit " + std::to_string(run.exitCode) + ")";
}

std::string ExecLine(const std::string& entry) {
    const size_t at = entry.find("\nExec=");
    if (at == std::string::npos)
        return {};
    return entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

class DesktopEntryTest : public ::testing::Test {
  protected:
    // A program folder in a path that needs quoting, with the shipped icons.
    DesktopEntryTest() : program_(temp_.path() / "my apps" / "青岚 \"$HOME\" 100%") {
        fs::create_directories(program_);
        fs::copy(fs::path(VELOTAN_DATA_DIR) / "icons", program_ / "icons");
    }
    fs::path DataHome() const { return temp_.path() / "share"; }

    TempDir temp_;
    fs::path program_;
};

TEST_F(DesktopEntryTest, InstallWritesAValidEntryAndTheIcons) {
    std::string error;
    ASSERT_TRUE(InstallDesktopEntry(program_, DataHome(), &error)) << error;
    const fs::path entry = DataHome() / "applications" / "velotan.desktop";
    const std::string text = ReadBytes(entry);
    EXPECT_NE(text.find("\nName=青岚心情加密器\n"), std::string::npos);
    EXPECT_NE(text.find("\nCategories=Utility;Security;\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=velotan\n"), std::string::npos);
    // Quoted, the characters special inside quotes escaped, % doubled, and
    // every backslash written twice as a desktop entry string wants.
    EXPECT_EQ(ExecLine(text), "\"" + (temp_.path() / "my apps").string() +
                                  "/青岚 \\\\\"\\\\$HOME\\\\\" 100%%/velotan\"");
    EXPECT_EQ(ReadBytes(DataHome() / "icons/hicolor/scalable/apps/velotan.svg"),
              ReadBytes(program_ / "icons/velotan.svg"));
    for (int size : IconSizes()) {
        const std::string n = std::to_string(size);
        EXPECT_EQ(ReadBytes(DataHome() / "icons/hicolor" / (n + "x" + n) / "apps/velotan.png"),
                  ReadBytes(program_ / "icons" / ("velotan-" + n + ".png")))
            << n;
    }
    if (!fs::exists(kValidator))
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    EXPECT_EQ(Validate(entry), "");
}

TEST_F(DesktopEntryTest, RemoveTakesEntryAndIconsAway) {
    ASSERT_TRUE(InstallDesktopEntry(program_, DataHome()));
    std::string error;
    ASSERT_TRUE(RemoveDesktopEntry(DataHome(), &error)) << error;
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(DataHome()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 0u);
    // Removing again is no error.
    EXPECT_TRUE(RemoveDesktopEntry(DataHome(), &error)) << error;
}

TEST_F(DesktopEntryTest, RefusesWhatItCannotWrite) {
    // No icons shipped: no entry that points at a missing icon.
    fs::remove_all(program_ / "icons");
    std::string error;
    EXPECT_FALSE(InstallDesktopEntry(program_, DataHome(), &error));
    EXPECT_NE(error.find("velotan.svg"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(DataHome() / "applications" / "velotan.desktop"));
    // A line break in the folder name would end the Exec line early.
    EXPECT_FALSE(DesktopEntryText("/opt/a\nExec=evil/velotan").has_value());
    EXPECT_FALSE(DesktopEntryText(std::string("/opt/\xff/velotan")).has_value());
    EXPECT_FALSE(InstallDesktopEntry(program_, fs::path(), &error));
}

TEST(DesktopEntryProgramTest, ReadsBackThePathOfEveryEntryItWrites) {
    for (const std::string path :
         {"/opt/velotan/velotan", "/home/u/my apps/青岚 \"$HOME\" 100%/velotan",
          "/a/b\\c`d/velotan", "/x%%y/velotan"}) {
        const auto text = DesktopEntryText(path);
        ASSERT_TRUE(text.has_value()) << path;
        EXPECT_EQ(DesktopEntryProgram(*text), fs::path(path)) << *text;
    }
}

TEST(DesktopEntryProgramTest, RefusesEntriesOfAnotherShape) {
    for (const std::string text :
         {"[Desktop Entry]\nName=x\n", "[Desktop Entry]\nExec=velotan\n",
          "[Desktop Entry]\nExec=/usr/bin/velotan %U\n",
          "[Desktop Entry]\nExec=\"/a/velotan\" \"/b\"\n", "[Desktop Entry]\nExec=\"/a/velotan\n",
          "[Desktop Entry]\nExec=\"/a%b/velotan\"\n",
          "[Desktop Entry]\nExec=\"relative/velotan\"\n", "[Desktop Entry]\nExec=\"\"\n"}) {
        EXPECT_FALSE(DesktopEntryProgram(text).has_value()) << text;
    }
}

// The entry an earlier package wrote: it starts /opt/velotan/velotan, which
// the package in /usr/lib/velotan no longer has.
TEST_F(DesktopEntryTest, MoveOnRewritesAnEntryWhoseProgramIsGone) {
    const fs::path gone = temp_.path() / "opt" / "velotan";
    fs::create_directories(gone);
    fs::copy(program_ / "icons", gone / "icons");
    ASSERT_TRUE(InstallDesktopEntry(gone, DataHome()));
    const fs::path entry = DataHome() / "applications" / "velotan.desktop";
    fs::remove_all(gone);

    std::string error;
    EXPECT_TRUE(MoveOnDesktopEntry(program_, DataHome(), &error)) << error;
    EXPECT_EQ(DesktopEntryProgram(ReadBytes(entry)), program_ / "velotan");
    EXPECT_EQ(ReadBytes(entry), *DesktopEntryText(program_ / "velotan"));
    // Once moved on, the entry stays.
    fs::create_directories(program_);
    WriteBytes(program_ / "velotan", "program");
    EXPECT_FALSE(MoveOnDesktopEntry(temp_.path() / "elsewhere", DataHome(), &error));
    EXPECT_EQ(DesktopEntryProgram(ReadBytes(entry)), program_ / "velotan");
}

TEST_F(DesktopEntryTest, MoveOnLeavesOtherEntriesAlone) {
    const fs::path entry = DataHome() / "applications" / "velotan.desktop";
    std::string error;
    // No entry: none is made.
    EXPECT_FALSE(MoveOnDesktopEntry(program_, DataHome(), &error));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(MoveOnDesktopEntry(program_, fs::path(), &error));
    // The user's own entries, naming programs that are gone or not ours.
    const fs::path existing = temp_.path() / "portable" / "velotan";
    WriteBytes(existing, "program");
    for (const std::string& text :
         {*DesktopEntryText(existing), *DesktopEntryText(temp_.path() / "gone" / "other"),
          std::string("[Desktop Entry]\nExec=velotan --my-option\n")}) {
        WriteBytes(entry, text);
        EXPECT_FALSE(MoveOnDesktopEntry(program_, DataHome(), &error)) << text;
        EXPECT_EQ(ReadBytes(entry), text);
    }
}

TEST(PackagedDesktopEntry, IsValid) {
    // The entry that the Debian package puts into /usr/share/applications.
    const fs::path entry = fs::path(VELOTAN_DATA_DIR) / "velotan.desktop";
    const std::string text = ReadBytes(entry);
    EXPECT_NE(text.find("\nName=青岚心情加密器\n"), std::string::npos);
    EXPECT_NE(text.find("\nCategories=Utility;Security;\n"), std::string::npos);
    if (!fs::exists(kValidator))
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    EXPECT_EQ(Validate(entry), "");
}

}  // namespace
}  // namespace velotan::platform
