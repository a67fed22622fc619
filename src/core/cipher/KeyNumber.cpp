#include "KeyNumber.h"

#include "NumberText.h"

namespace velotan::cipher {

std::optional<int16_t> ParseKeyNumber(std::u16string_view text, KeyForm form) {
    if (form == KeyForm::SendersKey) {
        const auto value = WholeNumber(text);
        if (!value || *value < INT16_MIN || *value > INT16_MAX)
            return std::nullopt;
        return static_cast<int16_t>(*value);
    }
    const bool imported = form == KeyForm::Imported;
    text = TrimBlanks(text, imported ? Blanks::WithIdeographicSpace : Blanks::SpaceTab);
    bool negative = false;
    if (!imported && !text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    const int32_t highest = imported ? 255 : (negative ? -INT16_MIN : INT16_MAX);
    int32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        // Stops big numbers from overflowing, however many leading zeros
        // come before them; only the range matters.
        if (value > highest)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (imported && value < 1)
        return std::nullopt;
    return static_cast<int16_t>(value);
}

}  // namespace velotan::cipher
