// The engine's run state around encryption and decryption: someone else's
// keys never replace the user's, and only this run's cipher text counts as one.

#include "cipher/ModEncrypt.h"

#include <gtest/gtest.h>

#include "cipher/Cipher.h"
#include "cipher/SymbolSubstitution.h"
#include "common/MockMessenger.h"

namespace velotan::cipher {
namespace {

class ModEncryptTest : public ::testing::Test {
  protected:
    ModEncryptTest() : engine_(VELOTAN_DATA_DIR, messenger_, [] { return platform::DriveMap(); }) {
        engine_.FirstKey = 12;
        engine_.SecondKey = 200;
        engine_.SetDraw([this](int lo, int hi) { return lo + next_++ % (hi - lo + 1); });
    }
    // What the sender's program makes of `plain`.
    CipherPair Sent(const std::u16string& plain, int16_t first, int16_t second) {
        int offset = 0;
        auto pair = Encrypt(ReplaceSymbols(plain, engine_.SymbolFile()) + u"F", first, second,
                            [&] { return offset++ % 26 + 1; });
        EXPECT_TRUE(pair.has_value());
        return pair.value_or(CipherPair{});
    }

    testing::MockMessenger messenger_;
    ModEncrypt engine_;
    int next_ = 0;
};

TEST_F(ModEncryptTest, DecryptWithTheSendersKeysLeavesTheOwnPair) {
    const std::u16string plain = u"他说：“今天很好。”\r\nHello, 世界!";
    const CipherPair sent = Sent(plain, 7, 3);
    engine_.DecryptWith(7, 3, sent.cipherText, sent.codeTable);
    EXPECT_EQ(engine_.ResultText, plain);  // punctuation restored as well
    EXPECT_EQ(engine_.FirstKey, 12);
    EXPECT_EQ(engine_.SecondKey, 200);
    EXPECT_TRUE(engine_.KeyLine.empty());

    // DecryptText is the same with the pair in force.
    engine_.DecryptText(sent.cipherText, sent.codeTable);
    EXPECT_NE(engine_.ResultText, plain);
    engine_.FirstKey = 7;
    engine_.SecondKey = 3;
    engine_.DecryptText(sent.cipherText, sent.codeTable);
    EXPECT_EQ(engine_.ResultText, plain);
}

TEST_F(ModEncryptTest, OnlyThisRunsEncryptionHoldsACipherText) {
    EXPECT_FALSE(engine_.HoldsCipherText());
    ASSERT_TRUE(engine_.EncryptText(u"心情F"));
    EXPECT_TRUE(engine_.HoldsCipherText());
    const std::u16string cipherText = engine_.ResultText;

    // A decryption leaves plain text where the cipher text was.
    engine_.DecryptText(cipherText, engine_.CodeTable);
    EXPECT_EQ(engine_.ResultText, u"心情");
    EXPECT_FALSE(engine_.HoldsCipherText());

    // Put back by hand, the very same text counts again; any other does not.
    engine_.ResultText = cipherText;
    EXPECT_TRUE(engine_.HoldsCipherText());
    engine_.ResultText = Sent(u"别人的", 12, 200).cipherText;
    EXPECT_FALSE(engine_.HoldsCipherText());
    engine_.ResultText.clear();
    EXPECT_FALSE(engine_.HoldsCipherText());

    // A refused encryption changes nothing.
    ASSERT_TRUE(engine_.EncryptText(u"F"));
    const std::u16string sentinelOnly = engine_.ResultText;
    EXPECT_FALSE(engine_.EncryptText(std::u16string(40000, u'a')));
    EXPECT_EQ(engine_.ResultText, sentinelOnly);
    EXPECT_TRUE(engine_.HoldsCipherText());
}

}  // namespace
}  // namespace velotan::cipher
