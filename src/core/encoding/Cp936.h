#pragma once
// Conversion between the in-memory UTF-16 text and the ANSI code page 936
// (GBK), which every file and every character code of the program uses.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velotan::encoding {

// The replacement for anything code page 936 cannot carry.
inline constexpr char16_t kReplacement = u'?';

// Text to code page 936 bytes. A character that the code page cannot represent
// becomes "?"; so does one that would need a single byte above 127 (0x80, the
// euro sign), which has no defined place in the program's formats.
std::string ToCp936(std::u16string_view text);

// Code page 936 bytes to text. Each byte below 0x80 is one character; a lead
// byte 0x81..0xFE forms one character with the byte after it. A pair that is
// not a valid character, a lone 0x80 or 0xFF, or a lead byte at the very end
// gives one "?".
std::u16string FromCp936(std::string_view bytes);

// The character a lead and a trail byte form, or "?" when they form none.
// The same result FromCp936 gives for the pair, from a table.
char16_t DecodePair(unsigned char lead, unsigned char trail);

// Signed 16-bit ANSI value of every UTF-16 unit of `text`, one per unit:
// 0..127 for ASCII, lead * 256 + trail (negative) for a double-byte character,
// 63 for anything the code page cannot represent.
std::vector<int16_t> AnsiValues(std::u16string_view text);

// Convenience for UTF-8 boundaries (terminal, tests). Invalid UTF-8 yields
// nothing: the caller decides what to say.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);
// The same for texts that are shown whatever they hold (paths, system
// messages): every byte that starts no valid sequence becomes U+FFFD.
std::u16string Utf8ToUtf16Lossy(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace velotan::encoding
