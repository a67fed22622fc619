#include "cipher/Cipher.h"

#include <gtest/gtest.h>

#include <deque>

#include "common/CommaLocale.h"
#include "encoding/Cp936.h"

using namespace velotan::cipher;

namespace {

// Hands out the given offsets in order.
OffsetSource Offsets(std::deque<int> values) {
    auto q = std::make_shared<std::deque<int>>(std::move(values));
    return [q] {
        int v = q->front();
        q->pop_front();
        return v;
    };
}

std::u16string Symbols(std::u16string digits) {
    for (auto& c : digits)
        c = DigitSymbol(c);
    return digits;
}

}  // namespace

TEST(Encrypt, WorkedExamples) {
    auto r = Encrypt(u"a", 3, 5, Offsets({2}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->cipherText, u"**");  // 97 + 2 = 99
    EXPECT_EQ(r->codeTable, u"~~");   // 2 * 3 + 5 = 11

    r = Encrypt(u"你", 1, 0, Offsets({26}));
    EXPECT_EQ(r->cipherText, u"@%*@");  // 3667 + 26 = 3693
    EXPECT_EQ(r->codeTable, u"!%");     // 26
}

TEST(Encrypt, ElementsAndSeparators) {
    // Empty text: nothing at all; one character: no separator.
    auto r = Encrypt(u"", 1, 1, Offsets({}));
    EXPECT_EQ(r->cipherText, u"");
    EXPECT_EQ(r->codeTable, u"");
    r = Encrypt(u"F", 2, 1, Offsets({4}));
    EXPECT_EQ(r->cipherText, Symbols(u"74"));
    EXPECT_EQ(r->codeTable, u"*");
    // CR and LF are elements of their own; 99 + 1 = 100 is written "~||".
    r = Encrypt(u"\r\nc", 1, 0, Offsets({1, 2, 1}));
    EXPECT_EQ(r->cipherText, Symbols(u"14") + u"UUA" + Symbols(u"12") + u"UUA~||");
    EXPECT_EQ(r->codeTable, u"~UGA!UGA~");
}

TEST(Encrypt, ZeroAndNegativeKeys) {
    auto r = Encrypt(u"ab", 0, 0, Offsets({3, 9}));
    EXPECT_EQ(r->codeTable, u"|UGA|");
    r = Encrypt(u"a", -4, 1, Offsets({2}));
    EXPECT_EQ(r->codeTable, u"-^");  // 2 * -4 + 1 = -7
}

TEST(Encrypt, CharacterCodes) {
    using velotan::encoding::AnsiValues;
    EXPECT_EQ(CharacterCode(AnsiValues(u"你")[0]), 3667);
    EXPECT_EQ(CharacterCode(AnsiValues(u"啊")[0]), 1601);
    // Zone 01, position 02 keeps no leading zero: 0102 -> 102.
    EXPECT_EQ(CharacterCode(AnsiValues(u"、")[0]), 102);
    // GBK outside GB2312: 丂 is 81 40, parts -31 and -96; the second "-"
    // ends the number.
    EXPECT_EQ(CharacterCode(AnsiValues(u"丂")[0]), -31);
    // Lead 0xB0 (16), trail 0x40 (-96): "16-96" reads as 16.
    EXPECT_EQ(CharacterCode(static_cast<int16_t>(0xB040)), 16);
    // Lead 0x9B (-5), trail 0xA1 (1): "-0501" reads as -501.
    EXPECT_EQ(CharacterCode(static_cast<int16_t>(0x9BA1)), -501);
    EXPECT_EQ(CharacterCode(127), 127);
    // The euro sign cannot be carried and goes as "?".
    EXPECT_EQ(AnsiValues(u"€")[0], 63);
}

TEST(Encrypt, NegativeElementsKeepTheirSign) {
    auto r = Encrypt(u"丂", 1, 0, Offsets({5}));
    EXPECT_EQ(r->cipherText, u"-!%");  // -31 + 5 = -26
}

TEST(Encrypt, RefusesTextsTheFormatCannotCount) {
    std::u16string text(kMaxPlainLength, u'a');
    EXPECT_TRUE(Encrypt(text, 1, 1, [] { return 1; }));
    text.push_back(u'a');
    EXPECT_FALSE(Encrypt(text, 1, 1, [] { return 1; }));
}

TEST(Decrypt, DropsTheLastElementAndReadsDigitForm) {
    // "Hi" + sentinel with keys 3, 2 and offsets 1, 2, 3.
    auto r = Encrypt(u"HiF", 3, 2, Offsets({1, 2, 3}));
    EXPECT_EQ(Decrypt(r->cipherText, r->codeTable, 3, 2), u"Hi");
    // The same texts already in digits.
    EXPECT_EQ(Decrypt(u"73UUA107UUA73", u"5UGA8UGA11", 3, 2), u"Hi");
    // A pasted code table with a trailing line break.
    EXPECT_EQ(Decrypt(r->cipherText, r->codeTable + u"\r\n", 3, 2), u"Hi");
    // One element only: nothing to decode.
    EXPECT_EQ(Decrypt(u"{~", u"*", 1, 1), u"");
    EXPECT_EQ(Decrypt(u"", u"", 1, 1), u"");
}

TEST(Decrypt, EdgeValues) {
    // A cipher element equal to its offset is the NUL character.
    EXPECT_EQ(Decrypt(u"5UUA0", u"5UGA0", 1, 0), std::u16string(1, u'\0'));
    // First key 0: every offset counts as 0.
    EXPECT_EQ(Decrypt(u"65UUA66UUA0", u"0UGA0UGA0", 0, 0), u"AB");
    // A short code table: the surplus elements decode with offset 0.
    EXPECT_EQ(Decrypt(u"66UUA67UUA0", u"1", 1, 0), u"BC");
    EXPECT_EQ(Decrypt(u"66UUA67UUA0", u"1UGA", 1, 0), u"AC");
    // Extra code-table elements are ignored.
    EXPECT_EQ(Decrypt(u"66UUA0", u"1UGA2UGA3UGA", 1, 0), u"A");
}

TEST(Decrypt, LongElementsReadAsTheirLeadingNumber) {
    // A leading blank sends an element to the general reader; plain digit
    // runs of any length must read the same (twenty digits overflowed once).
    for (std::u16string digits : {u"366700000000000", u"3667000000000000", u"77777777777777777777",
                                  u"~@%^||||||||||||||||||||||||||"}) {
        SCOPED_TRACE(std::string(digits.begin(), digits.end()));
        const std::u16string plain = Decrypt(digits + u"UUA0", u"1UGA0", 1, 0);
        EXPECT_EQ(plain.size(), 1u);
        EXPECT_EQ(plain, Decrypt(u" " + digits + u"UUA0", u"1UGA0", 1, 0));
    }
}

TEST(Decrypt, RoundsHalfToEven) {
    // Keys 2, 0: table element 3 gives the offset 1.5.
    EXPECT_EQ(Decrypt(u"67UUA0", u"3UGA0", 2, 0), u"B");  // 65.5 -> 66
    EXPECT_EQ(Decrypt(u"68UUA0", u"3UGA0", 2, 0), u"B");  // 66.5 -> 66
    // In the double-byte branch the parts are read from the decimal text:
    // 3667.5 gives "36" and "67.5", which rounds to 68.
    EXPECT_EQ(Decrypt(u"3669UUA0", u"3UGA0", 2, 0), velotan::encoding::FromCp936("\xC4\xE4"));
}

// Offsets that are not whole travel through their decimal text; under a
// comma-decimal locale the same texts must decode as they do everywhere else.
TEST(Decrypt, FractionalNumbersDecodeAlikeUnderACommaLocale) {
    auto r =
        Encrypt(u"你好, world F", 7, 9, Offsets({3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    ASSERT_TRUE(r);
    // Wrong keys give fractional offsets; what they garble to is fixed.
    const std::u16string garbled = Decrypt(r->cipherText, r->codeTable, 2, 1);

    velotan::testing::CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no comma-decimal locale installed (scripts/setup generates de_DE.UTF-8)";
    // Keys 2, 0: table element 7 gives the offset 3.5, so 100 - 3.5 = 96.5 -> 96.
    EXPECT_EQ(Decrypt(u"100UUA0", u"7UGA0", 2, 0), u"`");
    // A cipher element 3667.5 gives the parts "36" and "67.5", which rounds to 68.
    EXPECT_EQ(Decrypt(u"3667.5UUA0", u"0UGA0", 1, 0), velotan::encoding::FromCp936("\xC4\xE4"));
    EXPECT_EQ(Decrypt(r->cipherText, r->codeTable, 7, 9), u"你好, world ");
    EXPECT_EQ(Decrypt(r->cipherText, r->codeTable, 2, 1), garbled);
}

TEST(Decrypt, BytesThatCannotBeSetKeepThePreviousValue) {
    // 3699: the trail part 99 + 160 is no byte, so the trail of 3667 stays.
    EXPECT_EQ(Decrypt(u"3667UUA3699UUA0", u"0UGA0UGA0", 1, 0), u"你你");
    // 9967 at the start: lead 99 + 160 is no byte and there is no previous
    // one, so no character can be formed.
    EXPECT_EQ(Decrypt(u"9967UUA0", u"0UGA0", 1, 0), u"?");
    // Wrong keys garble but never fail.
    auto r = Encrypt(u"你好F", 7, 9, Offsets({3, 4, 5}));
    EXPECT_EQ(Decrypt(r->cipherText, r->codeTable, 5, 1).size(), 2u);
}

TEST(Decrypt, ElementsOfTwentyDigitsOnEitherLine) {
    // Far longer than any number the cipher writes; read without overflow
    // (the sanitized build aborts on one), and the elements after them still
    // decode.
    const std::u16string twenty(20, u'9');
    const std::u16string cipher = twenty + u"UUA66UUA0";
    const std::u16string decoded = Decrypt(cipher, u"0UGA1UGA0", 1, 0);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[1], u'A');  // 66 - 1
    // Symbols and digits read alike, also at this length.
    EXPECT_EQ(Decrypt(Symbols(twenty) + u"UUA66UUA0", u"0UGA1UGA0", 1, 0), decoded);

    const std::u16string table = std::u16string(20, u'~') + u"UGA0UGA0";
    const std::u16string withTable = Decrypt(u"66UUA66UUA0", table, 1, 0);
    ASSERT_EQ(withTable.size(), 2u);
    EXPECT_EQ(withTable[1], u'B');
    EXPECT_EQ(Decrypt(u"66UUA66UUA0", u"11111111111111111111UGA0UGA0", 1, 0), withTable);
}

TEST(KeysFitCodeTable, TellsTheKeysATableWasMadeWith) {
    // A post made with 12 and 7: offsets 1 to 26 give 19 to 319.
    auto r = Encrypt(u"你好, world F", 12, 7, Offsets({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 26}));
    ASSERT_TRUE(r);
    // 12 and 8 round to the very text of 12 and 7; the offsets are still
    // fractions, so the check says no and the user is asked.
    ASSERT_EQ(Decrypt(r->cipherText, r->codeTable, 12, 8), u"你好, world ");
    struct Case {
        const char* what;
        std::u16string table;
        int16_t first;
        int16_t second;
        bool fits;
    };
    const Case cases[] = {
        {"the keys it was made with", r->codeTable, 12, 7, true},
        {"in digits as well", SymbolsToDigits(r->codeTable), 12, 7, true},
        {"with a pasted line break", r->codeTable + u"\r\n", 12, 7, true},
        {"a wrong first key", r->codeTable, 13, 7, false},
        {"a wrong second key", r->codeTable, 12, 9, false},
        {"near keys that round to the right text", r->codeTable, 12, 8, false},
        {"the keys swapped", r->codeTable, 7, 12, false},
        {"a first key of 0", r->codeTable, 0, 7, false},
        {"a first key of 0 on a table of 0s", u"0UGA0", 0, 0, false},
        {"offset 1 and 26, the ends of the range", u"19UGA319", 12, 7, true},
        {"offset 0", u"7UGA19", 12, 7, false},
        {"offset 27", u"19UGA331", 12, 7, false},
        {"a last element that does not fit", u"19UGA20", 12, 7, false},
        {"one element, no separator", u"~*", 12, 7, true},
        {"a negative first key", u"-^UGA-@", -4, 1, true},  // offsets 2 and 1
        {"an empty table", u"", 12, 7, false},
        {"a table of nothing but a line break", u"\r\n", 12, 7, false},
        {"an element that is no number", u"19UGAxyzUGA19", 12, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(KeysFitCodeTable(c.table, c.first, c.second), c.fits);
    }
}

TEST(UnsupportedCharacters, FindsWhatCodePage936CannotCarryOnceEach) {
    // An emoji is one character, both of its UTF-16 units.
    UnsupportedScan scan = FindUnsupportedCharacters(u"开心😀，真的😀！€", 10);
    EXPECT_EQ(scan.characters, (std::vector<std::u16string>{u"😀", u"€"}));
    EXPECT_FALSE(scan.more);
    EXPECT_EQ(UnsupportedList(scan), u"😀 €");

    // "?" itself, ASCII, GB2312 and GBK characters are carried.
    EXPECT_TRUE(FindUnsupportedCharacters(u"a?b\r\n你好，丂。", 10).characters.empty());
    EXPECT_TRUE(FindUnsupportedCharacters(u"", 10).characters.empty());

    // Hangul, a lone surrogate, and more than the limit.
    scan = FindUnsupportedCharacters(std::u16string(u"한") + char16_t(0xD800) + u"x", 10);
    EXPECT_EQ(scan.characters, (std::vector<std::u16string>{u"한", std::u16string(1, 0xD800)}));
    std::u16string many;
    for (char16_t c = 0xAC00; c < 0xAC00 + 12; ++c)
        many += c;
    scan = FindUnsupportedCharacters(many, 10);
    EXPECT_EQ(scan.characters.size(), 10u);
    EXPECT_EQ(scan.characters.front(), std::u16string(1, 0xAC00));
    EXPECT_TRUE(scan.more);
    EXPECT_EQ(UnsupportedList(scan).substr(UnsupportedList(scan).size() - 3),
              std::u16string(1, 0xAC09) + u" 等");

    // What the check finds is exactly what encryption turns into "?".
    auto pair = Encrypt(u"😀", 1, 0, [] { return 1; });
    ASSERT_TRUE(pair);
    EXPECT_EQ(SymbolsToDigits(pair->cipherText), u"64UUA64");
}
