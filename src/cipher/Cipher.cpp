#include "Cipher.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "NumberText.h"
#include "encoding/Cp936.h"

namespace velotan::cipher {
namespace {

// Digit d is written as kSymbols[d].
constexpr std::array<char16_t, 10> kSymbols = {u'|', u'~', u'!', u'@', u'}',
                                               u'$', u'%', u'^', u'{', u'*'};

void AppendSymbols(std::u16string& out, long long value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    for (char* p = buf; p != end; ++p) {
        out.push_back(*p == '-' ? u'-' : kSymbols[static_cast<size_t>(*p - '0')]);
    }
}

// The pieces in front of each separator; what follows the last one is not
// an element of its own.
std::vector<std::u16string_view> ElementsBeforeSeparators(std::u16string_view text,
                                                          std::u16string_view sep) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    for (size_t pos = text.find(sep); pos != std::u16string_view::npos;
         pos = text.find(sep, start)) {
        parts.push_back(text.substr(start, pos - start));
        start = pos + sep.size();
    }
    return parts;
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
    std::u16string out(text);
    for (char16_t& c : out) {
        switch (c) {
            case u'~':
                c = u'1';
                break;
            case u'!':
                c = u'2';
                break;
            case u'@':
                c = u'3';
                break;
            case u'}':
                c = u'4';
                break;
            case u'$':
                c = u'5';
                break;
            case u'%':
                c = u'6';
                break;
            case u'^':
                c = u'7';
                break;
            case u'{':
                c = u'8';
                break;
            case u'*':
                c = u'9';
                break;
            case u'|':
                c = u'0';
                break;
            default:
                break;
        }
    }
    return out;
}

std::optional<CipherPair> Encrypt(std::u16string_view plain, int16_t firstKey, int16_t secondKey,
                                  const OffsetSource& offsets) {
    if (plain.size() > kMaxPlainLength)
        return std::nullopt;
    CipherPair out;
    out.cipherText.reserve(plain.size() * 8);
    out.codeTable.reserve(plain.size() * 6);
    for (int16_t value : encoding::AnsiValues(plain)) {
        const int offset = offsets();
        // Offsets and keys are 16-bit at most, so the double is always whole
        // and exact; it is written as an integer.
        const double tableValue = static_cast<double>(offset) * firstKey + secondKey;
        if (!out.codeTable.empty())
            out.codeTable.append(kTableSeparator);
        AppendSymbols(out.codeTable, static_cast<long long>(tableValue));
        if (!out.cipherText.empty())
            out.cipherText.append(kCipherSeparator);
        AppendSymbols(out.cipherText, static_cast<long long>(CharacterCode(value)) + offset);
    }
    return out;
}

std::u16string Decrypt(std::u16string_view cipherText, std::u16string_view codeTable,
                       int16_t firstKey, int16_t secondKey) {
    const std::u16string cipherDigits = SymbolsToDigits(cipherText);
    const std::u16string tableDigits = SymbolsToDigits(codeTable);

    std::vector<double> offsets;
    for (auto e : ElementsBeforeSeparators(tableDigits, kTableSeparator)) {
        if (firstKey == 0) {
            offsets.push_back(0.0);  // the division fails; the offset counts as 0
            continue;
        }
        double offset = (LeadingNumber(e) - secondKey) / firstKey;
        // The offset travels as decimal text; a whole one survives unchanged,
        // a fraction keeps only the digits its text form has.
        if (!(offset == std::trunc(offset) && std::fabs(offset) < 1e15)) {
            std::string t = DoubleText(offset);
            offset = LeadingNumber(std::u16string(t.begin(), t.end()));
        }
        offsets.push_back(offset);
    }

    const auto elements = ElementsBeforeSeparators(cipherDigits, kCipherSeparator);
    std::string bytes;
    bytes.reserve(elements.size() * 2);
    // Bytes that cannot be set keep the value they had for the previous
    // character of this call.
    int lead = 0;
    int trail = 0;
    for (size_t i = 0; i < elements.size(); ++i) {
        const double offset = i < offsets.size() ? offsets[i] : 0.0;
        const double v = LeadingNumber(elements[i]) - offset;
        if (v >= 0 && v <= 127) {
            bytes.push_back(static_cast<char>(static_cast<int>(RoundHalfEven(v))));
            continue;
        }
        const std::string text = DoubleText(v);
        const std::u16string t(text.begin(), text.end());
        if (auto n = WholeNumber(t.substr(0, 2)); n && *n + 160 >= 0 && *n + 160 <= 255) {
            lead = static_cast<int>(*n + 160);
        }
        if (t.size() > 2) {
            if (auto n = WholeNumber(t.substr(2, 4)); n && *n + 160 >= 0 && *n + 160 <= 255) {
                trail = static_cast<int>(*n + 160);
            }
        }
        if (ValidLeadByte(lead) && ValidTrailByte(trail)) {
            bytes.push_back(static_cast<char>(lead));
            bytes.push_back(static_cast<char>(trail));
        } else {
            bytes.push_back('?');  // no double-byte character of the code page
        }
    }
    return encoding::FromCp936(bytes);
}

}  // namespace velotan::cipher
