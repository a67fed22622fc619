#include "cipher/SharePost.h"

#include "cipher/Cipher.h"

namespace velotan::cipher {
namespace {

constexpr std::u16string_view kMoodMarker = u"心情";
constexpr std::u16string_view kKeyMarker = u"解密钥匙";

}  // namespace

bool IsBlankInPost(char16_t c) {
    switch (c) {
        case u' ':
        case u'\t':
        case u'\r':
        case u'\n':
        case u'\v':
        case u'\f':
        case u'\u0085':
        case u'\u00A0':
        case u'\u00AD':
        case u'\u1680':
        case u'\u2028':
        case u'\u2029':
        case u'\u202F':
        case u'\u205F':
        case u'\u2060':
        case u'\u3000':
        case u'\uFEFF':
            return true;
        default:
            return c >= u'\u2000' && c <= u'\u200D';
    }
}

namespace {

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
    while (pos < text.size() && IsBlankInPost(text[pos]))
        ++pos;
    return pos;
}

// When `word` starts at `pos`, perhaps broken by blanks as a wrapped line
// breaks it: the position just after it.
std::optional<size_t> WordEnd(std::u16string_view text, size_t pos, std::u16string_view word) {
    for (size_t i = 0; i < word.size(); ++i) {
        if (i > 0)
            pos = SkipBlanks(text, pos);
        if (pos >= text.size() || text[pos] != word[i])
            return std::nullopt;
        ++pos;
    }
    return pos;
}

// When `word` at `pos` is followed by blanks and a colon: the position after
// the colon.
std::optional<size_t> MarkerEnd(std::u16string_view text, size_t pos, std::u16string_view word) {
    const auto end = WordEnd(text, pos, word);
    if (!end)
        return std::nullopt;
    const size_t colon = SkipBlanks(text, *end);
    if (colon < text.size() && IsColon(text[colon]))
        return colon + 1;
    return std::nullopt;
}

struct Marker {
    size_t begin;  // where the word starts
    size_t end;    // just after the colon
};

std::optional<Marker> FindMarker(std::u16string_view text, std::u16string_view word, size_t from) {
    for (size_t pos = text.find(word.front(), from); pos != std::u16string_view::npos;
         pos = text.find(word.front(), pos + 1)) {
        if (auto end = MarkerEnd(text, pos, word))
            return Marker{pos, *end};
    }
    return std::nullopt;
}

std::u16string WithoutBlanks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (!IsBlankInPost(c))
            out += c;
    }
    return out;
}

size_t CountSeparators(std::u16string_view text, std::u16string_view separator) {
    size_t count = 0;
    for (size_t pos = text.find(separator); pos != std::u16string_view::npos;
         pos = text.find(separator, pos + separator.size()))
        ++count;
    return count;
}

// The code table that starts at `pos`: table characters and whole "UGA"
// separators, up to the first thing that is neither. The table has as many
// separators as the cipher text (`separators`): until it has them all, or
// while its last element is still empty, a break inside it is dropped.
// Behind a complete table a break ends it, so that whatever the page put
// there (a date, "@" and a name) stays out. A break inside the last element
// may cut it short, which costs nothing: that element belongs to the end
// marker, which decryption never decodes.
std::u16string TableAt(std::u16string_view text, size_t pos, size_t separators) {
    std::u16string table;
    size_t found = 0;
    bool elementEmpty = true;
    while (pos < text.size()) {
        const char16_t c = text[pos];
        if (IsTableCharacter(c)) {
            table += c;
            elementEmpty = false;
            ++pos;
        } else if (const auto end = WordEnd(text, pos, kTableSeparator)) {
            table += kTableSeparator;
            ++found;
            elementEmpty = true;
            pos = *end;
        } else if (IsBlankInPost(c) && (found < separators || (found > 0 && elementEmpty))) {
            pos = SkipBlanks(text, pos);
        } else {
            break;
        }
    }
    return table;
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
    parts.cipherText = WithoutBlanks(post.substr(start.end, key->begin - start.end));
    parts.codeTable = TableAt(post, SkipBlanks(post, key->end),
                              CountSeparators(parts.cipherText, kCipherSeparator));
    return parts;
}

}  // namespace velotan::cipher
