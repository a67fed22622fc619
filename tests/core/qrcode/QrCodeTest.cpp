// QR codes of share texts: what a reader gets back from them, the limit, and
// the pictures and PNG files they are drawn into.

#include <gtest/gtest.h>

#include "common/QrReader.h"
#include "common/TempDir.h"
#include "qrcode/PngFile.h"
#include "qrcode/QrCode.h"

namespace velotan::qrcode {
namespace {

using testing::ReadQrCode;
using testing::TempDir;

// Encodes `text`, writes it as a PNG and reads it back with zbarimg.
std::optional<std::string> RoundTrip(const std::string& text, int pixelsPerModule = 4) {
    const QrEncoding code = EncodeQr(text);
    EXPECT_EQ(code.status, QrStatus::Ok);
    if (code.status != QrStatus::Ok)
        return std::nullopt;
    TempDir dir;
    const auto file = dir / "code.png";
    std::string error;
    EXPECT_TRUE(WritePng(file, RenderQr(code.matrix, pixelsPerModule), &error)) << error;
    return ReadQrCode(file);
}

std::string Repeat(std::string_view piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(QrCodeTest, ReadersGetTheTextBack) {
    const std::string ascii = "Mood: ~!@}$%^{*|UUA@@ & more";
    EXPECT_EQ(RoundTrip(ascii), ascii);
    const std::string chinese = "心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}\r\n今天下雨了";
    EXPECT_EQ(RoundTrip(chinese), chinese);
}

TEST(QrCodeTest, TheLargestTextFitsAndOneByteMoreIsRefused) {
    // 777 Chinese characters are 2331 bytes of UTF-8: the largest code.
    const std::string largest = Repeat("情", 777);
    ASSERT_EQ(largest.size(), kMaxQrBytes);
    const QrEncoding code = EncodeQr(largest);
    ASSERT_EQ(code.status, QrStatus::Ok);
    EXPECT_EQ(code.matrix.width, 177);  // version 40
    EXPECT_EQ(RoundTrip(largest, 2), largest);

    const std::string ascii = Repeat("~", kMaxQrBytes - 1);
    EXPECT_EQ(RoundTrip(ascii, 2), ascii);

    for (const std::string& over : {largest + "~", Repeat("~", kMaxQrBytes + 1)}) {
        const QrEncoding refused = EncodeQr(over);
        EXPECT_EQ(refused.status, QrStatus::TooLong);
        EXPECT_EQ(refused.bytes, kMaxQrBytes + 1);
        EXPECT_EQ(refused.matrix.width, 0);
    }
    EXPECT_EQ(EncodeQr(Repeat("情", 100000)).status, QrStatus::TooLong);
}

TEST(QrCodeTest, AnEmptyTextMakesNoCode) {
    const QrEncoding code = EncodeQr("");
    EXPECT_EQ(code.status, QrStatus::Empty);
    EXPECT_EQ(code.matrix.width, 0);
}

TEST(QrCodeTest, PicturesHaveTheQuietZoneAndWholePixelModules) {
    const QrEncoding code = EncodeQr("velotan");
    ASSERT_EQ(code.status, QrStatus::Ok);
    const int modules = code.matrix.width;
    ASSERT_EQ(modules, 21);  // version 1
    for (int scale : {1, 3, 8}) {
        const QrPicture picture = RenderQr(code.matrix, scale);
        ASSERT_EQ(picture.width, (modules + 8) * scale);
        ASSERT_EQ(picture.width, QrPictureWidth(modules, scale));
        ASSERT_EQ(picture.pixels.size(), size_t(picture.width) * picture.width);
        const int margin = 4 * scale;
        for (int y = 0; y < picture.width; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const uint8_t pixel = picture.pixels[size_t(y) * picture.width + x];
                const int mx = (x - margin) / scale, my = (y - margin) / scale;
                const bool inCode = x >= margin && y >= margin && mx < modules && my < modules;
                const uint8_t expected = inCode && code.matrix.Dark(mx, my) ? 0 : 255;
                ASSERT_EQ(pixel, expected) << "scale " << scale << " at " << x << "," << y;
            }
        }
    }
    // The finder pattern's corner is dark: the matrix is not inverted.
    EXPECT_TRUE(code.matrix.Dark(0, 0));
    EXPECT_EQ(RenderQr(QrMatrix{}, 4).width, 0);
    EXPECT_EQ(RenderQr(code.matrix, 0).width, 0);
}

TEST(QrCodeTest, PngFilesStartWithTheSignatureAndHeader) {
    const QrPicture picture = RenderQr(EncodeQr("velotan").matrix, 2);
    const auto png = EncodePng(picture);
    ASSERT_TRUE(png.has_value());
    ASSERT_GT(png->size(), 33u);
    EXPECT_EQ(png->substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    // 58 x 58 pixels, 8-bit grey.
    EXPECT_EQ(png->substr(16, 10), std::string("\0\0\0\x3a\0\0\0\x3a\x08\x00", 10));
    EXPECT_EQ(png->substr(png->size() - 12), std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12));
    EXPECT_FALSE(EncodePng(QrPicture{}).has_value());
}

TEST(QrCodeTest, AFailedWriteLeavesTheOldFile) {
    TempDir dir;
    const auto file = dir / "code.png";
    testing::WriteBytes(file, "old");
    std::string error;
    EXPECT_FALSE(WritePng(dir / "missing" / "code.png", RenderQr(EncodeQr("x").matrix, 2), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WritePng(file, QrPicture{}, &error));
    EXPECT_EQ(testing::ReadBytes(file), "old");
}

}  // namespace
}  // namespace velotan::qrcode
