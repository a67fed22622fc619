#include "cipher/SettingsInput.h"

#include <system_error>

#include "encoding/Cp936.h"

namespace velotan::windows {
namespace {

namespace fs = std::filesystem;

// What the INI reader gives back of a value.
constexpr size_t kMaxIniValueBytes = 127;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

std::optional<int16_t> ParseImportKey(std::u16string_view text) {
    text = Trimmed(text);
    if (text.empty())
        return std::nullopt;
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        // Stops long inputs of leading zeros as well as big numbers from
        // overflowing; only the range matters.
        if (value > 255)
            return std::nullopt;
    }
    if (value < 1)
        return std::nullopt;
    return static_cast<int16_t>(value);
}

RootCheck CheckKeyStoreRoot(std::u16string_view root, const platform::DriveMap& drives) {
    const std::string bytes = encoding::ToCp936(root);
    if (encoding::FromCp936(bytes) != root)
        return RootCheck::Unrepresentable;
    if (bytes.size() > kMaxIniValueBytes)
        return RootCheck::TooLong;
    if (root.size() == 1)
        return IsAsciiLetter(root.front()) ? RootCheck::Ok : RootCheck::NoSuchFolder;
    // A relative path would mean another folder whenever the program starts
    // from another working folder.
    const auto folder = drives.RootFolder(root);
    std::error_code ec;
    if (!folder || !folder->is_absolute() || !fs::is_directory(*folder, ec))
        return RootCheck::NoSuchFolder;
    return RootCheck::Ok;
}

}  // namespace velotan::windows
