#include "cipher/SharePost.h"

#include "cipher/Cipher.h"

namespace velotan::cipher {
namespace {

constexpr std::u16string_view kMoodMarker = u"心情";
constexpr std::u16string_view kKeyMarker = u"解密钥匙";

// Blanks and line breaks that a page or a mail program puts around a text:
// the full-width and no-break spaces come with text copied from web pages.
bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0' || c == u'\u3000';
}

bool IsColon(char16_t c) {
    return c == u':' || c == u'\uFF1A';
}

// The digit symbols, the digits themselves (a table may be passed on in
// digit form, and decryption reads it the same) and the minus sign of a
// negative key.
bool IsTableCharacter(char16_t c) {
    return std::u16string_view(u"~!@}$%^{*|-").find(c) != std::u16string_view::npos ||
           (c >= u'0' && c <= u'9');
}

size_t SkipBlanks(std::u16string_view text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

// When `word` at `pos` is followed by blanks and a colon: the position after
// the colon.
std::optional<size_t> MarkerEnd(std::u16string_view text, size_t pos, std::u16string_view word) {
    const size_t colon = SkipBlanks(text, pos + word.size());
    if (colon < text.size() && IsColon(text[colon]))
        return colon + 1;
    return std::nullopt;
}

struct Marker {
    size_t begin;  // where the word starts
    size_t end;    // just after the colon
};

std::optional<Marker> FindMarker(std::u16string_view text, std::u16string_view word, size_t from) {
    for (size_t pos = text.find(word, from); pos != std::u16string_view::npos;
         pos = text.find(word, pos + 1)) {
        if (auto end = MarkerEnd(text, pos, word))
            return Marker{pos, *end};
    }
    return std::nullopt;
}

std::u16string_view Trim(std::u16string_view text) {
    size_t begin = SkipBlanks(text, 0);
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The code table that starts at `pos`: table characters and whole "UGA"
// separators, up to the first thing that is neither.
std::u16string_view TableAt(std::u16string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size()) {
        if (IsTableCharacter(text[end])) {
            ++end;
        } else if (text.substr(end, kTableSeparator.size()) == kTableSeparator) {
            end += kTableSeparator.size();
        } else {
            break;
        }
    }
    return text.substr(pos, end - pos);
}

}  // namespace

std::u16string ComposeShareText(std::u16string_view cipherText, std::u16string_view codeTable) {
    std::u16string text;
    text.reserve(cipherText.size() + codeTable.size() + 7);
    text += u"心情：";
    text += cipherText;
    text += u"解密钥匙：";
    text += codeTable;
    return text;
}

std::optional<PostParts> SplitPost(std::u16string_view post) {
    const auto mood = FindMarker(post, kMoodMarker, 0);
    if (!mood)
        return std::nullopt;
    const auto key = FindMarker(post, kKeyMarker, mood->end);
    if (!key)
        return std::nullopt;
    // A name or a remark before the post may say 心情： too; the cipher text
    // itself never does, so the last such marker before the key is the one.
    Marker start = *mood;
    for (auto next = FindMarker(post, kMoodMarker, start.end); next && next->begin < key->begin;
         next = FindMarker(post, kMoodMarker, next->end)) {
        start = *next;
    }
    PostParts parts;
    parts.cipherText = Trim(post.substr(start.end, key->begin - start.end));
    parts.codeTable = TableAt(post, SkipBlanks(post, key->end));
    return parts;
}

}  // namespace velotan::cipher
