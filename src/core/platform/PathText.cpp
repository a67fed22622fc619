#include "PathText.h"

#include "encoding/Cp936.h"

namespace velotan::platform {

std::u16string PathText(const std::filesystem::path& path) {
    return encoding::Utf8ToUtf16Lossy(path.native());
}

std::u16string ReasonText(std::string_view reason) {
    return encoding::Utf8ToUtf16Lossy(reason);
}

}  // namespace velotan::platform
