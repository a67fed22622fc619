#include "Cp936.h"

#include <array>
#include <memory>

#include "Cp936Table.h"

namespace velotan::encoding {
namespace {

bool IsLeadByte(unsigned char b) {
    return b >= kCp936FirstLead && b <= kCp936LastLead;
}

// The signed 16-bit ANSI value of every UTF-16 unit, the inverse of the pair
// table: 0..127 for ASCII, lead * 256 + trail for a pair, "?" for the rest.
// Surrogates stay "?": alone no unit of a pair fits the code page, and the
// euro sign would be the single byte 0x80, which has no place in the
// program's formats.
const std::array<int16_t, 0x10000>& UnitValues() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<int16_t, 0x10000>>();
        t->fill(static_cast<int16_t>(kReplacement));
        for (int c = 0; c < 0x80; ++c) {
            (*t)[static_cast<size_t>(c)] = static_cast<int16_t>(c);
        }
        for (int lead = kCp936FirstLead; lead <= kCp936LastLead; ++lead) {
            for (int trail = kCp936FirstTrail; trail <= kCp936LastTrail; ++trail) {
                const char16_t c = kCp936Pairs[lead - kCp936FirstLead][trail - kCp936FirstTrail];
                if (c != 0) {
                    (*t)[c] = static_cast<int16_t>(static_cast<uint16_t>(lead << 8 | trail));
                }
            }
        }
        return t;
    }();
    return *table;
}

}  // namespace

std::string ToCp936(std::u16string_view text) {
    const auto& values = UnitValues();
    std::string out(text.size() * 2, '\0');
    char* o = out.data();
    for (char16_t c : text) {
        const auto v = static_cast<uint16_t>(values[c]);
        if (v < 0x80) {
            *o++ = static_cast<char>(v);
        } else {
            *o++ = static_cast<char>(v >> 8);
            *o++ = static_cast<char>(v & 0xFF);
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::u16string FromCp936(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    char16_t* o = out.data();
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *o++ = b;
            ++i;
        } else if (IsLeadByte(b) && i + 1 < n) {
            // A pair that forms no character is one "?", both bytes used up.
            *o++ = DecodePair(b, static_cast<unsigned char>(bytes[i + 1]));
            i += 2;
        } else {
            // 0x80 (the euro sign), 0xFF, or a lead byte at the very end.
            *o++ = kReplacement;
            ++i;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

char16_t DecodePair(unsigned char lead, unsigned char trail) {
    if (!IsLeadByte(lead) || trail < kCp936FirstTrail || trail > kCp936LastTrail) {
        return kReplacement;
    }
    const char16_t c = kCp936Pairs[lead - kCp936FirstLead][trail - kCp936FirstTrail];
    return c != 0 ? c : kReplacement;
}

std::vector<int16_t> AnsiValues(std::u16string_view text) {
    const auto& table = UnitValues();
    std::vector<int16_t> values(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        values[i] = table[text[i]];
    }
    return values;
}

namespace {

// The code point of the UTF-8 sequence at s[i] and its length; false when no
// valid sequence starts there.
bool DecodeUtf8(std::string_view s, size_t i, char32_t& cp, size_t& n) {
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        n = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        n = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        n = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        n = 4;
    } else {
        return false;
    }
    if (i + n > s.size())
        return false;
    for (size_t k = 1; k < n; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    return cp >= kMin[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

void AppendUtf16(char32_t cp, std::u16string& out) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

}  // namespace

bool Utf8ToUtf16(std::string_view s, std::u16string& out) {
    out.clear();
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t n;
        if (!DecodeUtf8(s, i, cp, n))
            return false;
        AppendUtf16(cp, out);
        i += n;
    }
    return true;
}

std::u16string Utf8ToUtf16Lossy(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t n;
        if (DecodeUtf8(s, i, cp, n)) {
            AppendUtf16(cp, out);
            i += n;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace velotan::encoding
