#include "KeyFile.h"

#include <string>

#include "Cipher.h"

namespace velotan::cipher {

std::u16string ComposeKeyLine(int16_t first, int16_t second) {
    auto dec = [](int v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
    };
    return dec(first) + std::u16string(kTableSeparator) + dec(second);
}

std::optional<int16_t> ParseKeyNumber(std::u16string_view text) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    long v = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    if (negative)
        v = -v;
    if (v < -32768 || v > 32767)
        return std::nullopt;
    return static_cast<int16_t>(v);
}

KeyFileScan ParseKeyFile(const std::vector<std::u16string>& lines) {
    KeyFileScan scan;
    for (const auto& line : lines) {
        if (line.find_first_not_of(u" \t") == std::u16string::npos)
            continue;
        size_t sep = line.find(kTableSeparator);
        std::optional<int16_t> first, second;
        if (sep != std::u16string::npos) {
            first = ParseKeyNumber(std::u16string_view(line).substr(0, sep));
            second = ParseKeyNumber(std::u16string_view(line).substr(sep + kTableSeparator.size()));
        }
        if (first && second) {
            scan.keys = KeyPair{*first, *second};
        } else {
            ++scan.skippedLines;
        }
    }
    return scan;
}

}  // namespace velotan::cipher
