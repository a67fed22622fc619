#pragma once
// Encrypted documents: the cipher text in a *.mxe file and the code table in
// its companion *.mxr beside it, one line each, code page 936 with CR LF.

#include <filesystem>
#include <optional>
#include <string>

namespace velotan::cipher {

// diary.mxe pairs with diary.mxr (the extension's letter case is kept). A
// path that does not end in ".mxe" gets ".mxr" appended, so the document and
// its companion are always two different files.
std::filesystem::path CompanionPath(const std::filesystem::path& document);

struct DocumentText {
    std::u16string cipherText;  // non-empty lines joined by CR LF
    std::u16string codeTable;   // non-empty lines joined with nothing between
};

// Reads a document and its companion, tolerant of line ends and empty lines.
// nullopt, with a reason, when either file cannot be read or holds nothing.
std::optional<DocumentText> ReadDocument(const std::filesystem::path& document,
                                         std::string* error = nullptr);

// Writes both files. Both are staged first, so a failure leaves the old
// pair in place; `error` then says why.
bool WriteDocument(const std::filesystem::path& document, const std::u16string& cipherText,
                   const std::u16string& codeTable, std::string* error = nullptr);

}  // namespace velotan::cipher
