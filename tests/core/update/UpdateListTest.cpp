#include "update/UpdateList.h"

#include <gtest/gtest.h>

#include <string>

#include "common/FifoGuard.h"
#include "common/TempDir.h"
#include "update/UpdateServer.h"

namespace velotan::update {
namespace {

std::string Number(std::u16string_view text) {
    const LeadingNumber n = ReadLeadingNumber(text);
    if (!n.found)
        return "none";
    return (n.integer.empty() ? "0" : n.integer) + (n.fraction.empty() ? "" : "." + n.fraction);
}

TEST(LeadingNumberTest, ReadsDigitsWithOneDecimalPointLeniently) {
    EXPECT_EQ(Number(u"1.1.47"), "1.1");  // the revision is never compared
    EXPECT_EQ(Number(u"1.2"), "1.2");
    EXPECT_EQ(Number(u" \t1 .\n2x"), "1.2");  // blanks, tabs, line feeds anywhere
    EXPECT_EQ(Number(u"12abc"), "12");
    EXPECT_EQ(Number(u"007.50"), "7.5");
    EXPECT_EQ(Number(u".5"), "0.5");
    EXPECT_EQ(Number(u"1.2e3"), "1.2");
    EXPECT_EQ(Number(u"1\r2"), "1");  // a carriage return is not skipped
    EXPECT_EQ(Number(u"abc"), "none");
    EXPECT_EQ(Number(u"<html>1.2"), "none");
    EXPECT_EQ(Number(u""), "none");
    EXPECT_EQ(Number(u"."), "none");
    EXPECT_EQ(Number(u"-1.2"), "none");
    EXPECT_EQ(Number(u"１.２"), "none");  // full-width digits are not digits
}

// The version as the list writes it, which the installer's signature names.
TEST(LeadingNumberTest, KeepsTheNumberAsWritten) {
    const std::pair<std::u16string_view, std::string> cases[] = {
        {u"1.2", "1.2"},        {u"1.20x", "1.20"}, {u"007.50", "007.50"}, {u" \t1 .\n2x", "1.2"},
        {u"1.25<img>", "1.25"}, {u".5", ".5"},      {u"1.1.47", "1.1"},    {u"abc", ""},
    };
    for (const auto& [text, written] : cases)
        EXPECT_EQ(ReadLeadingNumber(text).written, written) << written;
}

TEST(LeadingNumberTest, ComparesAsDecimalNumbers) {
    auto cmp = [](std::u16string_view a, std::u16string_view b) {
        const int c = CompareNumbers(ReadLeadingNumber(a), ReadLeadingNumber(b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    };
    EXPECT_EQ(cmp(u"1.1", u"1.2"), -1);
    EXPECT_EQ(cmp(u"1.10", u"1.1"), 0);
    EXPECT_EQ(cmp(u"1.05", u"1.1"), -1);
    EXPECT_EQ(cmp(u"9.9", u"10"), -1);
    EXPECT_EQ(cmp(u"1.25", u"1.2"), 1);
    EXPECT_EQ(cmp(u"abc", u"0"), 0);
    EXPECT_EQ(cmp(u"0.0", u""), 0);
    // Exact at any length, where a double would call them equal.
    EXPECT_EQ(cmp(u"1.00000000000000000000001", u"1"), 1);
    EXPECT_EQ(cmp(u"123456789012345678901234567890", u"123456789012345678901234567891"), -1);
}

TEST(VersionDecisionTest, OfferedOnlyForAHigherListVersion) {
    EXPECT_TRUE(IsNewerVersion(u"1.1.47", u"1.2"));
    EXPECT_FALSE(IsNewerVersion(u"1.1.47", u"1.1"));
    EXPECT_FALSE(IsNewerVersion(u"1.1.47", u"1.05"));
    EXPECT_FALSE(IsNewerVersion(u"1.1.47", u"1.10"));
    EXPECT_TRUE(IsNewerVersion(u"1.1.47", u"1.25"));
    EXPECT_FALSE(IsNewerVersion(u"1.1.47", u"<html>404</html>"));
    EXPECT_FALSE(IsNewerVersion(u"1.1.47", u""));
}

TEST(JoinListTextTest, JoinsAllLinesWithNothingBetween) {
    EXPECT_EQ(JoinListText("1.2\r\n5\r\n"), u"1.25");
    EXPECT_EQ(JoinListText("1.2\n5"), u"1.25");
    EXPECT_EQ(JoinListText("1.2\r5\r\n\r\nnotes"), u"1.25notes");
    EXPECT_EQ(JoinListText(""), u"");
    EXPECT_EQ(JoinListText("\r\n\r\n"), u"");
    // Code page 936: 升级 is C9 FD BC B6.
    EXPECT_EQ(JoinListText("1.3\r\n\xC9\xFD\xBC\xB6\r\n"), u"1.3升级");
    // A lead byte cut off by a line end stays in its line.
    EXPECT_EQ(JoinListText("\xC9\r\n\xFD"), u"??");
}

TEST(UpdateServerTest, ReadsTheBaseUrlFromUpdateIni) {
    velotan::testing::TempDir data;
    velotan::testing::TempDir program;
    EXPECT_EQ(ReadUpdateServer(data.path(), program.path()), "");

    velotan::testing::WriteBytes(program / "update.ini",
                                 "[update]\r\nServer=https://shipped.example/\r\n");
    EXPECT_EQ(ReadUpdateServer(data.path(), program.path()), "https://shipped.example");

    velotan::testing::WriteBytes(data / "update.ini",
                                 "[Update]\r\nserver = http://own.example//\r\n");
    EXPECT_EQ(ReadUpdateServer(data.path(), program.path()), "http://own.example");

    velotan::testing::WriteBytes(data / "update.ini", "[update]\r\nServer=\r\n");
    EXPECT_EQ(ReadUpdateServer(data.path(), program.path()), "");
}

TEST(UpdateServerTest, ANamedPipeInTheDataFolderIsNoFileOfTheUsers) {
    velotan::testing::TempDir data;
    velotan::testing::TempDir program;
    velotan::testing::WriteBytes(program / "update.ini",
                                 "[update]\r\nServer=https://shipped.example\r\n");
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(data / "update.ini"));
    // As without a file of the user's: the shipped server, and no wait.
    EXPECT_EQ(ReadUpdateServer(data.path(), program.path()), "https://shipped.example");
    EXPECT_FALSE(pipes.Stop()) << "a reader waited for a writer on a named pipe";
}

TEST(UpdateServerTest, ShippedFileNamesAnHttpsServer) {
    const std::filesystem::path data = VELOTAN_DATA_DIR;
    const std::string bytes = velotan::testing::ReadBytes(data / "update.ini");
    EXPECT_EQ(bytes.find('\n'), bytes.find("\r\n") + 1);  // CR LF
    EXPECT_EQ(ReadUpdateServer(data, data).rfind("https://", 0), 0u);
}

}  // namespace
}  // namespace velotan::update
