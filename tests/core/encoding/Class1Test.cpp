#include "encoding/Class1.h"

#include <gtest/gtest.h>

#include <random>

#include "encoding/Cp936.h"

using velotan::encoding::Class1;

TEST(Class1, KnownVectors) {
    Class1 c;
    EXPECT_EQ(c.Base64Encode(u"abc"), u"YWJj");
    EXPECT_EQ(c.Base64Encode(u"a"), u"YQ==");
    EXPECT_EQ(c.Base64Encode(u"ab"), u"YWI=");
    EXPECT_EQ(c.Base64Encode(u""), u"");
    EXPECT_EQ(c.Base64Encode(u"啊"), u"sKE=");
    EXPECT_EQ(c.Base64Decode(u"sKE="), u"啊");
    EXPECT_EQ(c.Base64Decode(u"YWJj"), u"abc");
    EXPECT_EQ(c.Base64Decode(u"YQ=="), u"a");
    EXPECT_EQ(c.Base64Decode(u""), u"");
    // The two symbols at the top of the alphabet.
    EXPECT_EQ(c.Base64Encode(u"~~~"), u"fn5+");
    EXPECT_EQ(c.Base64Encode(u"???"), u"Pz8/");
    EXPECT_EQ(c.Base64Decode(u"fn5+Pz8/"), u"~~~???");
}

TEST(Class1, ShortAndStrayTails) {
    Class1 c;
    // A stray last character is ignored.
    EXPECT_EQ(c.Base64Decode(u"YWJjY"), u"abc");
    // Two or three leftover characters decode as if padded.
    EXPECT_EQ(c.Base64Decode(u"YWJjYQ"), u"abca");
    EXPECT_EQ(c.Base64Decode(u"YWJjYWI"), u"abcab");
    EXPECT_EQ(c.Base64Decode(u"Y"), u"");
}

TEST(Class1, CharactersOutsideTheAlphabetCountAsPadding) {
    Class1 c;
    // "!" is not in the alphabet: value 0, and the group yields one byte less.
    EXPECT_EQ(c.Base64Decode(u"YWJ!"), u"ab");
    EXPECT_EQ(c.Base64Decode(u"===="), u"");
    // A Chinese character is two bytes, both outside the alphabet.
    EXPECT_EQ(c.Base64Decode(u"YW你"), u"a");
}

TEST(Class1, RoundTripsLongTextsWithoutLineBreaks) {
    Class1 c;
    std::mt19937 rng(7);
    for (size_t bytes : {1u, 2u, 3u, 100u, 24573u, 40000u}) {
        std::u16string t;
        for (size_t n = 0; n < bytes;) {
            bool wide = rng() % 3 == 0 && n + 2 <= bytes;
            t += wide ? u'密' : static_cast<char16_t>(32 + rng() % 95);
            n += wide ? 2 : 1;
        }
        ASSERT_EQ(velotan::encoding::ToCp936(t).size(), bytes);
        auto enc = c.Base64Encode(t);
        EXPECT_EQ(enc.find(u'\n'), std::u16string::npos);
        EXPECT_EQ(enc.size() % 4, 0u);
        EXPECT_EQ(c.Base64Decode(enc), t) << bytes;
    }
}

TEST(Class1, AnsiBytesLeadByteFirst) {
    EXPECT_EQ(Class1::TextToAnsiBytes(u"a啊"), "a\xB0\xA1");
}
