#include "qrcode/QrCode.h"

#include <qrencode.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace velotan::qrcode {

QrEncoding EncodeQr(std::string_view utf8) {
    QrEncoding result;
    result.bytes = utf8.size();
    if (utf8.empty()) {
        result.status = QrStatus::Empty;
        return result;
    }
    if (utf8.size() > kMaxQrBytes) {
        result.status = QrStatus::TooLong;
        return result;
    }
    // Version 0 lets the encoder pick the smallest code that holds the text.
    errno = 0;
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(utf8.size()),
                          reinterpret_cast<const unsigned char*>(utf8.data()), 0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code) {
        result.status = errno == ERANGE ? QrStatus::TooLong : QrStatus::Failed;
        return result;
    }
    const int width = code->width;
    result.matrix.width = width;
    result.matrix.dark.resize(static_cast<size_t>(width) * width);
    for (size_t i = 0; i < result.matrix.dark.size(); ++i) {
        // The lowest bit of each byte is the module's colour; the others say
        // what kind of module it is.
        result.matrix.dark[i] = code->data[i] & 1;
    }
    result.status = QrStatus::Ok;
    return result;
}

QrPicture RenderQr(const QrMatrix& matrix, int pixelsPerModule) {
    QrPicture picture;
    if (matrix.width <= 0 || pixelsPerModule <= 0)
        return picture;
    picture.width = QrPictureWidth(matrix.width, pixelsPerModule);
    const auto side = static_cast<size_t>(picture.width);
    picture.pixels.assign(side * side, 255);
    const int margin = kQuietZoneModules * pixelsPerModule;
    for (int y = 0; y < matrix.width; ++y) {
        for (int x = 0; x < matrix.width; ++x) {
            if (!matrix.Dark(x, y))
                continue;
            for (int py = 0; py < pixelsPerModule; ++py) {
                const size_t row = static_cast<size_t>(margin + y * pixelsPerModule + py) * side;
                const size_t column = static_cast<size_t>(margin + x * pixelsPerModule);
                std::fill_n(picture.pixels.begin() + static_cast<long>(row + column),
                            pixelsPerModule, std::uint8_t{0});
            }
        }
    }
    return picture;
}

}  // namespace velotan::qrcode
