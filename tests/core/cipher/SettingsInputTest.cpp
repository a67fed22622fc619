// The check behind the settings window's relocation prompt.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cipher/SettingsInput.h"
#include "common/TempDir.h"

namespace velotan::windows {
namespace {

namespace fs = std::filesystem;

class CheckKeyStoreRootTest : public ::testing::Test {
  protected:
    velotan::testing::TempDir temp_;
    platform::DriveMap noDrives_;
};

TEST_F(CheckKeyStoreRootTest, ASingleLetterFromDToZIsADriveMountedOrNot) {
    EXPECT_EQ(CheckKeyStoreRoot(u"E", noDrives_), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(u"g", noDrives_), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(u"D", noDrives_), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(u"z", noDrives_), RootCheck::Ok);
    // The drive map never hands out A, B or C: keys kept there are lost.
    for (const std::u16string letter : {u"A", u"B", u"C", u"a", u"b", u"c"})
        EXPECT_EQ(CheckKeyStoreRoot(letter, noDrives_), RootCheck::NoSuchDrive);
    const platform::DriveMap withC({{'C', temp_.path()}});
    EXPECT_EQ(CheckKeyStoreRoot(u"C", withC), RootCheck::NoSuchDrive);
    EXPECT_EQ(CheckKeyStoreRoot(u"1", noDrives_), RootCheck::NoSuchFolder);
    EXPECT_EQ(CheckKeyStoreRoot(u"\\", noDrives_), RootCheck::NoSuchFolder);
    EXPECT_EQ(CheckKeyStoreRoot(u"中", noDrives_), RootCheck::NoSuchFolder);
}

TEST_F(CheckKeyStoreRootTest, LongerAnswersMustNameAnExistingAbsoluteFolder) {
    const fs::path folder = temp_.path() / "keys";
    fs::create_directories(folder);
    const std::u16string text = folder.u16string();
    EXPECT_EQ(CheckKeyStoreRoot(text, noDrives_), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(text + u"/", noDrives_), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(text + u"/missing", noDrives_), RootCheck::NoSuchFolder);

    velotan::testing::WriteBytes(temp_.path() / "plain", "x");
    EXPECT_EQ(CheckKeyStoreRoot((temp_.path() / "plain").u16string(), noDrives_),
              RootCheck::NoSuchFolder);
    // Relative to whatever folder the program happens to start in: refused.
    EXPECT_EQ(CheckKeyStoreRoot(u"..", noDrives_), RootCheck::NoSuchFolder);
    EXPECT_EQ(CheckKeyStoreRoot(u"C:\\A", noDrives_), RootCheck::NoSuchFolder);
}

TEST_F(CheckKeyStoreRootTest, DriveLetterPathsLandOnTheirMedium) {
    fs::create_directories(temp_.path() / "stick" / "A");
    const platform::DriveMap drives({{'F', temp_.path() / "stick"}});
    EXPECT_EQ(CheckKeyStoreRoot(u"F:\\A", drives), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(u"F:", drives), RootCheck::Ok);
    EXPECT_EQ(CheckKeyStoreRoot(u"F:\\B", drives), RootCheck::NoSuchFolder);
    EXPECT_EQ(CheckKeyStoreRoot(u"G:\\A", drives), RootCheck::NoSuchFolder);
}

TEST_F(CheckKeyStoreRootTest, WhatSettingsIniCannotKeepIsRefused) {
    // 127 bytes come back from the INI reader; one more would be cut off.
    const std::u16string ascii127 = u"/" + std::u16string(126, u'a');
    EXPECT_EQ(CheckKeyStoreRoot(ascii127, noDrives_), RootCheck::NoSuchFolder);
    EXPECT_EQ(CheckKeyStoreRoot(ascii127 + u"a", noDrives_), RootCheck::TooLong);
    // Chinese characters take two bytes each.
    EXPECT_EQ(CheckKeyStoreRoot(u"/" + std::u16string(64, u'密'), noDrives_), RootCheck::TooLong);
    EXPECT_EQ(CheckKeyStoreRoot(u"/" + std::u16string(63, u'密'), noDrives_),
              RootCheck::NoSuchFolder);
    // Code page 936 has no emoji and no euro sign; the file would hold "?".
    EXPECT_EQ(CheckKeyStoreRoot(u"/tmp/\U0001F600", noDrives_), RootCheck::Unrepresentable);
    EXPECT_EQ(CheckKeyStoreRoot(u"/tmp/\u20AC", noDrives_), RootCheck::Unrepresentable);
}

}  // namespace
}  // namespace velotan::windows
