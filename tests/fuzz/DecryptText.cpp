// DecryptText: a cipher text, a code table and two keys, decrypted with the
// shipped symbolhandle.ini. Besides "no crash, no sanitizer report" it checks
// that one character comes out per decoded element, and that what Encrypt
// makes from a text decrypts back to it.
//
// Input: first key (2 bytes), second key (2), mode (1), cipher text, NUL,
// code table. Mode bit 0: texts are raw UTF-16; bit 1: also encrypt the
// cipher field's decodable characters and decrypt them again.

#include <string>

#include "FuzzSupport.h"
#include "cipher/Cipher.h"
#include "cipher/ModEncrypt.h"
#include "encoding/Cp936.h"

namespace {

using namespace velotan;

class SilentMessenger final : public platform::Messenger {
  public:
    platform::MsgResult MsgBox(const std::u16string&, int, const std::u16string&) override {
        return platform::MsgResult::Ok;
    }
};

size_t CountSeparators(std::u16string_view text, std::u16string_view sep) {
    size_t n = 0;
    for (size_t at = text.find(sep); at != std::u16string_view::npos;
         at = text.find(sep, at + sep.size())) {
        ++n;
    }
    return n;
}

// Characters the cipher carries unchanged: ASCII and the GB2312 characters
// of zones 16 to 87 (the hanzi).
std::u16string Carried(const std::u16string& text) {
    const std::vector<int16_t> values = encoding::AnsiValues(text);
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<uint16_t>(values[i]);
        const int lead = u >> 8, trail = u & 0xFF;
        if (values[i] >= 0 && values[i] <= 127 && text[i] == static_cast<char16_t>(values[i])) {
            // (What the code page lacks is 63 too, and comes back as "?".)
            out.push_back(text[i]);
        } else if (lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE &&
                   text[i] != encoding::kReplacement) {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const auto firstKey = static_cast<int16_t>(in.U16());
    const auto secondKey = static_cast<int16_t>(in.U16());
    const uint8_t mode = in.Byte();
    const std::u16string cipherText = fuzz::TextFrom(in.Field(), mode & 1);
    const std::u16string codeTable = fuzz::TextFrom(in.Rest(), mode & 1);

    static SilentMessenger messenger;
    static cipher::ModEncrypt engine(VELOTAN_DATA_DIR, messenger,
                                     [] { return platform::DriveMap(); });
    engine.FirstKey = firstKey;
    engine.SecondKey = secondKey;
    engine.DecryptText(cipherText, codeTable);

    // One character per element that a separator ends, before the marks
    // come back.
    const std::u16string plain = cipher::Decrypt(cipherText, codeTable, firstKey, secondKey);
    FUZZ_CHECK(plain.size() == CountSeparators(cipherText, cipher::kCipherSeparator));

    if ((mode & 2) && firstKey != 0) {
        const std::u16string text = Carried(cipherText);
        if (text.size() + 1 <= cipher::kMaxPlainLength) {
            // Offsets from the code table's bytes: any sequence of 1..26.
            size_t next = 0;
            auto offsets = [&] {
                const int o = codeTable.empty() ? 1 : 1 + codeTable[next++ % codeTable.size()] % 26;
                return o;
            };
            const auto pair = cipher::Encrypt(text + u"F", firstKey, secondKey, offsets);
            FUZZ_CHECK(pair.has_value());
            FUZZ_CHECK(cipher::Decrypt(pair->cipherText, pair->codeTable, firstKey, secondKey) ==
                       text);
        }
    }
    return 0;
}
