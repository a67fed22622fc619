// ReadIniValue: any file bytes, any section and key. The value read from the
// file equals the one parsed from the same bytes, fits the profile API's
// 127-byte buffer, carries no blanks at either end, and does not depend on
// the letter case of section or key.
//
// Input: section, NUL, key, NUL, file bytes (all code page 936).

#include <algorithm>

#include "FuzzSupport.h"
#include "cipher/ModReadFromIni.h"
#include "encoding/Cp936.h"

namespace {

std::u16string Upper(std::u16string s) {
    for (char16_t& c : s) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput in(data, size);
    const std::u16string section = encoding::FromCp936(in.Field());
    const std::u16string key = encoding::FromCp936(in.Field());
    const std::string_view bytes = in.Rest();

    const auto file = fuzz::ScratchFolder() / "fuzz.ini";
    fuzz::PutFile(file, bytes);
    const std::u16string value = cipher::ReadIniValue(file, section, key);

    const cipher::IniFile ini = cipher::IniFile::Parse(bytes);
    FUZZ_CHECK(ini.Value(section, key) == value);
    FUZZ_CHECK(ini.Value(Upper(section), Upper(key)) == value);
    FUZZ_CHECK(encoding::ToCp936(value).size() <= 127);
    if (!value.empty()) {
        auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
        FUZZ_CHECK(!blank(value.front()) && !blank(value.back()));
    }
    return 0;
}
