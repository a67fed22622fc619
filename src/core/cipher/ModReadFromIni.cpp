#include "ModReadFromIni.h"

#include <algorithm>

#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

// The profile API copies into a 128-byte buffer, NUL included.
constexpr size_t kMaxValueBytes = 127;

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::u16string Fold(std::u16string s) {
    for (char16_t& c : s) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return s;
}

std::u16string Fold(std::string_view cp936) {
    return Fold(encoding::FromCp936(cp936));
}

// Cuts to `limit` bytes without leaving half of a double-byte character.
std::string_view CutBytes(std::string_view s, size_t limit) {
    if (s.size() <= limit)
        return s;
    size_t i = 0;
    while (i < limit) {
        auto b = static_cast<unsigned char>(s[i]);
        size_t step = (b >= 0x81 && b <= 0xFE) ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return s.substr(0, i);
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile ini;
    std::u16string section;
    int sectionIndex = -1;
    for (const auto& raw : platform::SplitLines(bytes)) {
        std::string_view line = Trim(raw);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string_view name = line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            section = Fold(Trim(name));
            ++sectionIndex;
            continue;
        }
        size_t eq = line.find('=');
        if (sectionIndex < 0 || eq == std::string_view::npos)
            continue;
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        ini.entries_.push_back(
            {sectionIndex, section, Fold(Trim(line.substr(0, eq))), std::string(value)});
    }
    return ini;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
    auto bytes = platform::ReadFileBytes(path);
    return bytes ? Parse(*bytes) : IniFile{};
}

std::u16string IniFile::Value(std::u16string_view section, std::u16string_view key) const {
    const std::u16string s = Fold(std::u16string(section));
    const std::u16string k = Fold(std::u16string(key));
    // The first section of that name is the one searched, and in it the
    // first key of that name.
    auto sectionIt = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.section == s; });
    for (auto it = sectionIt; it != entries_.end() && it->sectionIndex == sectionIt->sectionIndex;
         ++it) {
        if (it->key == k) {
            // The profile API hands the value over as a C string: a NUL byte
            // in the file ends it. Past the NUL, a path would name a
            // different folder than the one the system calls reach.
            std::string_view v = it->value;
            v = v.substr(0, v.find('\0'));
            v = Trim(CutBytes(v, kMaxValueBytes));
            return encoding::FromCp936(v);
        }
    }
    return {};
}

std::u16string ReadIniValue(const std::filesystem::path& filePath, std::u16string_view section,
                            std::u16string_view key) {
    return IniFile::Load(filePath).Value(section, key);
}

}  // namespace velotan::cipher
