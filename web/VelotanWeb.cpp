// The web page's way into the core: plain C functions over UTF-16 buffers,
// called from VelotanApi.js. Splitting a post, reading keys, decrypting and
// encrypting, strong posts included, are the program's own code; only the
// random source of the compatible cipher differs.

#include <emscripten/emscripten.h>

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "SymbolFile.h"
#include "cipher/Cipher.h"
#include "cipher/KeyNumber.h"
#include "cipher/NumberText.h"
#include "cipher/SharePost.h"
#include "cipher/SymbolSubstitution.h"
#include "encoding/Cp936.h"
#include "strong/StrongKey.h"
#include "strong/StrongPost.h"

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

// The strong key box: one key text a line. The keys in line order with
// their line numbers (from 1, blank lines counted but skipped), or a message
// naming the first line that holds no key.
struct KeyLines {
    std::vector<strong::StrongKey> keys;
    std::vector<int> lines;
    std::string error;
};

KeyLines ReadKeyLines(std::u16string_view box, bool firstLineOnly) {
    KeyLines result;
    int number = 0;
    size_t start = 0;
    while (start <= box.size()) {
        size_t end = box.find(u'\n', start);
        if (end == std::u16string_view::npos)
            end = box.size();
        ++number;
        const std::string line = encoding::Utf16ToUtf8(box.substr(start, end - start));
        const strong::ParsedKey parsed = strong::ParseKeyText(line);
        if (parsed.key) {
            result.keys.push_back(*parsed.key);
            result.lines.push_back(number);
        } else if (parsed.error != strong::KeyTextError::Empty || firstLineOnly) {
            result.error = "强密钥第 " + std::to_string(number) + " 行：" +
                           strong::KeyTextErrorMessage(parsed.error);
            return result;
        }
        if (firstLineOnly)
            break;
        start = end + 1;
    }
    if (result.keys.empty())
        result.error = "请在强密钥框里输入密钥，每行一个！";
    return result;
}

// A UTF-8 text into slot 0, and the value to return with it.
int Reply(std::string_view utf8, int value) {
    results[0] = encoding::Utf8ToUtf16Lossy(utf8);
    return value;
}

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
    const auto key = cipher::ParseKeyNumber(Text(text, length), cipher::KeyForm::SendersKey);
    return key ? *key : INT_MIN;
}

// 1 when the keys made the code table (every offset a whole number from 1
// to 26, before any rounding); 0 when its decoding is most likely gibberish.
EMSCRIPTEN_KEEPALIVE int velotan_keys_fit(const char16_t* codeTable, int tableLength, int firstKey,
                                          int secondKey) {
    return cipher::KeysFitCodeTable(Text(codeTable, tableLength), static_cast<int16_t>(firstKey),
                                    static_cast<int16_t>(secondKey))
               ? 1
               : 0;
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

// The characters of a text that code page 936 cannot carry, at most ten,
// each followed by a space, and "等" when there are more; empty when every
// character travels. Into slot 0; returns how many were listed.
EMSCRIPTEN_KEEPALIVE int velotan_unsupported(const char16_t* text, int length) {
    const cipher::UnsupportedScan scan = cipher::FindUnsupportedCharacters(Text(text, length), 10);
    results[0] = cipher::UnsupportedList(scan);
    return static_cast<int>(scan.characters.size());
}

// 1 when the text holds a strong post marker (QL2 or any later version).
EMSCRIPTEN_KEEPALIVE int velotan_is_strong_post(const char16_t* post, int length) {
    return strong::HoldsStrongPost(encoding::Utf16ToUtf8(Text(post, length))) ? 1 : 0;
}

// Opens a strong post with every key of the key box. The line number of the
// key that opened it (from 1), with the mood in slot 0; or 0 with the
// reason in slot 0.
EMSCRIPTEN_KEEPALIVE int velotan_strong_open(const char16_t* post, int postLength,
                                             const char16_t* keyBox, int keyBoxLength) {
    const KeyLines keys = ReadKeyLines(Text(keyBox, keyBoxLength), false);
    if (!keys.error.empty())
        return Reply(keys.error, 0);
    const strong::OpenResult opened =
        strong::OpenPost(encoding::Utf16ToUtf8(Text(post, postLength)), keys.keys);
    if (opened.status != strong::OpenStatus::Opened)
        return Reply(strong::OpenStatusMessage(opened.status), 0);
    return Reply(opened.mood, keys.lines.at(opened.keyIndex));
}

// A strong post of the mood with the key on the key box's first line: 1
// with the post in slot 0, or 0 with the reason in slot 0.
EMSCRIPTEN_KEEPALIVE int velotan_strong_seal(const char16_t* mood, int moodLength,
                                             const char16_t* keyBox, int keyBoxLength) {
    const KeyLines keys = ReadKeyLines(Text(keyBox, keyBoxLength), true);
    if (!keys.error.empty())
        return Reply(keys.error, 0);
    const auto post =
        strong::SealPost(keys.keys.front(), encoding::Utf16ToUtf8(Text(mood, moodLength)));
    if (!post)
        return Reply("文本过长，无法加密！强加密的心情不能超过 " +
                         std::to_string(strong::kMaxStrongMoodBytes) + " 个字节（UTF-8，约 " +
                         std::to_string(strong::kMaxStrongMoodChars) + " 个汉字），请分段加密。",
                     0);
    return Reply(*post, 1);
}

// A new key's text, from libsodium's random source (the page's tests make
// their keys with it; the page itself only reads keys).
EMSCRIPTEN_KEEPALIVE void velotan_strong_new_key() {
    results[0] = encoding::Utf8ToUtf16Lossy(strong::KeyText(strong::NewStrongKey()));
}

}  // extern "C"
