#pragma once
// Paths and the system's reasons for a failure, as the messages show them.
// Both arrive as bytes in the system's encoding, UTF-8 here; a name with
// bytes that are no UTF-8 still shows, with U+FFFD in their place.

#include <filesystem>
#include <string>
#include <string_view>

namespace velotan::platform {

std::u16string PathText(const std::filesystem::path& path);
std::u16string ReasonText(std::string_view reason);

}  // namespace velotan::platform
