// Taking a copied post apart: any text a reader pastes, with whatever a page
// put around it. Where a post is found, its table holds only code-table
// characters, its cipher text no blanks or line breaks at all, and composing
// the two parts again and taking that apart gives the same parts.
//
// Input: mode (1 byte; bit 0: raw UTF-16 text, bit 1: code page 936 bytes,
// otherwise UTF-8), then the text.

#include "FuzzSupport.h"
#include "cipher/SharePost.h"
#include "encoding/Cp936.h"

namespace {

using velotan::cipher::IsBlankInPost;

// Symbols, digits, "-" and whole "UGA" separators only.
bool IsCodeTable(std::u16string_view table) {
    for (size_t i = 0; i < table.size();) {
        if (table.substr(i, 3) == u"UGA") {
            i += 3;
        } else if (std::u16string_view(u"~!@}$%^{*|-0123456789").find(table[i]) !=
                   std::u16string_view::npos) {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const std::string_view bytes = in.Rest();
    std::u16string text;
    if (mode & 1) {
        text = fuzz::TextFrom(bytes, true);
    } else if (mode & 2) {
        text = fuzz::TextFrom(bytes, false);
    } else if (!encoding::Utf8ToUtf16(bytes, text)) {
        return 0;
    }

    const auto parts = cipher::SplitPost(text);
    if (!parts) {
        return 0;
    }
    // A marker may be broken by blanks, as a wrapped line breaks it.
    std::u16string closed;
    for (char16_t c : text) {
        if (!IsBlankInPost(c))
            closed += c;
    }
    FUZZ_CHECK(closed.find(u"心情") != std::u16string::npos);
    FUZZ_CHECK(closed.find(u"解密钥匙") != std::u16string::npos);
    FUZZ_CHECK(IsCodeTable(parts->codeTable));
    for (char16_t c : parts->cipherText)
        FUZZ_CHECK(!IsBlankInPost(c));
    FUZZ_CHECK(parts->cipherText.size() + parts->codeTable.size() <= text.size());

    const auto again =
        cipher::SplitPost(cipher::ComposeShareText(parts->cipherText, parts->codeTable));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->cipherText == parts->cipherText);
    FUZZ_CHECK(again->codeTable == parts->codeTable);
    return 0;
}
