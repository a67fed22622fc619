// The information files the about box shows, as they ship.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <filesystem>

#include "AppFixture.h"
#include "app/Twips.h"
#include "app/WindowFonts.h"
#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"

namespace velotan::windows::test {
namespace {

namespace fs = std::filesystem;

class InfoFilesTest : public ::testing::TestWithParam<const char*> {
  protected:
    fs::path File() const { return fs::path(VELOTAN_DATA_DIR) / GetParam(); }
};

TEST_P(InfoFilesTest, CodePage936WithCrLfAndLinesThatFitTheLabel) {
    const auto bytes = platform::ReadFileBytes(File());
    ASSERT_TRUE(bytes.has_value()) << File();
    ASSERT_FALSE(bytes->empty());
    // Every line ends in CR LF, the last one included; no bare LF or CR.
    EXPECT_EQ(bytes->substr(bytes->size() - 2), "\r\n");
    for (size_t i = 0; i < bytes->size(); ++i) {
        if ((*bytes)[i] == '\n') {
            EXPECT_TRUE(i > 0 && (*bytes)[i - 1] == '\r') << "bare LF at " << i;
        }
        if ((*bytes)[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes->size() && (*bytes)[i + 1] == '\n') << "bare CR at " << i;
        }
    }
    // Code page 936, not UTF-8: every character decodes, and back again to
    // the very same bytes.
    const std::u16string text = encoding::FromCp936(*bytes);
    EXPECT_EQ(text.find(u'?'), std::u16string::npos);
    EXPECT_EQ(encoding::ToCp936(text), *bytes);
    std::u16string asUtf8;
    EXPECT_FALSE(encoding::Utf8ToUtf16(*bytes, asUtf8) &&
                 asUtf8.find(u'信') != std::u16string::npos);

    // Through the program's own reader: some lines, each one readable in the
    // about box's label without being cut off.
    app::test::QtApp();
    const auto lines = platform::ReadAnsiLines(File());
    ASSERT_TRUE(lines.has_value());
    EXPECT_GE(lines->size(), 3u);
    const QFontMetrics metrics(app::SkinLabelFont());
    for (const auto& line : *lines) {
        EXPECT_FALSE(line.empty());
        EXPECT_LE(metrics.horizontalAdvance(QString::fromStdU16String(line)), app::Twips(4815))
            << QString::fromStdU16String(line).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, InfoFilesTest,
                         ::testing::Values("controlsinfo.txt", "algorithm.txt"));

}  // namespace
}  // namespace velotan::windows::test
