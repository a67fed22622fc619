#include "KeyFile.h"

#include <string>

#include "Cipher.h"
#include "KeyNumber.h"
#include "NumberText.h"

namespace velotan::cipher {

std::u16string ComposeKeyLine(int16_t first, int16_t second) {
    auto dec = [](int v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
    };
    return dec(first) + std::u16string(kTableSeparator) + dec(second);
}

KeyFileScan ParseKeyFile(const std::vector<std::u16string>& lines) {
    KeyFileScan scan;
    for (const auto& line : lines) {
        if (TrimBlanks(line, Blanks::SpaceTab).empty())
            continue;
        size_t sep = line.find(kTableSeparator);
        std::optional<int16_t> first, second;
        if (sep != std::u16string::npos) {
            const std::u16string_view text(line);
            first = ParseKeyNumber(text.substr(0, sep), KeyForm::KeyFile);
            second = ParseKeyNumber(text.substr(sep + kTableSeparator.size()), KeyForm::KeyFile);
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
