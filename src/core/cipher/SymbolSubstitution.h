#pragma once
// Chinese punctuation cannot pass through the cipher (its codes are misread
// on the way back), so twenty marks are swapped for ASCII placeholders before
// encryption and swapped back afterwards. Which placeholder stands for which
// mark comes from symbolhandle.ini in the program folder.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace velotan::cipher {

inline constexpr const char* kSymbolFileName = "symbolhandle.ini";

// The marks in the order they are processed.
inline constexpr std::array<std::u16string_view, 20> kMarks = {
    u"\u201C", u"\u201D",       u"\u3010", u"\uFF01", u"\uFFE5", u"\u2026\u2026", u"\uFF08",
    u"\uFF09", u"\u2014\u2014", u"\u3001", u"\u3002", u"\uFF0C", u"\u300A",       u"\u300B",
    u"\uFF1B", u"\uFF1A",       u"\u2018", u"\u2019", u"\u3011", u"\uFF1F"};

// The placeholders in the order they are processed.
inline constexpr std::array<std::u16string_view, 20> kPlaceholders = {
    u"{$01,$01}", u"{$01,$02}", u"{$01,$03}", u"{$01,$04}", u"{$01,$05}",
    u"{$01,$06}", u"{$01,$07}", u"{$01,$08}", u"{$01,$09}", u"{$02,$01}",
    u"{$02,$02}", u"{$02,$03}", u"{$02,$04}", u"{$02,$05}", u"{$02,$06}",
    u"{$02,$07}", u"{$02,$08}", u"{$02,$09}", u"{$03,$01}", u"{$03,$02}"};

// The substituted text never grows beyond this many characters for each
// character of the input; a file that would make it grow further changes
// nothing, as an unreadable one does.
inline constexpr size_t kMaxSubstitutionGrowth = 127;

// Every occurrence of `from`, left to right without overlap, replaced by `to`.
void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to);

// Marks to placeholders, as the file's [symbol] section says. Substitution k
// runs only when the file has at least k lines; a missing or unreadable file
// changes nothing.
std::u16string ReplaceSymbols(std::u16string text, const std::filesystem::path& symbolFile);

// Placeholders back to marks, as the file's [code] section says; the same
// line-count rule applies.
std::u16string RestoreSymbols(std::u16string text, const std::filesystem::path& symbolFile);

// The same two from the bytes of a symbolhandle.ini, for the web page, which
// carries the shipped file in itself.
std::u16string ReplaceSymbolsFromBytes(std::u16string text, std::string_view symbolFileBytes);
std::u16string RestoreSymbolsFromBytes(std::u16string text, std::string_view symbolFileBytes);

}  // namespace velotan::cipher
