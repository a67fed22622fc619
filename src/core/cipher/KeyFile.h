#pragma once
// chat.mx: one line "<first>UGA<second>" in decimal. Read tolerantly: the last
// valid line wins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velotan::cipher {

inline constexpr const char* kKeyFileName = "chat.mx";

struct KeyPair {
    int16_t first = 0;
    int16_t second = 0;
    bool operator==(const KeyPair&) const = default;
};

std::u16string ComposeKeyLine(int16_t first, int16_t second);

struct KeyFileScan {
    std::optional<KeyPair> keys;  // from the last valid line
    int skippedLines = 0;         // non-empty lines that are no key line
};

KeyFileScan ParseKeyFile(const std::vector<std::u16string>& lines);

}  // namespace velotan::cipher
