#pragma once
// The text cipher. Each character becomes its code (ASCII value, or the
// zone-position code of a double-byte character) plus a random offset of 1 to
// 26; the code table carries offset * first key + second key. Both texts are
// written with ten symbols in place of the digits, joined by "UUA" and "UGA".

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velotan::cipher {

// The element counter of the format is a 16-bit integer.
inline constexpr size_t kMaxPlainLength = 32767;

inline constexpr std::u16string_view kCipherSeparator = u"UUA";
inline constexpr std::u16string_view kTableSeparator = u"UGA";

struct CipherPair {
    std::u16string cipherText;
    std::u16string codeTable;
};

// Draws one offset from 1 to 26.
using OffsetSource = std::function<int()>;

// The code of one character from its signed 16-bit ANSI value.
int CharacterCode(int16_t ansiValue);

// Digits to symbols and back; anything else passes through.
char16_t DigitSymbol(char16_t digit);
std::u16string SymbolsToDigits(std::u16string_view text);

// Encrypts `plain`, one element per UTF-16 unit. nullopt when the text is
// longer than kMaxPlainLength: it could not be encrypted correctly.
std::optional<CipherPair> Encrypt(std::u16string_view plain, int16_t firstKey, int16_t secondKey,
                                  const OffsetSource& offsets);

// Characters of a text that code page 936 cannot carry (an emoji, a Hangul
// syllable, the euro sign): encrypted, each comes back as "?".
struct UnsupportedScan {
    // Distinct characters in the order of their first appearance, at most
    // the limit; an emoji is one character (both its UTF-16 units).
    std::vector<std::u16string> characters;
    bool more = false;  // the text holds others beyond them
};

UnsupportedScan FindUnsupportedCharacters(std::u16string_view text, size_t limit);

// The characters as the question before encrypting lists them: separated by
// blanks, with "等" behind them when the text holds more.
std::u16string UnsupportedList(const UnsupportedScan& scan);

// Decrypts every cipher element that is followed by a separator (the last one,
// the sentinel's, is never decoded). Cipher elements without a code-table
// element decode with an offset of 0, as they do with a first key of 0.
// Symbol restoration is not part of this step.
std::u16string Decrypt(std::u16string_view cipherText, std::u16string_view codeTable,
                       int16_t firstKey, int16_t secondKey);

// True when the keys are the ones the code table was made with: every element
// e, the last one too unless it is blank, gives an offset (e - secondKey) /
// firstKey that is a whole number from 1 to 26, before any rounding. Wrong
// keys almost never do; near keys that happen to round to the right text
// (12 and 8 for a text made with 12 and 7) do not pass either, since nothing
// tells them from wrong ones. A first key of 0 and a table without any
// element never pass.
bool KeysFitCodeTable(std::u16string_view codeTable, int16_t firstKey, int16_t secondKey);

}  // namespace velotan::cipher
