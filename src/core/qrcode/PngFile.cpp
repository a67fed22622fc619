#include "qrcode/PngFile.h"

#include <zlib.h>

#include <cstdint>

#include "platform/AnsiTextFile.h"

namespace velotan::qrcode {
namespace {

void AppendUint32(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

// Length, type, data and the CRC over type and data.
void AppendChunk(std::string& out, const char (&type)[5], std::string_view data) {
    AppendUint32(out, static_cast<std::uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data() + typeAt),
                static_cast<uInt>(4 + data.size()));
    AppendUint32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::optional<std::string> EncodePng(const QrPicture& picture) {
    const auto side = static_cast<size_t>(picture.width);
    if (side == 0 || picture.pixels.size() != side * side)
        return std::nullopt;
    // Each row starts with its filter type, 0: the bytes as they are.
    std::string raw;
    raw.reserve((side + 1) * side);
    for (size_t y = 0; y < side; ++y) {
        raw.push_back('\0');
        raw.append(reinterpret_cast<const char*>(picture.pixels.data()) + y * side, side);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return std::nullopt;
    }
    packed.resize(packedSize);

    std::string header;
    AppendUint32(header, static_cast<std::uint32_t>(side));  // width
    AppendUint32(header, static_cast<std::uint32_t>(side));  // height
    header.push_back(8);                                     // bits per sample
    header.push_back(0);                                     // greyscale
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    return png;
}

bool WritePng(const std::filesystem::path& path, const QrPicture& picture, std::string* error) {
    const auto png = EncodePng(picture);
    if (!png) {
        if (error)
            *error = picture.width > 0 ? "the picture could not be compressed" : "no picture";
        return false;
    }
    return platform::WriteFileAtomic(path, *png, 0644, error);
}

bool WriteQrPng(const std::filesystem::path& path, const QrMatrix& matrix, std::string* error) {
    return WritePng(path, RenderQr(matrix, kFilePixelsPerModule), error);
}

}  // namespace velotan::qrcode
