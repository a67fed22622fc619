#include "ProgramSettings.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <vector>

#include "ModReadFromIni.h"
#include "NumberText.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

constexpr std::u16string_view kStrongValue = u"strong";
constexpr std::u16string_view kCompatibleValue = u"compatible";

// ASCII letters compare without regard to case, as the INI reader matches.
bool SameName(std::u16string_view a, std::u16string_view b) {
    const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// The section a "[name]" line opens; nullopt for any other line.
std::optional<std::u16string_view> SectionOf(std::u16string_view line) {
    line = TrimBlanks(line, Blanks::SpaceTab);
    if (line.size() < 2 || line.front() != u'[')
        return std::nullopt;
    const size_t close = line.find(u']');
    if (close == std::u16string_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1), Blanks::SpaceTab);
}

bool HoldsKey(std::u16string_view line, std::u16string_view key) {
    const size_t equals = line.find(u'=');
    return equals != std::u16string_view::npos &&
           SameName(TrimBlanks(line.substr(0, equals), Blanks::SpaceTab), key);
}

}  // namespace

std::u16string ReadKeyChar(const std::filesystem::path& programFolder) {
    return ReadIniValue(programFolder / kSettingsFileName, u"set", u"KeyChar");
}

bool WriteKeyChar(const std::filesystem::path& programFolder, const std::u16string& root,
                  std::string* error) {
    std::vector<std::u16string> lines{u"[set]", u"KeyChar=" + root};
    // A share choice the user made survives a move of the key store.
    const std::u16string chosen =
        ReadIniValue(programFolder / kSettingsFileName, u"set", kShareCipherKey);
    if (!chosen.empty())
        lines.push_back(std::u16string(kShareCipherKey) + u"=" + chosen);
    return platform::WriteAnsiLines(programFolder / kSettingsFileName, lines,
                                    platform::kOrdinaryFileMode, error);
}

ShareCipher ReadShareCipher(const std::filesystem::path& programFolder) {
    const std::u16string value =
        ReadIniValue(programFolder / kSettingsFileName, u"set", kShareCipherKey);
    return SameName(value, kStrongValue) ? ShareCipher::Strong : ShareCipher::Compatible;
}

bool WriteShareCipher(const std::filesystem::path& programFolder, ShareCipher cipher,
                      std::string* error) {
    const std::filesystem::path file = programFolder / kSettingsFileName;
    std::vector<std::u16string> lines;
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        // The user's other settings stay: a file that cannot be read is not
        // replaced by one that lost them.
        auto read = platform::ReadAnsiLines(file, error);
        if (!read)
            return false;
        lines = std::move(*read);
    }
    const std::u16string entry =
        std::u16string(kShareCipherKey) + u"=" +
        std::u16string(cipher == ShareCipher::Strong ? kStrongValue : kCompatibleValue);
    // The reader takes the first [set] section's first ShareCipher line; that
    // one changes, or the line joins the end of that section.
    std::optional<size_t> sectionEnd;
    bool inSet = false;
    bool replaced = false;
    for (size_t i = 0; i < lines.size() && !replaced; ++i) {
        if (const auto section = SectionOf(lines[i])) {
            if (inSet)
                break;
            inSet = SameName(*section, u"set");
            if (inSet)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSet)
            continue;
        if (HoldsKey(lines[i], kShareCipherKey)) {
            lines[i] = entry;
            replaced = true;
        } else if (!TrimBlanks(lines[i], Blanks::SpaceTab).empty()) {
            sectionEnd = i + 1;
        }
    }
    if (!replaced) {
        if (sectionEnd) {
            lines.insert(lines.begin() + std::ptrdiff_t(*sectionEnd), entry);
        } else {
            lines.push_back(u"[set]");
            lines.push_back(entry);
        }
    }
    return platform::WriteAnsiLines(file, lines, platform::kOrdinaryFileMode, error);
}

}  // namespace velotan::cipher
