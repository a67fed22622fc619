#include "Cp936.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <stdexcept>

namespace velotan::encoding {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv descriptors are costly to open and not thread-safe, so each thread
// keeps its own pair for the life of the thread.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible, appending to `out`. Returns the number
    // of input bytes consumed; `err` is 0 when everything was converted, else
    // EILSEQ or EINVAL. Output goes through a fixed buffer, so a restart after
    // a bad character costs nothing in proportion to what is left.
    template <typename Str>
    size_t Run(const char* in, size_t inLen, Str& out, int& err) {
        using Unit = typename Str::value_type;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        size_t left = inLen;
        alignas(Unit) char buf[8192];
        err = 0;
        while (left > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            const size_t rc = iconv(cd_, &src, &left, &dst, &dstLeft);
            const int saved = errno;
            out.append(reinterpret_cast<const Unit*>(buf), (sizeof buf - dstLeft) / sizeof(Unit));
            if (rc == static_cast<size_t>(-1) && saved != E2BIG) {
                err = saved;
                break;
            }
        }
        return inLen - left;
    }

  private:
    iconv_t cd_;
};

Converter& ToAnsi() {
    thread_local Converter c("CP936", kUtf16);
    return c;
}

Converter& FromAnsi() {
    thread_local Converter c(kUtf16, "CP936");
    return c;
}

bool IsLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace

std::string ToCp936(std::u16string_view text) {
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
        return std::string(text.begin(), text.end());
    }
    std::string out;
    out.reserve(text.size() * 2);
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t len = text.size() * sizeof(char16_t);
    size_t pos = 0;
    while (pos < len) {
        int err = 0;
        pos += ToAnsi().Run(in + pos, len - pos, out, err);
        if (err == 0)
            break;
        // One unit that the code page cannot carry (or a broken surrogate).
        out.push_back('?');
        pos += sizeof(char16_t);
    }
    // 0x80 (and 0xFF) would be single bytes above 127; they have no place in
    // the program's formats. 0xFF is never part of a pair; 0x80 may be a
    // trail byte, so only a text that holds one needs the walk.
    std::replace(out.begin(), out.end(), '\xFF', '?');
    if (out.find('\x80') == std::string::npos) {
        return out;
    }
    for (size_t i = 0; i < out.size();) {
        auto b = static_cast<unsigned char>(out[i]);
        if (b < 0x80) {
            ++i;
        } else if (IsLeadByte(b) && i + 1 < out.size()) {
            i += 2;
        } else {
            out[i] = '?';
            ++i;
        }
    }
    return out;
}

std::u16string FromCp936(std::string_view bytes) {
    // Plain ASCII, the common case for keys and short values, needs no iconv.
    if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return (b & 0x80) == 0; })) {
        return std::u16string(bytes.begin(), bytes.end());
    }
    std::u16string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos < bytes.size()) {
        int err = 0;
        pos += FromAnsi().Run(bytes.data() + pos, bytes.size() - pos, out, err);
        if (err == 0)
            break;
        auto b = static_cast<unsigned char>(bytes[pos]);
        out.push_back(kReplacement);
        pos += (IsLeadByte(b) && pos + 1 < bytes.size()) ? 2 : 1;
    }
    // 0x80 decodes to the euro sign; it is not a character of the program.
    for (char16_t& c : out) {
        if (c == u'\u20AC')
            c = kReplacement;
    }
    return out;
}

char16_t DecodePair(unsigned char lead, unsigned char trail) {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000, kReplacement);
        for (int l = 0x81; l <= 0xFE; ++l) {
            for (int r = 0x40; r <= 0xFE; ++r) {
                const char pair[2] = {static_cast<char>(l), static_cast<char>(r)};
                const std::u16string c = FromCp936(std::string_view(pair, 2));
                if (c.size() == 1) {
                    t[static_cast<size_t>(l << 8 | r)] = c[0];
                }
            }
        }
        return t;
    }();
    return table[static_cast<size_t>(lead << 8 | trail)];
}

std::vector<int16_t> AnsiValues(std::u16string_view text) {
    // The value of every UTF-16 unit, worked out once through the same
    // conversion as ToCp936; the cipher then needs one lookup per character.
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> t(0x10000, static_cast<int16_t>('?'));
        std::string bytes;
        // One unit at a time: a failed conversion of a long text costs far
        // more than many short ones. Surrogates stay "?": alone no unit of a
        // pair fits the code page.
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                continue;
            }
            const auto unit = static_cast<char16_t>(c);
            bytes = ToCp936(std::u16string_view(&unit, 1));
            if (bytes.size() == 1) {
                t[c] = static_cast<int16_t>(static_cast<unsigned char>(bytes[0]));
            } else if (bytes.size() == 2) {
                t[c] = static_cast<int16_t>(
                    static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                          static_cast<unsigned char>(bytes[1])));
            }
        }
        return t;
    }();
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
