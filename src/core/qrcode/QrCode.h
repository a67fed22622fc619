#pragma once
// QR codes of share texts, so that a mood can go from the screen to a phone.
// The text goes in as UTF-8 bytes in byte mode with error correction level M,
// which every reader understands; the code never holds a shortened text.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velotan::qrcode {

// The most bytes one code holds in byte mode at level M (version 40).
inline constexpr size_t kMaxQrBytes = 2331;

// Light modules every reader needs around a code.
inline constexpr int kQuietZoneModules = 4;

// The modules of one code, row by row, without the quiet zone.
struct QrMatrix {
    int width = 0;                   // modules per side
    std::vector<std::uint8_t> dark;  // width * width, 1 for a dark module

    bool Dark(int x, int y) const { return dark[static_cast<size_t>(y) * width + x] != 0; }
};

enum class QrStatus {
    Ok,
    Empty,    // nothing to encode
    TooLong,  // more than kMaxQrBytes
    Failed,   // the encoder ran out of memory
};

struct QrEncoding {
    QrStatus status = QrStatus::Failed;
    size_t bytes = 0;  // length of the text in bytes
    QrMatrix matrix;   // set when status is Ok
};

QrEncoding EncodeQr(std::string_view utf8);

// A picture of a code: 8-bit grey, 0 for dark and 255 for light, with the
// quiet zone, every module a square of whole pixels.
struct QrPicture {
    int width = 0;  // pixels per side
    std::vector<std::uint8_t> pixels;
};

QrPicture RenderQr(const QrMatrix& matrix, int pixelsPerModule);

// The side of RenderQr's picture, for a caller that picks the module size.
constexpr int QrPictureWidth(int modules, int pixelsPerModule) {
    return (modules + 2 * kQuietZoneModules) * pixelsPerModule;
}

}  // namespace velotan::qrcode
