#pragma once
// The text a shared mood is posted as, and the way back: a reader copies a
// whole post, often with the poster's name, line breaks or other words of the
// page around it, and the program finds the cipher text and code table in it.

#include <optional>
#include <string>
#include <string_view>

namespace velotan::cipher {

struct PostParts {
    std::u16string cipherText;
    std::u16string codeTable;
};

// Blanks, line breaks and the invisible characters that mail and chat
// programs and web pages put into a text they wrap or copy (the full-width,
// no-break and zero-width spaces, the byte order mark). Neither the cipher
// text nor the code table can hold one.
bool IsBlankInPost(char16_t c);

// "心情：" + cipher text + "解密钥匙：" + code table: the text every share posts.
std::u16string ComposeShareText(std::u16string_view cipherText, std::u16string_view codeTable);

// Finds the two parts in a whole post with text around it; nullopt without
// both markers. A marker is "心情" or "解密钥匙" followed by a colon, half- or
// full-width, with blanks allowed before the colon and between its letters.
// The cipher text is what lies between the markers; the code table is the
// run of code-table characters after its marker, so whatever the page put
// behind it is left out. Neither can hold a blank, so every blank, line
// break and invisible space inside either is dropped: a mail program that
// wraps a long line does no harm. Either part may come back empty (a post
// whose table was cut off).
std::optional<PostParts> SplitPost(std::u16string_view post);

}  // namespace velotan::cipher
