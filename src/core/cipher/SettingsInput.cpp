#include "cipher/SettingsInput.h"

#include <system_error>

#include "encoding/Cp936.h"

namespace velotan::windows {
namespace {

namespace fs = std::filesystem;

// What the INI reader gives back of a value.
constexpr size_t kMaxIniValueBytes = 127;

bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The letters the drive map hands out.
bool IsDriveLetter(char16_t c) {
    return (c >= u'D' && c <= u'Z') || (c >= u'd' && c <= u'z');
}

}  // namespace

RootCheck CheckKeyStoreRoot(std::u16string_view root, const platform::DriveMap& drives) {
    const std::string bytes = encoding::ToCp936(root);
    if (encoding::FromCp936(bytes) != root)
        return RootCheck::Unrepresentable;
    if (bytes.size() > kMaxIniValueBytes)
        return RootCheck::TooLong;
    if (root.size() == 1) {
        if (IsDriveLetter(root.front()))
            return RootCheck::Ok;
        return IsAsciiLetter(root.front()) ? RootCheck::NoSuchDrive : RootCheck::NoSuchFolder;
    }
    // A relative path would mean another folder whenever the program starts
    // from another working folder.
    const auto folder = drives.RootFolder(root);
    std::error_code ec;
    if (!folder || !folder->is_absolute() || !fs::is_directory(*folder, ec))
        return RootCheck::NoSuchFolder;
    return RootCheck::Ok;
}

}  // namespace velotan::windows
