// RestoreSymbols (and its twin ReplaceSymbols) with a fuzzed
// symbolhandle.ini. The substitution may take a one-pass shortcut; whatever
// it does must give exactly what the twenty replacements one after the other
// give, under the file's line-count rule, and a file that would blow the
// text up must leave it as it was.
//
// Input: mode (1 byte; bit 0: raw UTF-16 text), text, NUL, file bytes.

#include <algorithm>

#include "FuzzSupport.h"
#include "cipher/ModReadFromIni.h"
#include "cipher/SymbolSubstitution.h"
#include "platform/AnsiTextFile.h"

namespace {

using namespace velotan;

// The rule written out plainly: substitution k runs once line k was read.
std::u16string OneAfterAnother(std::u16string text, std::string_view file,
                               std::u16string_view section,
                               const std::array<std::u16string_view, 20>& keys) {
    const cipher::IniFile ini = cipher::IniFile::Parse(file);
    const size_t count = std::min<size_t>(keys.size(), platform::SplitLines(file).size());
    // A file that would grow the text beyond its bound changes nothing.
    const size_t limit = cipher::kMaxSubstitutionGrowth * std::max<size_t>(text.size(), 1);
    std::u16string result = text;
    for (size_t k = 0; k < count; ++k) {
        cipher::ReplaceAll(result, keys[k], ini.Value(section, keys[k]));
        if (result.size() > limit)
            return text;
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const std::u16string text = fuzz::TextFrom(in.Field(), mode & 1);
    const std::string_view bytes = in.Rest();

    const auto file = fuzz::ScratchFolder() / cipher::kSymbolFileName;
    fuzz::PutFile(file, bytes);

    const std::u16string restored = cipher::RestoreSymbols(text, file);
    FUZZ_CHECK(restored == OneAfterAnother(text, bytes, u"code", cipher::kPlaceholders));
    const std::u16string replaced = cipher::ReplaceSymbols(text, file);
    FUZZ_CHECK(replaced == OneAfterAnother(text, bytes, u"symbol", cipher::kMarks));
    return 0;
}
