// Random texts of the kinds users type go through encryption and decryption
// and must come back unchanged.

#include <gtest/gtest.h>

#include <random>

#include "cipher/Cipher.h"
#include "cipher/ModEncrypt.h"
#include "cipher/SymbolSubstitution.h"
#include "common/MockMessenger.h"
#include "encoding/Cp936.h"

using namespace velotan::cipher;

namespace {

std::vector<char16_t> Gb2312Hanzi() {
    std::vector<char16_t> out;
    for (int zone = 16; zone <= 87; ++zone) {
        for (int pos = 1; pos <= 94; ++pos) {
            char bytes[2] = {static_cast<char>(zone + 0xA0), static_cast<char>(pos + 0xA0)};
            auto t = velotan::encoding::FromCp936(std::string_view(bytes, 2));
            if (t.size() == 1 && t[0] != u'?')
                out.push_back(t[0]);
        }
    }
    return out;
}

}  // namespace

TEST(RoundTrip, RandomTextsSurviveEncryptionAndDecryption) {
    const auto hanzi = Gb2312Hanzi();
    ASSERT_GT(hanzi.size(), 6000u);
    const std::u16string ascii =
        u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
        u".,;:!?'\"()[]-_+=*/\\|~@#%^&<>`\t";

    velotan::testing::MockMessenger messenger;
    ModEncrypt engine(VELOTAN_DATA_DIR, messenger, [] { return velotan::platform::DriveMap(); });
    std::mt19937 rng(20261207);
    for (int round = 0; round < 400; ++round) {
        std::u16string text;
        const int length = static_cast<int>(rng() % 120);
        for (int i = 0; i < length; ++i) {
            switch (rng() % 5) {
                case 0:
                    text += ascii[rng() % ascii.size()];
                    break;
                case 1:
                    text += u"\r\n";
                    break;
                case 2:
                    text += kMarks[rng() % kMarks.size()];
                    break;
                default:
                    text += hanzi[rng() % hanzi.size()];
                    break;
            }
        }
        engine.FirstKey = static_cast<int16_t>(1 + rng() % 39);
        engine.SecondKey = static_cast<int16_t>(1 + rng() % 39);
        ASSERT_TRUE(engine.EncryptText(ReplaceSymbols(text, engine.SymbolFile()) + u"F"));
        // The cipher text uses only the ten symbols and its separator.
        ASSERT_EQ(engine.ResultText.find_first_not_of(u"~!@}$%^{*|UA"), std::u16string::npos);
        ASSERT_EQ(engine.CodeTable.find_first_not_of(u"~!@}$%^{*|UGA"), std::u16string::npos);
        const auto cipherText = engine.ResultText;
        engine.DecryptText(cipherText, engine.CodeTable);
        ASSERT_EQ(engine.ResultText, text) << "round " << round;
    }
}
