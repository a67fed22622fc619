#include "Cipher.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

#include "NumberText.h"
#include "encoding/Cp936.h"

namespace velotan::cipher {
namespace {

// Digit d is written as kSymbols[d].
constexpr std::array<char16_t, 10> kSymbols = {u'|', u'~', u'!', u'@', u'}',
                                               u'$', u'%', u'^', u'{', u'*'};

// Symbol forms of 0..9999, the range nearly every element falls in.
struct SymbolTable {
    std::array<std::array<char16_t, 4>, 10000> text;
    std::array<uint8_t, 10000> length;
};

const SymbolTable& Small() {
    static const auto table = [] {
        auto t = std::make_unique<SymbolTable>();
        for (uint32_t v = 0; v < 10000; ++v) {
            // Zeroed only for GCC's -O3, which cannot see to_chars fill it.
            char buf[8] = {};
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
            (void)ec;
            t->length[v] = static_cast<uint8_t>(end - buf);
            for (int i = 0; i < end - buf; ++i) {
                t->text[v][static_cast<size_t>(i)] = kSymbols[static_cast<size_t>(buf[i] - '0')];
            }
        }
        return t;
    }();
    return *table;
}

char16_t* PutSymbols(char16_t* out, long long value) {
    if (value < 0) {
        *out++ = u'-';
        value = -value;
    }
    if (value < 10000) {
        const SymbolTable& t = Small();
        const auto& text = t.text[static_cast<size_t>(value)];
        const size_t n = t.length[static_cast<size_t>(value)];
        for (size_t i = 0; i < 4; ++i) {
            out[i] = text[i];  // the buffer has room; only n of them count
        }
        return out + n;
    }
    // Every value of the format fits 32 bits.
    auto v = static_cast<uint32_t>(value);
    char16_t buf[10];
    int n = 0;
    do {
        buf[n++] = kSymbols[v % 10];
        v /= 10;
    } while (v > 0);
    while (n > 0) {
        *out++ = buf[--n];
    }
    return out;
}

// Appends a three-letter separator.
char16_t* PutSeparator(char16_t* out, std::u16string_view sep) {
    out[0] = sep[0];
    out[1] = sep[1];
    out[2] = sep[2];
    return out + 3;
}

// Digit value of a symbol or of a digit (both forms are read), else -1.
constexpr std::array<int8_t, 128> kDigitOf = [] {
    std::array<int8_t, 128> t{};
    for (auto& v : t) {
        v = -1;
    }
    for (int d = 0; d < 10; ++d) {
        t[static_cast<size_t>('0' + d)] = static_cast<int8_t>(d);
        t[kSymbols[static_cast<size_t>(d)]] = static_cast<int8_t>(d);
    }
    return t;
}();

// Calls `fn` with the value of each element that stands in front of a
// separator: the leading number of the element once symbols are read as
// digits. What follows the last separator is not an element of its own.
template <typename Fn>
void ForEachElementValue(std::u16string_view text, std::u16string_view sep, Fn&& fn) {
    const size_t n = text.size();
    size_t start = 0;
    while (start < n) {
        // The common case: nothing but symbols up to the separator.
        // Only up to kFastDigits digits are summed up: a longer run would
        // overflow and takes the general reader anyway.
        constexpr size_t kFastDigits = 15;
        size_t i = start;
        int64_t v = 0;
        while (i < n && text[i] < 128 && kDigitOf[text[i]] >= 0) {
            if (i - start < kFastDigits) {
                v = v * 10 + kDigitOf[text[i]];
            }
            ++i;
        }
        const size_t digits = i - start;
        if (digits > 0 && digits <= kFastDigits && text.substr(i, sep.size()) == sep) {
            fn(static_cast<double>(v));
            start = i + sep.size();
            continue;
        }
        // Anything else takes the general reader.
        const size_t pos = text.find(sep, start);
        if (pos == std::u16string_view::npos) {
            return;
        }
        fn(LeadingNumber(SymbolsToDigits(text.substr(start, pos - start))));
        start = pos + sep.size();
    }
}

bool ValidTrailByte(int b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}
bool ValidLeadByte(int b) {
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace

int CharacterCode(int16_t ansiValue) {
    if (ansiValue >= 0 && ansiValue <= 127)
        return ansiValue;
    // Both parts are written with at least two digits, a negative one with
    // a leading "-"; the code is the leading number of the joined text, so a
    // negative second part ends the number where its "-" stands.
    auto u = static_cast<uint16_t>(ansiValue);
    int lead = (u >> 8) - 160;
    int trail = (u & 0xFF) - 160;
    if (trail < 0)
        return lead;
    return lead >= 0 ? lead * 100 + trail : -(-lead * 100 + trail);
}

char16_t DigitSymbol(char16_t digit) {
    return digit >= u'0' && digit <= u'9' ? kSymbols[digit - u'0'] : digit;
}

std::u16string SymbolsToDigits(std::u16string_view text) {
    static const auto table = [] {
        std::array<char16_t, 128> t{};
        for (char16_t c = 0; c < 128; ++c) {
            t[c] = c;
        }
        for (char16_t d = 0; d < 10; ++d) {
            t[kSymbols[d]] = static_cast<char16_t>(u'0' + d);
        }
        return t;
    }();
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c < 128) {
            c = table[c];
        }
    }
    return out;
}

std::u16string UnsupportedList(const UnsupportedScan& scan) {
    std::u16string list;
    for (const auto& character : scan.characters)
        list += (list.empty() ? u"" : u" ") + character;
    if (scan.more)
        list += u" 等";
    return list;
}

UnsupportedScan FindUnsupportedCharacters(std::u16string_view text, size_t limit) {
    UnsupportedScan scan;
    const std::vector<int16_t> values = encoding::AnsiValues(text);
    for (size_t i = 0; i < text.size(); ++i) {
        const int16_t value = values[i];
        const auto bytes = static_cast<uint16_t>(value);
        // Carried when the value turns back into the very same character;
        // "?" itself is carried, a "?" that stands for something else is not.
        const bool carried =
            (value >= 0 && value <= 127)
                ? value == static_cast<int16_t>(text[i])
                : encoding::DecodePair(static_cast<unsigned char>(bytes >> 8),
                                       static_cast<unsigned char>(bytes & 0xFF)) == text[i];
        if (carried)
            continue;
        size_t units = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            units = 2;
        const std::u16string character(text.substr(i, units));
        i += units - 1;
        if (std::find(scan.characters.begin(), scan.characters.end(), character) !=
            scan.characters.end())
            continue;
        if (scan.characters.size() == limit) {
            scan.more = true;
            break;
        }
        scan.characters.push_back(character);
    }
    return scan;
}

std::optional<CipherPair> Encrypt(std::u16string_view plain, int16_t firstKey, int16_t secondKey,
                                  const OffsetSource& offsets) {
    if (plain.size() > kMaxPlainLength) {
        return std::nullopt;
    }
    const std::vector<int16_t> values = encoding::AnsiValues(plain);
    // Widest elements: a code of "-3196" + offset, and 26 * -32768 - 32768,
    // each with its separator.
    // Room for the widest elements (plus slack for the four-unit copies);
    // cut to size at the end.
    CipherPair out;
    out.cipherText.resize(values.size() * 8 + 4);
    out.codeTable.resize(values.size() * 11 + 4);
    char16_t* c = out.cipherText.data();
    char16_t* t = out.codeTable.data();
    for (size_t i = 0; i < values.size(); ++i) {
        const int offset = offsets();
        // Offsets and keys are 16-bit at most, so the double is always whole
        // and exact; it is written as an integer.
        const double tableValue = static_cast<double>(offset) * firstKey + secondKey;
        if (i > 0) {
            t = PutSeparator(t, kTableSeparator);
            c = PutSeparator(c, kCipherSeparator);
        }
        t = PutSymbols(t, static_cast<long long>(tableValue));
        c = PutSymbols(c, static_cast<long long>(CharacterCode(values[i])) + offset);
    }
    out.cipherText.resize(static_cast<size_t>(c - out.cipherText.data()));
    out.codeTable.resize(static_cast<size_t>(t - out.codeTable.data()));
    return out;
}

namespace {

// Reads the lead and trail bytes from the decimal text of v, the way the
// format defines it: characters 1-2 and 3-6, each read as a whole number
// plus 160. A byte that would fall outside 0..255 keeps its old value.
void SplitIntoBytes(double v, int& lead, int& trail) {
    auto setIf = [](int& byte, std::optional<int64_t> n) {
        if (n && *n + 160 >= 0 && *n + 160 <= 255) {
            byte = static_cast<int>(*n + 160);
        }
    };
    if (v == std::trunc(v) && v >= 100 && v < 1e15) {
        // Plain digits: the parts follow from the number itself.
        auto n = static_cast<uint64_t>(v);
        uint64_t scale = 1;  // 10^(digits - 2)
        int digits = 2;
        for (uint64_t x = n / 100; x > 0; x /= 10) {
            scale *= 10;
            ++digits;
        }
        setIf(lead, static_cast<int64_t>(n / scale));
        // Characters 3 to 6: the digits after the first two, at most four.
        uint64_t rest = n % scale;
        for (int d = digits; d > 6; --d) {
            rest /= 10;
        }
        setIf(trail, static_cast<int64_t>(rest));
        return;
    }
    const std::string text = DoubleText(v);
    const std::u16string t(text.begin(), text.end());
    setIf(lead, WholeNumber(std::u16string_view(t).substr(0, 2)));
    if (t.size() > 2) {
        setIf(trail, WholeNumber(std::u16string_view(t).substr(2, 4)));
    }
}

double OffsetFrom(double element, int16_t firstKey, int16_t secondKey) {
    if (firstKey == 0) {
        return 0.0;  // the division fails; the offset counts as 0
    }
    double offset = (element - secondKey) / firstKey;
    // The offset travels as decimal text; a whole one survives unchanged, a
    // fraction keeps only the digits its text form has.
    if (!(offset == std::trunc(offset) && std::fabs(offset) < 1e15)) {
        const std::string t = DoubleText(offset);
        offset = LeadingNumber(std::u16string(t.begin(), t.end()));
    }
    return offset;
}

bool OffsetFits(double element, int16_t firstKey, int16_t secondKey) {
    // Both are whole numbers far below 2^53, so a whole quotient is exact.
    const double offset = (element - secondKey) / firstKey;
    return offset == std::trunc(offset) && offset >= 1 && offset <= 26;
}

}  // namespace

bool KeysFitCodeTable(std::u16string_view codeTable, int16_t firstKey, int16_t secondKey) {
    if (firstKey == 0)
        return false;
    bool fits = true;
    size_t elements = 0;
    ForEachElementValue(codeTable, kTableSeparator, [&](double e) {
        ++elements;
        fits = fits && OffsetFits(e, firstKey, secondKey);
    });
    // The last element is not decoded, but it was made with the same keys; a
    // pasted line break after it is no element.
    const size_t last = codeTable.rfind(kTableSeparator);
    std::u16string_view tail = last == std::u16string_view::npos
                                   ? codeTable
                                   : codeTable.substr(last + kTableSeparator.size());
    while (!tail.empty() && (IsBlank(tail.back(), Blanks::WithLineFeed) || tail.back() == u'\r'))
        tail.remove_suffix(1);
    if (!TrimBlanks(tail, Blanks::WithLineFeed).empty()) {
        ++elements;
        fits = fits && OffsetFits(LeadingNumber(SymbolsToDigits(tail)), firstKey, secondKey);
    }
    return fits && elements > 0;
}

std::u16string Decrypt(std::u16string_view cipherText, std::u16string_view codeTable,
                       int16_t firstKey, int16_t secondKey) {
    std::vector<double> offsets;
    offsets.reserve(codeTable.size() / 4);
    // Table elements take few distinct values (26 offsets per key pair), so
    // each division is done once.
    constexpr size_t kMemo = 4096;
    std::vector<double> memo(kMemo, std::nan(""));
    ForEachElementValue(codeTable, kTableSeparator, [&](double e) {
        if (!(e >= 0 && e < kMemo && e == std::trunc(e))) {
            offsets.push_back(OffsetFrom(e, firstKey, secondKey));
            return;
        }
        double& known = memo[static_cast<size_t>(e)];
        if (std::isnan(known)) {
            known = OffsetFrom(e, firstKey, secondKey);  // never NaN itself
        }
        offsets.push_back(known);
    });

    std::u16string plain;
    plain.reserve(cipherText.size() / 4);
    // Bytes that cannot be set keep the value they had for the previous
    // character of this call.
    int lead = 0;
    int trail = 0;
    size_t i = 0;
    ForEachElementValue(cipherText, kCipherSeparator, [&](double e) {
        const double offset = i < offsets.size() ? offsets[i] : 0.0;
        ++i;
        const double v = e - offset;
        if (v >= 0 && v <= 127) {
            plain.push_back(static_cast<char16_t>(RoundHalfEven(v)));
            return;
        }
        SplitIntoBytes(v, lead, trail);
        // One character for each element, "?" where the bytes form none.
        plain.push_back(ValidLeadByte(lead) && ValidTrailByte(trail)
                            ? encoding::DecodePair(static_cast<unsigned char>(lead),
                                                   static_cast<unsigned char>(trail))
                            : encoding::kReplacement);
    });
    return plain;
}

}  // namespace velotan::cipher
