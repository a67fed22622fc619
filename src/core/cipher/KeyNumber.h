#pragma once
// Key numbers as the program reads them, in the three places it meets them.
// One reader; what differs between the places is the form a key may take.

#include <cstdint>
#include <optional>
#include <string_view>

namespace velotan::cipher {

enum class KeyForm {
    // A key in the key file (and in velotan-cli's --keys): blanks around it,
    // an optional sign and digits, any 16-bit value.
    KeyFile,
    // A key typed into the settings window's import prompts: digits only,
    // from 1 to 255 as the prompts promise; blanks around it, the ideographic
    // space of a Chinese input method included.
    Imported,
    // A sender's key typed into the decode window: any decimal number,
    // rounded half to even, that fits 16 bits.
    SendersKey,
};

// nullopt when `text` is no key of that form.
std::optional<int16_t> ParseKeyNumber(std::u16string_view text, KeyForm form);

}  // namespace velotan::cipher
