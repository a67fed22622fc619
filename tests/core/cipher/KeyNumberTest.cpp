// Keys as the key file, the import prompts and the decode window read them.

#include "cipher/KeyNumber.h"

#include <gtest/gtest.h>

#include <string>

#include "cipher/NumberText.h"

namespace velotan::cipher {
namespace {

std::string Ascii(std::u16string_view text) {
    return std::string(text.begin(), text.end());  // enough to read a failure
}

TEST(KeyNumber, KeyFileTakesASignAndAnySixteenBitValue) {
    EXPECT_EQ(ParseKeyNumber(u"12", KeyForm::KeyFile), 12);
    EXPECT_EQ(ParseKeyNumber(u" 12 ", KeyForm::KeyFile), 12);
    EXPECT_EQ(ParseKeyNumber(u"\t-5", KeyForm::KeyFile), -5);
    EXPECT_EQ(ParseKeyNumber(u"+7", KeyForm::KeyFile), 7);
    EXPECT_EQ(ParseKeyNumber(u"0", KeyForm::KeyFile), 0);
    EXPECT_EQ(ParseKeyNumber(u"-32768", KeyForm::KeyFile), -32768);
    EXPECT_EQ(ParseKeyNumber(u"32767", KeyForm::KeyFile), 32767);
    for (const std::u16string text : {u"32768", u"-32769", u"1.5", u"", u"-", u"+", u"- 5", u"1 2",
                                      u"12a", u"\u300012", u"99999999999999999999"}) {
        EXPECT_EQ(ParseKeyNumber(text, KeyForm::KeyFile), std::nullopt) << Ascii(text);
    }
}

TEST(KeyNumber, ImportedKeysAreWholeNumbersFromOneTo255) {
    EXPECT_EQ(ParseKeyNumber(u"1", KeyForm::Imported), 1);
    EXPECT_EQ(ParseKeyNumber(u"12", KeyForm::Imported), 12);
    EXPECT_EQ(ParseKeyNumber(u"255", KeyForm::Imported), 255);
    EXPECT_EQ(ParseKeyNumber(u" 200 ", KeyForm::Imported), 200);
    // An ideographic space from a Chinese input method.
    EXPECT_EQ(ParseKeyNumber(u"\u3000"
                             u"39",
                             KeyForm::Imported),
              39);
    EXPECT_EQ(ParseKeyNumber(u"007", KeyForm::Imported), 7);
    EXPECT_EQ(ParseKeyNumber(u"0000000000000000000000012", KeyForm::Imported), 12);
    for (const std::u16string text :
         {u"", u"  ", u"0", u"000", u"256", u"1000", u"-1", u"+5", u"1.5", u"3,5", u"12a", u"a12",
          u"1 2", u"１２", u"99999999999999999999999", u"0x1F"}) {
        EXPECT_EQ(ParseKeyNumber(text, KeyForm::Imported), std::nullopt) << Ascii(text);
    }
}

TEST(KeyNumber, SendersKeysRoundHalvesToEvenWithinSixteenBits) {
    EXPECT_EQ(ParseKeyNumber(u"3.5", KeyForm::SendersKey), 4);
    EXPECT_EQ(ParseKeyNumber(u"2.5", KeyForm::SendersKey), 2);
    EXPECT_EQ(ParseKeyNumber(u" 5 ", KeyForm::SendersKey), 5);
    EXPECT_EQ(ParseKeyNumber(u"-7", KeyForm::SendersKey), -7);
    EXPECT_EQ(ParseKeyNumber(u"-32768", KeyForm::SendersKey), -32768);
    EXPECT_EQ(ParseKeyNumber(u"32767", KeyForm::SendersKey), 32767);
    EXPECT_EQ(ParseKeyNumber(u"32767.4", KeyForm::SendersKey), 32767);
    EXPECT_EQ(ParseKeyNumber(u"1e2", KeyForm::SendersKey), 100);
    EXPECT_EQ(ParseKeyNumber(u"7\r\n", KeyForm::SendersKey), 7);  // pasted with its line break
    for (const std::u16string text :
         {u"abc", u"40000", u"-32769", u"7x", u" ", u"", u"32767.5", u"1e9", u"3-"}) {
        EXPECT_EQ(ParseKeyNumber(text, KeyForm::SendersKey), std::nullopt) << Ascii(text);
    }
}

TEST(Blanks, EachRuleAddsItsOwnBlankToSpaceAndTab) {
    for (Blanks set : {Blanks::SpaceTab, Blanks::WithLineFeed, Blanks::WithIdeographicSpace}) {
        EXPECT_TRUE(IsBlank(u' ', set));
        EXPECT_TRUE(IsBlank(u'\t', set));
        EXPECT_FALSE(IsBlank(u'\r', set));
        EXPECT_FALSE(IsBlank(u'0', set));
    }
    EXPECT_TRUE(IsBlank(u'\n', Blanks::WithLineFeed));
    EXPECT_FALSE(IsBlank(u'\n', Blanks::SpaceTab));
    EXPECT_FALSE(IsBlank(u'\n', Blanks::WithIdeographicSpace));
    EXPECT_TRUE(IsBlank(u'\u3000', Blanks::WithIdeographicSpace));
    EXPECT_FALSE(IsBlank(u'\u3000', Blanks::SpaceTab));
    EXPECT_FALSE(IsBlank(u'\u3000', Blanks::WithLineFeed));

    EXPECT_EQ(TrimBlanks(u" \t a b \t", Blanks::SpaceTab), u"a b");
    EXPECT_EQ(TrimBlanks(u"\u3000a\u3000", Blanks::SpaceTab), u"\u3000a\u3000");
    EXPECT_EQ(TrimBlanks(u"\u3000a\u3000", Blanks::WithIdeographicSpace), u"a");
    EXPECT_EQ(TrimBlanks(u"  ", Blanks::SpaceTab), u"");
    // The classic conversion passes over line feeds inside a number too.
    EXPECT_EQ(LeadingNumber(u"1\n2"), 12);
    EXPECT_EQ(LeadingNumber(u"1\u30002"), 1);
}

}  // namespace
}  // namespace velotan::cipher
