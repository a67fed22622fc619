// The document pair reader: any bytes in the *.mxe file and its *.mxr
// companion, either of them missing, empty or a folder. A pair that can be
// read gives the non-empty document lines joined by CR LF and the companion
// lines joined with nothing; one that cannot gives no document and a reason.
//
// Input: mode (1 byte; bits 0-1: companion as given, missing, empty or a
// folder; bit 2: the document a folder), document bytes, NUL, companion bytes.

#include "FuzzSupport.h"
#include "cipher/DocumentFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const std::string_view documentBytes = in.Field();
    const std::string_view companionBytes = in.Rest();

    const auto document = fuzz::ScratchFolder() / "diary.mxe";
    const auto companion = cipher::CompanionPath(document);
    FUZZ_CHECK(companion == fuzz::ScratchFolder() / "diary.mxr");

    const bool documentFolder = mode & 4;
    if (documentFolder)
        fuzz::PutFolder(document);
    else
        fuzz::PutFile(document, documentBytes);
    const int companionState = mode & 3;
    switch (companionState) {
        case 0:
            fuzz::PutFile(companion, companionBytes);
            break;
        case 1:
            fuzz::Remove(companion);
            break;
        case 2:
            fuzz::PutFile(companion, {});
            break;
        default:
            fuzz::PutFolder(companion);
            break;
    }

    std::string error;
    const auto text = cipher::ReadDocument(document, &error);
    // A pair is read only when both files are there, and it is refused when
    // either half holds nothing (no encryption writes such a half).
    if (documentFolder || companionState != 0)
        FUZZ_CHECK(!text.has_value());
    if (!text) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::u16string& cipher = text->cipherText;
    FUZZ_CHECK(!cipher.empty() && !text->codeTable.empty());
    FUZZ_CHECK(cipher.find(u"\r\n\r\n") == std::u16string::npos);
    FUZZ_CHECK(cipher.front() != u'\r' && cipher.back() != u'\n');
    FUZZ_CHECK(text->codeTable.find_first_of(u"\r\n") == std::u16string::npos);
    return 0;
}
