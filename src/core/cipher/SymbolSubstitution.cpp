#include "SymbolSubstitution.h"

#include <algorithm>
#include <vector>

#include "ModReadFromIni.h"
#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

struct Substitution {
    std::u16string_view key;
    std::u16string value;
};

bool Overlap(std::u16string_view a, std::u16string_view b) {
    // A proper suffix of a that begins b.
    for (size_t len = 1; len < a.size() && len <= b.size(); ++len) {
        if (a.substr(a.size() - len) == b.substr(0, len)) {
            return true;
        }
    }
    return false;
}

// The substitutions run one after the other, each on the result of the
// last. When no two keys can overlap and no value is empty or shares a
// character with any key, no step can create or destroy a match of another,
// and one pass over the text gives the same result.
bool OnePassIsExact(const std::vector<Substitution>& subs) {
    for (const auto& a : subs) {
        if (a.value.empty()) {
            return false;
        }
        for (const auto& b : subs) {
            if (Overlap(a.key, b.key) ||
                (&a != &b && b.key.find(a.key) != std::u16string_view::npos)) {
                return false;
            }
            if (a.value.find_first_of(b.key) != std::u16string::npos) {
                return false;
            }
        }
    }
    return true;
}

std::u16string OnePass(const std::u16string& text, const std::vector<Substitution>& subs) {
    std::u16string out;
    out.reserve(text.size());
    const std::u16string_view view(text);
    // Most characters start no key; a bitmap of first characters says so at
    // a glance.
    std::vector<bool> starts(0x10000, false);
    for (const auto& sub : subs) {
        starts[sub.key[0]] = true;
    }
    size_t i = 0;
    while (i < text.size()) {
        if (!starts[text[i]]) {
            out.push_back(text[i++]);
            continue;
        }
        const Substitution* hit = nullptr;
        for (const auto& sub : subs) {
            if (sub.key[0] == text[i] && view.substr(i, sub.key.size()) == sub.key) {
                hit = &sub;
                break;
            }
        }
        if (hit) {
            out += hit->value;
            i += hit->key.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// How long the substituted text may grow: a value (at most 127 bytes) for
// every character. No sound file comes near it; a file whose values repeat
// the later placeholders would otherwise multiply the text at every step.
size_t GrowthLimit(size_t length) {
    return kMaxSubstitutionGrowth * std::max<size_t>(length, 1);
}

size_t Occurrences(std::u16string_view text, std::u16string_view key) {
    size_t n = 0;
    for (size_t pos = text.find(key); pos != std::u16string_view::npos;
         pos = text.find(key, pos + key.size())) {
        ++n;
    }
    return n;
}

std::u16string Substitute(std::u16string text, std::string_view fileBytes,
                          std::u16string_view section,
                          const std::array<std::u16string_view, 20>& keys) {
    const IniFile ini = IniFile::Parse(fileBytes);
    // Substitution k runs only once the file's k-th line has been read.
    const size_t count = std::min<size_t>(keys.size(), platform::SplitLines(fileBytes).size());
    std::vector<Substitution> subs;
    for (size_t k = 0; k < count; ++k) {
        subs.push_back({keys[k], ini.Value(section, keys[k])});
    }
    if (OnePassIsExact(subs)) {
        return OnePass(text, subs);
    }
    const size_t limit = GrowthLimit(text.size());
    std::u16string result = text;
    for (const auto& sub : subs) {
        if (sub.value.size() > sub.key.size() &&
            result.size() + Occurrences(result, sub.key) * (sub.value.size() - sub.key.size()) >
                limit) {
            return text;  // a runaway file: treated like an unreadable one
        }
        ReplaceAll(result, sub.key, sub.value);
    }
    return result;
}

std::u16string SubstituteFromFile(std::u16string text, const std::filesystem::path& symbolFile,
                                  std::u16string_view section,
                                  const std::array<std::u16string_view, 20>& keys) {
    if (!platform::IsOrdinaryFile(symbolFile)) {
        return text;
    }
    auto bytes = platform::ReadFileBytes(symbolFile);
    if (!bytes) {
        return text;  // unreadable: leave the text as it is
    }
    return Substitute(std::move(text), *bytes, section, keys);
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
    return SubstituteFromFile(std::move(text), symbolFile, u"symbol", kMarks);
}

std::u16string RestoreSymbols(std::u16string text, const std::filesystem::path& symbolFile) {
    return SubstituteFromFile(std::move(text), symbolFile, u"code", kPlaceholders);
}

std::u16string ReplaceSymbolsFromBytes(std::u16string text, std::string_view symbolFileBytes) {
    return Substitute(std::move(text), symbolFileBytes, u"symbol", kMarks);
}

std::u16string RestoreSymbolsFromBytes(std::u16string text, std::string_view symbolFileBytes) {
    return Substitute(std::move(text), symbolFileBytes, u"code", kPlaceholders);
}

}  // namespace velotan::cipher
