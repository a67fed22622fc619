// Base64Decode of any text. The decoder must finish on every input, and a
// text whose code page 936 bytes describe it exactly comes back from
// Base64Encode and Base64Decode unchanged (the login compares passwords so).
//
// Input: mode (1 byte; bit 0: raw UTF-16 text), then the text.

#include "FuzzSupport.h"
#include "encoding/Class1.h"
#include "encoding/Cp936.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const std::u16string text = fuzz::TextFrom(in.Rest(), mode & 1);

    const encoding::Class1 codec;
    const std::u16string decoded = codec.Base64Decode(text);
    // Never more than three bytes for each whole or partial group of four.
    const size_t chars = encoding::ToCp936(text).size();
    FUZZ_CHECK(encoding::ToCp936(decoded).size() <= (chars + 3) / 4 * 3);

    const std::u16string encoded = codec.Base64Encode(text);
    const size_t bytes = encoding::ToCp936(text).size();
    FUZZ_CHECK(encoded.size() == (bytes + 2) / 3 * 4);
    if (encoding::FromCp936(encoding::ToCp936(text)) == text) {
        FUZZ_CHECK(codec.Base64Decode(encoded) == text);
    }
    return 0;
}
