#pragma once
// Reading the version list update.lst: its lines joined into one text, and
// the version number at the start of a text read the lenient way. Pure
// functions, so that any bytes a server sends can be thrown at them.

#include <string>
#include <string_view>

namespace velotan::update {

// The number at the start of a text, as decimal digits. Blanks, tabs and line
// feeds anywhere are skipped; digits with at most one decimal point are
// taken; reading stops at the first other character. Kept as text so that
// any length compares exactly ("1.10" equals "1.1").
struct LeadingNumber {
    std::string integer;   // without leading zeros; empty for 0
    std::string fraction;  // without trailing zeros; empty for none
    bool found = false;    // at least one digit was read
    // The digits and the point as the text writes them, blanks left out and
    // zeros kept: what a publisher names the version by ("1.10", "1.2").
    std::string written;
};

LeadingNumber ReadLeadingNumber(std::u16string_view text);

// <0, 0 or >0 as a is less than, equal to or greater than b.
int CompareNumbers(const LeadingNumber& a, const LeadingNumber& b);

// True when the list's leading number is greater than the installed one
// (a text without a leading number counts as 0).
bool IsNewerVersion(std::u16string_view installedText, std::u16string_view listText);

// All lines of the file (code page 936, any line ends) joined with nothing
// between them.
std::u16string JoinListText(std::string_view fileBytes);

}  // namespace velotan::update
