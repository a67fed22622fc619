#pragma once
// The one INI reader of the program. It gives the results the classic
// profile API gives for our files: section and key match without regard to
// ASCII letter case, values are trimmed, a value is cut to 127 bytes, and
// whatever is missing reads as "". It never writes.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velotan::cipher {

// A parsed INI file, for callers that look up many keys of one file.
class IniFile {
  public:
    // An unreadable or missing file is an empty one.
    static IniFile Load(const std::filesystem::path& path);
    static IniFile Parse(std::string_view bytes);

    std::u16string Value(std::u16string_view section, std::u16string_view key) const;

  private:
    struct Entry {
        int sectionIndex;        // which [section] line it belongs to
        std::u16string section;  // folded for matching
        std::u16string key;      // folded for matching
        std::string value;       // code page 936 bytes, trimmed, unquoted
    };
    std::vector<Entry> entries_;
};

std::u16string ReadIniValue(const std::filesystem::path& filePath, std::u16string_view section,
                            std::u16string_view key);

}  // namespace velotan::cipher
