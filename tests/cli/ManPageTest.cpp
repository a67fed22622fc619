// The manual page velotan-cli(1) and `velotan-cli --help` describe the same
// commands and options: a new option lands in both or the test fails.

#include <gtest/gtest.h>

#include <fstream>
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

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The run of name characters at `pos` when it starts with a lower-case letter.
std::string NameAt(const std::string& text, size_t pos) {
    if (pos >= text.size() || text[pos] < 'a' || text[pos] > 'z')
        return {};
    size_t end = pos;
    while (end < text.size() && IsNameChar(text[end]))
        ++end;
    return text.substr(pos, end - pos);
}

// A scanner rather than std::regex: libstdc++'s regex trips GCC's
// maybe-uninitialized warning in the sanitized build.
Names NamesIn(const std::string& marked, const std::string& markedSynopsis) {
    const std::string text = Unmarked(marked);
    const std::string synopsis = Unmarked(markedSynopsis);
    Names names;
    for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        const char before = at ? text[at - 1] : ' ';
        const bool wordStart = !(IsNameChar(before) || (before >= 'A' && before <= 'Z'));
        if (const std::string name = NameAt(text, at + 2); wordStart && !name.empty())
            names.options.insert("--" + name);
    }
    const std::string program = "velotan-cli";
    for (size_t at = synopsis.find(program); at != std::string::npos;
         at = synopsis.find(program, at + 1)) {
        size_t pos = at + program.size();
        const size_t blanks = pos;
        while (pos < synopsis.size() && (synopsis[pos] == ' ' || synopsis[pos] == '\t'))
            ++pos;
        if (pos == blanks)
            continue;
        if (const std::string name = NameAt(synopsis, pos); !name.empty())
            names.commands.insert(name);
    }
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
