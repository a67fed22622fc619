#include "Class1.h"

#include "Cp936.h"

namespace velotan::encoding {
namespace {

uint8_t ValueToChar(uint8_t v) {
    if (v <= 25)
        return static_cast<uint8_t>('A' + v);
    if (v <= 51)
        return static_cast<uint8_t>('a' + (v - 26));
    if (v <= 61)
        return static_cast<uint8_t>('0' + (v - 52));
    return v == 62 ? '+' : '/';
}

// Value of an alphabet character, or -1 for anything else (padding above all).
int CharToValue(uint8_t c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

void Class1::EncodeGroup(uint8_t (&in)[3], uint8_t (&out)[4], int count) {
    if (count == 1)
        in[1] = in[2] = 0;
    if (count == 2)
        in[2] = 0;
    out[0] = static_cast<uint8_t>(in[0] >> 2);
    out[1] = static_cast<uint8_t>((in[0] & 3) * 16 + (in[1] & 0xF0) / 16);
    out[2] = static_cast<uint8_t>((in[1] & 0x0F) * 4 + (in[2] & 0xC0) / 64);
    out[3] = static_cast<uint8_t>(in[2] & 0x3F);
    for (uint8_t& v : out)
        v = ValueToChar(v);
    if (count == 1)
        out[2] = out[3] = '=';
    if (count == 2)
        out[3] = '=';
}

void Class1::DecodeGroup(const uint8_t (&in)[4], uint8_t (&out)[3], int& count) {
    count = 0;
    int s[4];
    for (int k = 0; k < 4; ++k) {
        s[k] = CharToValue(in[k]);
        if (s[k] < 0) {
            s[k] = 0;
            ++count;
        }
    }
    out[0] = static_cast<uint8_t>((s[0] & 0x3F) * 4 + (s[1] & 0x30) / 16);
    out[1] = static_cast<uint8_t>((s[1] & 0x0F) * 16 + (s[2] & 0x3C) / 4);
    out[2] = static_cast<uint8_t>(((s[2] & 3) * 64) | (s[3] & 0x3F));
}

std::u16string Class1::Base64Encode(const std::u16string& InStr1) const {
    const std::string bytes = TextToAnsiBytes(InStr1);
    std::u16string result;
    result.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        int count = static_cast<int>(std::min<size_t>(3, bytes.size() - i));
        uint8_t in[3] = {};
        for (int k = 0; k < count; ++k)
            in[k] = static_cast<uint8_t>(bytes[i + k]);
        uint8_t out[4];
        EncodeGroup(in, out, count);
        result.append(out, out + 4);
    }
    return result;
}

std::u16string Class1::Base64Decode(const std::u16string& InStr1) const {
    const std::string chars = TextToAnsiBytes(InStr1);
    std::string bytes;
    bytes.reserve(chars.size() / 4 * 3 + 3);
    const size_t n = chars.size();
    for (size_t i = 0; i < n; i += 4) {
        size_t have = std::min<size_t>(4, n - i);
        if (have == 1)
            break;  // a stray last character carries no whole byte
        uint8_t in[4] = {'=', '=', '=', '='};
        for (size_t k = 0; k < have; ++k)
            in[k] = static_cast<uint8_t>(chars[i + k]);
        uint8_t out[3];
        int padding = 0;
        DecodeGroup(in, out, padding);
        for (int k = 0; k < 3 - padding && k < 3; ++k)
            bytes.push_back(static_cast<char>(out[k]));
    }
    return BytesToText(bytes);
}

std::string Class1::TextToAnsiBytes(const std::u16string& text) {
    return ToCp936(text);
}

std::u16string Class1::BytesToText(const std::string& bytes) {
    return FromCp936(bytes);
}

}  // namespace velotan::encoding
