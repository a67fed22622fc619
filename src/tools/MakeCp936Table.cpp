// velotan-makecp936 FILE: writes src/core/encoding/Cp936Table.cpp, the
// character of every lead and trail byte pair of code page 936, as the C
// library's iconv converts it. The web page's C library has no CJK
// converter, so the core carries this table and both builds use it; the
// encoding tests check it against iconv pair by pair and character by
// character.

#include <iconv.h>

#include <bit>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "encoding/Cp936Table.h"

namespace {

using namespace velotan::encoding;

// The one UTF-16 unit that the two bytes form, 0 when they form none.
char16_t Convert(iconv_t cd, unsigned char lead, unsigned char trail) {
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char16_t out[4] = {};
    char* src = in;
    size_t srcLeft = sizeof in;
    char* dst = reinterpret_cast<char*>(out);
    size_t dstLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0 ||
        sizeof out - dstLeft != sizeof(char16_t)) {
        return 0;
    }
    return out[0];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: velotan-makecp936 FILE\n";
        return 2;
    }
    const char* utf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    iconv_t cd = iconv_open(utf16, "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::cerr << "velotan-makecp936: iconv cannot convert CP936\n";
        return 1;
    }
    std::string text =
        "// The character of every lead and trail byte pair of code page 936, 0 where\n"
        "// the pair forms none. Written by velotan-makecp936 (src/tools/MakeCp936Table.cpp)\n"
        "// from the C library's iconv; do not edit.\n"
        "// clang-format off\n"
        "#include \"Cp936Table.h\"\n\n"
        "namespace velotan::encoding {\n\n"
        "const char16_t kCp936Pairs[kCp936Leads][kCp936Trails] = {\n";
    int count = 0;
    for (int lead = kCp936FirstLead; lead <= kCp936LastLead; ++lead) {
        char line[64];
        std::snprintf(line, sizeof line, "    // lead 0x%02X\n    {", lead);
        text += line;
        for (int i = 0; i < kCp936Trails; ++i) {
            const char16_t c = Convert(cd, static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(kCp936FirstTrail + i));
            count += c != 0;
            std::snprintf(line, sizeof line, "0x%04X%s", static_cast<unsigned>(c),
                          i + 1 == kCp936Trails ? "},\n" : (i % 12 == 11 ? ",\n     " : ","));
            text += line;
        }
    }
    text += "};\n\n}  // namespace velotan::encoding\n";
    iconv_close(cd);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "velotan-makecp936: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::cout << argv[1] << ": " << count << " characters\n";
    return 0;
}
