// Percent-encoding of share texts.

#include <gtest/gtest.h>

#include "cipher/ShareAddress.h"

namespace velotan::windows {
namespace {

TEST(ShareAddressTest, UnreservedCharactersStayEverythingElseIsEscaped) {
    EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(PercentEncode(" !\"#$%&'()*+,/:;=?@[\\]^`{|}"),
              "%20%21%22%23%24%25%26%27%28%29%2A%2B%2C%2F%3A%3B%3D%3F%40%5B%5C%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(PercentEncode(std::string("\0\r\n\x7f", 4)), "%00%0D%0A%7F");
    EXPECT_EQ(PercentEncode(""), "");
}

TEST(ShareAddressTest, TextGoesOutAsUtf8) {
    EXPECT_EQ(ShareAddress("https://host/p?title=", u"心情：a&b"),
              "https://host/p?title=%E5%BF%83%E6%83%85%EF%BC%9Aa%26b");
    // Outside the basic plane: one four-byte sequence.
    EXPECT_EQ(ShareAddress("x=", u"\U0001F600"), "x=%F0%9F%98%80");
    // A lone surrogate has no UTF-8 form; it goes out as U+FFFD, never as
    // broken bytes.
    EXPECT_EQ(ShareAddress("x=", std::u16string(1, char16_t(0xD800))), "x=%EF%BF%BD");
    EXPECT_EQ(ShareAddress("https://host/p?title=", u""), "https://host/p?title=");
}

}  // namespace
}  // namespace velotan::windows
