// Paths and failure reasons in messages: shown whole, whatever bytes they hold.

#include "platform/PathText.h"

#include <gtest/gtest.h>

namespace velotan::platform {
namespace {

TEST(PathText, Utf8NamesShowAsTheyAre) {
    EXPECT_EQ(PathText("/media/stick/mxsw/encrypt/chat.mx"), u"/media/stick/mxsw/encrypt/chat.mx");
    EXPECT_EQ(PathText("/home/用户/密钥 存放/chat.mx"), u"/home/用户/密钥 存放/chat.mx");
    EXPECT_EQ(PathText("/tmp/\xF0\x9F\x98\x80"), u"/tmp/\U0001F600");
    EXPECT_EQ(PathText(""), u"");
}

TEST(PathText, BytesThatAreNoUtf8StillShowTheRestOfTheName) {
    // A stick written under a GBK locale: 密 in code page 936 is C3 DC.
    EXPECT_EQ(PathText("/media/\xC3\xDC/chat.mx"), u"/media/\uFFFD\uFFFD/chat.mx");
    // A sequence cut short, a lone continuation byte, an overlong form and a
    // surrogate half: one replacement per byte, nothing after them lost.
    EXPECT_EQ(PathText("a\xE5\xAF"
                       "b"),
              u"a\uFFFD\uFFFDb");
    EXPECT_EQ(PathText("\x80x"), u"\uFFFDx");
    EXPECT_EQ(PathText("\xC0\xAFy"), u"\uFFFD\uFFFDy");
    EXPECT_EQ(PathText("\xED\xA0\x80z"), u"\uFFFD\uFFFD\uFFFDz");
}

TEST(ReasonText, SystemMessagesInEitherForm) {
    EXPECT_EQ(ReasonText("Permission denied"), u"Permission denied");
    EXPECT_EQ(ReasonText("权限不够"), u"权限不够");
    EXPECT_EQ(ReasonText("bad \xFF byte"), u"bad \uFFFD byte");
}

}  // namespace
}  // namespace velotan::platform
