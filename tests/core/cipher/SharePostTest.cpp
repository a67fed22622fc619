// The share text and finding its two parts again in a copied post.

#include <gtest/gtest.h>

#include "cipher/Cipher.h"
#include "cipher/SharePost.h"

namespace velotan::cipher {
namespace {

// A cipher text and code table as an encryption writes them (keys 7 and 3).
constexpr std::u16string_view kCipher = u"@%*@UUA~|@UUA^!";
constexpr std::u16string_view kTable = u"@~UGA}{UGA!}";

void ExpectParts(std::u16string_view post, std::u16string_view cipherText,
                 std::u16string_view codeTable) {
    const auto parts = SplitPost(post);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->cipherText, cipherText);
    EXPECT_EQ(parts->codeTable, codeTable);
}

TEST(SharePostTest, ShareTextIsTheMarkersAndThePartsWithNothingBetween) {
    EXPECT_EQ(ComposeShareText(kCipher, kTable), u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}");
    EXPECT_EQ(ComposeShareText(u"", u""), u"心情：解密钥匙：");
}

TEST(SharePostTest, AComposedTextSplitsIntoItsParts) {
    ExpectParts(ComposeShareText(kCipher, kTable), kCipher, kTable);
}

TEST(SharePostTest, TextAroundThePostIsDropped) {
    ExpectParts(
        u"小明 5月1日 12:00 来自网页\r\n心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}\r\n"
        u"转发(3) 评论 赞",
        kCipher, kTable);
    // A reply right behind the table, without a blank.
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}回复小红：看不懂", kCipher, kTable);
    // Letters behind the table end it even when they begin like a separator.
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}UG", kCipher, kTable);
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}UUA!", kCipher, kTable);
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!} http://t.cn/abc", kCipher, kTable);
}

TEST(SharePostTest, BothColonsAndAnyBlanksAndLineBreaksAroundTheParts) {
    ExpectParts(u"心情:@%*@UUA~|@UUA^!解密钥匙:@~UGA}{UGA!}", kCipher, kTable);
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙:@~UGA}{UGA!}", kCipher, kTable);
    ExpectParts(u"心情 ：\r\n  @%*@UUA~|@UUA^!  \r\n\r\n解密钥匙 :\r\n\t@~UGA}{UGA!}\r\n", kCipher,
                kTable);
    ExpectParts(u"心情：\n@%*@UUA~|@UUA^!\n解密钥匙：\n@~UGA}{UGA!}\n", kCipher, kTable);
    // Full-width and no-break spaces come with text copied from web pages.
    ExpectParts(u"心情：\u3000@%*@UUA~|@UUA^!\u00A0解密钥匙：\u3000@~UGA}{UGA!}\u3000", kCipher,
                kTable);
}

TEST(SharePostTest, WithoutBothMarkersThereIsNoPost) {
    EXPECT_FALSE(SplitPost(u""));
    EXPECT_FALSE(SplitPost(kCipher));
    // A post without a table.
    EXPECT_FALSE(SplitPost(u"心情：@%*@UUA~|@UUA^!"));
    EXPECT_FALSE(SplitPost(u"今天心情很好\r\n转发"));
    // Without the mood marker.
    EXPECT_FALSE(SplitPost(u"@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}"));
    // The words without a colon are no markers.
    EXPECT_FALSE(SplitPost(u"心情@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}"));
    EXPECT_FALSE(SplitPost(u"心情：@%*@UUA~|@UUA^!解密钥匙@~UGA}{UGA!}"));
    // The key marker counts only behind the mood marker.
    EXPECT_FALSE(SplitPost(u"解密钥匙：@~UGA}{UGA!} 心情：@%*@UUA~|@UUA^!"));
}

TEST(SharePostTest, TheMarkerNearestTheTableStartsTheCipherText) {
    ExpectParts(u"我的心情：不错。今天的心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}", kCipher,
                kTable);
    // Two posts one after the other: the first one.
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}\n心情：~~UUA!解密钥匙：@@UGA~",
                kCipher, kTable);
    // The word without a colon inside the remark does not count.
    ExpectParts(u"心情：心情 好 @%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}", u"心情好@%*@UUA~|@UUA^!",
                kTable);
}

TEST(SharePostTest, TablesInDigitFormAndWithNegativeElementsAreKept) {
    ExpectParts(u"心情：3693UUA103UUA72解密钥匙：31UGA48UGA24。", u"3693UUA103UUA72",
                u"31UGA48UGA24");
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：-~!UGA-%UGA-}，", kCipher, u"-~!UGA-%UGA-}");
}

TEST(SharePostTest, ACutOffPostGivesEmptyParts) {
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：", kCipher, u"");
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：  （见评论）", kCipher, u"");
    ExpectParts(u"心情：\r\n解密钥匙：@~UGA}{UGA!}", u"", kTable);
}

TEST(SharePostTest, BlanksAndLineBreaksInsideBothPartsAreDropped) {
    ExpectParts(u"心情：@%*@U\r\nUA~| @UUA^!解密钥匙：@~UG\nA}\u200B{UGA!}", kCipher, kTable);
    ExpectParts(u"心\r\n情：@%*@UUA~|@UUA^!解密\u3000钥匙：@~UGA}{U\u00A0GA\uFEFF!}", kCipher,
                kTable);
    // Behind a complete table a break still ends it: a date, a mention and
    // a count from the page stay out.
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!}\r\n12:30 @小红 3", kCipher, kTable);
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA!} @小红", kCipher, kTable);
    // A table whose last element went to the next line.
    ExpectParts(u"心情：@%*@UUA~|@UUA^!解密钥匙：@~UGA}{UGA\r\n!}\r\n转发", kCipher, kTable);
}

// Mail and chat programs wrap long lines anywhere: the post decodes to the
// same mood with a break at any position.
TEST(SharePostTest, ABreakAtEveryPositionOfAPostDecodesTheSameMood) {
    const std::u16string mood = u"今天很好我们明天一起去公园散步吧朋友们";
    int draw = 0;
    const OffsetSource offsets = [&draw] { return draw++ % 26 + 1; };
    const auto pair = Encrypt(mood + u"F", 17, 23, offsets);
    ASSERT_TRUE(pair.has_value());
    const std::u16string post = ComposeShareText(pair->cipherText, pair->codeTable);
    for (const std::u16string_view lineBreak : {u"\r\n", u"\n", u" ", u"\u3000", u"\u200B"}) {
        for (size_t at = 0; at <= post.size(); ++at) {
            std::u16string broken = post;
            broken.insert(at, lineBreak);
            const auto parts = SplitPost(u"小明：\r\n" + broken + u"\r\n转发 评论");
            ASSERT_TRUE(parts.has_value()) << at;
            EXPECT_EQ(Decrypt(parts->cipherText, parts->codeTable, 17, 23), mood)
                << "break " << lineBreak.size() << " units at " << at;
        }
    }
}

TEST(SharePostTest, AnEncryptedMoodComesBackFromAPostWithTextAround) {
    const std::u16string mood = u"今天下雨了\r\nbut ok 100% & more";
    int draw = 0;
    const OffsetSource offsets = [&draw] { return draw++ % 26 + 1; };
    for (const auto& [first, second] : {std::pair<int16_t, int16_t>{7, 3}, {-5, -12}}) {
        const auto pair = Encrypt(mood + u"F", first, second, offsets);
        ASSERT_TRUE(pair.has_value());
        const std::u16string post =
            u"转自小明：\n" + ComposeShareText(pair->cipherText, pair->codeTable) + u"\n— 分享";
        const auto parts = SplitPost(post);
        ASSERT_TRUE(parts.has_value());
        EXPECT_EQ(parts->cipherText, pair->cipherText);
        EXPECT_EQ(parts->codeTable, pair->codeTable);
        EXPECT_EQ(Decrypt(parts->cipherText, parts->codeTable, first, second), mood);
    }
}

}  // namespace
}  // namespace velotan::cipher
