// The manual page velotan-cli(1) and `velotan-cli --help` describe the same
// commands and options: a new option lands in both or the test fails.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "common/ChildProcess.h"

namespace {

// Every "--option" in a text, and every command named after "velotan-cli" in
// its synopsis. Markup of the page's source (*bold*, _underline_, \[) is
// removed first.
struct Names {
    std::set<std::string> commands;
    std::set<std::string> options;
};

std::string Unmarked(std::string text) {
    std::erase_if(text, [](char c) { return c == '*' || c == '_' || c == '\\'; });
    return text;
}

Names NamesIn(const std::string& marked, const std::string& markedSynopsis) {
    const std::string text = Unmarked(marked);
    const std::string synopsis = Unmarked(markedSynopsis);
    Names names;
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z0-9-]*))");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        names.options.insert((*it)[2]);
    static const std::regex command(R"(velotan-cli[ \t]+([a-z][a-z0-9-]*))");
    for (std::sregex_iterator it(synopsis.begin(), synopsis.end(), command), end; it != end; ++it)
        names.commands.insert((*it)[1]);
    return names;
}

// The help's usage lines: up to the first empty line.
std::string UsageOf(const std::string& help) {
    return help.substr(0, help.find("\n\n"));
}

// The page's SYNOPSIS section, up to the next heading.
std::string SynopsisOf(const std::string& page) {
    const size_t begin = page.find("# SYNOPSIS");
    if (begin == std::string::npos)
        return {};
    return page.substr(begin, page.find("\n# ", begin + 1) - begin);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ManPageTest, ListsTheCommandsAndOptionsOfTheHelp) {
    const auto help = velotan::testing::RunProgram({VELOTAN_CLI, "--help"}, "");
    ASSERT_EQ(help.exitCode, 0) << help.err;
    const std::string page = ReadText(VELOTAN_SOURCE_DIR "/docs/man/velotan-cli.1.scd");
    ASSERT_FALSE(page.empty());

    Names fromHelp = NamesIn(help.out, UsageOf(help.out));
    const Names fromPage = NamesIn(page, SynopsisOf(page));
    // The help does not name itself; the page does.
    fromHelp.options.insert("--help");
    ASSERT_FALSE(fromHelp.commands.empty());
    EXPECT_EQ(fromPage.commands, fromHelp.commands);
    EXPECT_EQ(fromPage.options, fromHelp.options);
}

TEST(ManPageTest, NamesAreFoundInBothMarkups) {
    const std::string text =
        "usage: velotan-cli encrypt [--share] [--qr FILE]\n*velotan-cli* decrypt \\[*--keys* _K_]\n"
        "\n*velotan-cli* encrypts a-b--c and --x- --y\n";
    const Names names = NamesIn(text, UsageOf(text));
    EXPECT_EQ(names.commands, (std::set<std::string>{"encrypt", "decrypt"}));
    EXPECT_EQ(names.options, (std::set<std::string>{"--share", "--qr", "--keys", "--x-", "--y"}));
}

}  // namespace
