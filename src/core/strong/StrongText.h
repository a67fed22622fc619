#pragma once
// Reading helpers shared by key texts and posts, on UTF-8 bytes: what counts
// as a blank where chat and mail programs wrap lines, the base64url alphabet,
// and UTF-8 validity.

#include <cstddef>
#include <string>
#include <string_view>

namespace velotan::strong {

// The byte length of the blank at `pos`, 0 when there is none. Blanks are the
// ASCII spaces and line breaks, NBSP, the other Unicode spaces and line
// separators, U+3000, the soft hyphen and the zero-width characters (U+200B
// to U+200D, U+2060, U+FEFF).
size_t BlankLength(std::string_view text, size_t pos);

// The same position moved past any blanks.
size_t SkipBlanks(std::string_view text, size_t pos);

// A-Z, a-z, 0-9, '-' and '_'.
bool IsBase64UrlChar(char c);

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The run of base64url characters from `pos`, blanks between them dropped;
// it ends at the first character that is neither. Linear in its length.
std::string Base64UrlRun(std::string_view text, size_t pos);

// A half- or full-width colon at `pos`: its byte length, else 0.
size_t ColonLength(std::string_view text, size_t pos);

}  // namespace velotan::strong
