#include "SymbolSubstitution.h"

#include <algorithm>

#include "ModReadFromIni.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

std::u16string Substitute(std::u16string text, const std::filesystem::path& symbolFile,
                          std::u16string_view section,
                          const std::array<std::u16string_view, 20>& keys) {
    if (!platform::IsOrdinaryFile(symbolFile))
        return text;
    auto bytes = platform::ReadFileBytes(symbolFile);
    if (!bytes)
        return text;  // unreadable: leave the text as it is
    const IniFile ini = IniFile::Parse(*bytes);
    const size_t count = std::min<size_t>(keys.size(), platform::SplitLines(*bytes).size());
    for (size_t k = 0; k < count; ++k) {
        ReplaceAll(text, keys[k], ini.Value(section, keys[k]));
    }
    return text;
}

}  // namespace

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    if (from.empty())
        return;
    size_t pos = text.find(from);
    if (pos == std::u16string::npos)
        return;
    std::u16string out;
    out.reserve(text.size());
    size_t start = 0;
    for (; pos != std::u16string::npos; pos = text.find(from, start)) {
        out.append(text, start, pos - start);
        out.append(to);
        start = pos + from.size();
    }
    out.append(text, start, std::u16string::npos);
    text = std::move(out);
}

std::u16string ReplaceSymbols(std::u16string text, const std::filesystem::path& symbolFile) {
    return Substitute(std::move(text), symbolFile, u"symbol", kMarks);
}

std::u16string RestoreSymbols(std::u16string text, const std::filesystem::path& symbolFile) {
    return Substitute(std::move(text), symbolFile, u"code", kPlaceholders);
}

}  // namespace velotan::cipher
