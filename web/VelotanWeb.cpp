// The web page's way into the core: plain C functions over UTF-16 buffers,
// called from VelotanApi.js. Splitting a post, reading keys, decrypting and
// encrypting are the program's own code; only the random source differs.

#include <emscripten/emscripten.h>

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "SymbolFile.h"
#include "cipher/Cipher.h"
#include "cipher/NumberText.h"
#include "cipher/SharePost.h"
#include "cipher/SymbolSubstitution.h"

namespace {

using namespace velotan;

// What the last call produced, read by the caller before the next one.
std::array<std::u16string, 3> results;

std::u16string_view Text(const char16_t* text, int length) {
    return length > 0 ? std::u16string_view(text, static_cast<size_t>(length))
                      : std::u16string_view();
}

// The browser's cryptographic source, crypto.getRandomValues. Node has the
// same object as a global only from version 19 (Debian 12 has 18), and
// always as require('crypto').webcrypto.
// clang-format off
EM_JS(void, FillRandom, (uint8_t * buffer, int size), {
    var source = typeof crypto === 'object' && crypto.getRandomValues
                     ? crypto
                     : require('crypto').webcrypto;
    source.getRandomValues(HEAPU8.subarray(buffer, buffer + size));
});
// clang-format on

// Offsets 1 to 26, uniform: bytes from 234 up (26 * 9) are drawn again.
class CryptoOffsets {
  public:
    int operator()() {
        for (;;) {
            if (next_ == bytes_.size()) {
                FillRandom(bytes_.data(), static_cast<int>(bytes_.size()));
                next_ = 0;
            }
            const uint8_t b = bytes_[next_++];
            if (b < 234)
                return b % 26 + 1;
        }
    }

  private:
    std::array<uint8_t, 256> bytes_{};
    size_t next_ = bytes_.size();
};

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char16_t* velotan_result(int slot) {
    return results.at(static_cast<size_t>(slot)).data();
}

EMSCRIPTEN_KEEPALIVE int velotan_result_length(int slot) {
    return static_cast<int>(results.at(static_cast<size_t>(slot)).size());
}

// A whole post: 1 with the cipher text in slot 0 and the code table in slot
// 1, 0 when the post holds neither marker.
EMSCRIPTEN_KEEPALIVE int velotan_split_post(const char16_t* post, int length) {
    const auto parts = cipher::SplitPost(Text(post, length));
    if (!parts)
        return 0;
    results[0] = parts->cipherText;
    results[1] = parts->codeTable;
    return 1;
}

// A typed key as the decode window reads it, or INT_MIN when it is none.
EMSCRIPTEN_KEEPALIVE int velotan_key_number(const char16_t* text, int length) {
    const auto key = cipher::KeyNumber(Text(text, length));
    return key ? *key : INT_MIN;
}

// The plain text into slot 0, the punctuation put back.
EMSCRIPTEN_KEEPALIVE void velotan_decrypt(const char16_t* cipherText, int cipherLength,
                                          const char16_t* codeTable, int tableLength, int firstKey,
                                          int secondKey) {
    results[0] = cipher::RestoreSymbolsFromBytes(
        cipher::Decrypt(Text(cipherText, cipherLength), Text(codeTable, tableLength),
                        static_cast<int16_t>(firstKey), static_cast<int16_t>(secondKey)),
        web::SymbolFileBytes());
}

// Encrypts as the program's encrypt command does: punctuation to
// placeholders, the end marker "F", then the cipher. 1 with the cipher text,
// the code table and the share text in slots 0 to 2; 0 when the text is
// too long for the cipher.
EMSCRIPTEN_KEEPALIVE int velotan_encrypt(const char16_t* plain, int length, int firstKey,
                                         int secondKey) {
    const std::u16string content =
        cipher::ReplaceSymbolsFromBytes(std::u16string(Text(plain, length)),
                                        web::SymbolFileBytes()) +
        u"F";
    CryptoOffsets offsets;
    const auto pair = cipher::Encrypt(content, static_cast<int16_t>(firstKey),
                                      static_cast<int16_t>(secondKey), std::ref(offsets));
    if (!pair)
        return 0;
    results[0] = pair->cipherText;
    results[1] = pair->codeTable;
    results[2] = cipher::ComposeShareText(pair->cipherText, pair->codeTable);
    return 1;
}

}  // extern "C"
