#pragma once
// A QR code picture as a PNG file, for velotan-cli and anything else without
// Qt: 8-bit greyscale, one IDAT chunk compressed with zlib.

#include <filesystem>
#include <optional>
#include <string>

#include "qrcode/QrCode.h"

namespace velotan::qrcode {

// The PNG bytes of `picture`; nullopt when zlib fails (out of memory).
std::optional<std::string> EncodePng(const QrPicture& picture);

// Writes the picture to `path`, replacing a file there only once the new one
// is complete. False, with a reason in `error`, when that fails.
bool WritePng(const std::filesystem::path& path, const QrPicture& picture,
              std::string* error = nullptr);

// Module size of a code saved as a file: large enough to print or to post
// as a picture and still be read.
inline constexpr int kFilePixelsPerModule = 8;

// The code drawn with kFilePixelsPerModule and written as WritePng does.
bool WriteQrPng(const std::filesystem::path& path, const QrMatrix& matrix,
                std::string* error = nullptr);

}  // namespace velotan::qrcode
