#include "UpdateList.h"

#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

namespace velotan::update {

LeadingNumber ReadLeadingNumber(std::u16string_view text) {
    LeadingNumber number;
    bool inFraction = false;
    for (char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if (c >= u'0' && c <= u'9') {
            number.found = true;
            number.written.push_back(static_cast<char>(c));
            std::string& part = inFraction ? number.fraction : number.integer;
            if (!inFraction && part.empty() && c == u'0')
                continue;  // leading zeros say nothing
            part.push_back(static_cast<char>(c));
            continue;
        }
        if (c == u'.' && !inFraction) {
            inFraction = true;
            number.written.push_back('.');
            continue;
        }
        break;
    }
    while (!number.fraction.empty() && number.fraction.back() == '0')
        number.fraction.pop_back();
    return number;
}

int CompareNumbers(const LeadingNumber& a, const LeadingNumber& b) {
    if (a.integer.size() != b.integer.size())
        return a.integer.size() < b.integer.size() ? -1 : 1;
    if (int c = a.integer.compare(b.integer); c != 0)
        return c;
    // Without trailing zeros, the fractions compare digit by digit.
    return a.fraction.compare(b.fraction);
}

bool IsNewerVersion(std::u16string_view installedText, std::u16string_view listText) {
    return CompareNumbers(ReadLeadingNumber(installedText), ReadLeadingNumber(listText)) < 0;
}

std::u16string JoinListText(std::string_view fileBytes) {
    std::u16string joined;
    for (const auto& line : platform::SplitLines(fileBytes))
        joined += encoding::FromCp936(line);
    return joined;
}

}  // namespace velotan::update
