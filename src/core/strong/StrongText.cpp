#include "strong/StrongText.h"

#include <cstdint>

namespace velotan::strong {

size_t BlankLength(std::string_view text, size_t pos) {
    if (pos >= text.size())
        return 0;
    const auto byte = [&](size_t i) {
        return pos + i < text.size() ? static_cast<uint8_t>(text[pos + i]) : 0;
    };
    const uint8_t b0 = byte(0);
    switch (b0) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            return 1;
        case 0xC2:  // U+00A0 NBSP, U+00AD soft hyphen
            return byte(1) == 0xA0 || byte(1) == 0xAD ? 2 : 0;
        case 0xE2:
            if (byte(1) == 0x80) {
                const uint8_t b2 = byte(2);
                // U+2000..U+200D: spaces and zero-width characters; U+2028,
                // U+2029: line and paragraph separators; U+202F: narrow NBSP.
                if ((b2 >= 0x80 && b2 <= 0x8D) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF)
                    return 3;
            } else if (byte(1) == 0x81) {
                // U+205F medium mathematical space, U+2060 word joiner.
                if (byte(2) == 0x9F || byte(2) == 0xA0)
                    return 3;
            }
            return 0;
        case 0xE3:  // U+3000 ideographic space
            return byte(1) == 0x80 && byte(2) == 0x80 ? 3 : 0;
        case 0xEF:  // U+FEFF zero-width no-break space
            return byte(1) == 0xBB && byte(2) == 0xBF ? 3 : 0;
        default:
            return 0;
    }
}

size_t SkipBlanks(std::string_view text, size_t pos) {
    while (const size_t n = BlankLength(text, pos))
        pos += n;
    return pos;
}

bool IsBase64UrlChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const uint8_t b0 = static_cast<uint8_t>(text[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (size_t k = 1; k < len; ++k) {
            const uint8_t b = static_cast<uint8_t>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string Base64UrlRun(std::string_view text, size_t pos) {
    std::string run;
    for (;;) {
        pos = SkipBlanks(text, pos);
        const size_t start = pos;
        while (pos < text.size() && IsBase64UrlChar(text[pos]))
            ++pos;
        if (pos == start)
            return run;
        run.append(text.substr(start, pos - start));
    }
}

size_t ColonLength(std::string_view text, size_t pos) {
    if (pos >= text.size())
        return 0;
    if (text[pos] == ':')
        return 1;
    if (text.substr(pos, 3) == "\xEF\xBC\x9A")  // U+FF1A full-width colon
        return 3;
    return 0;
}

}  // namespace velotan::strong
