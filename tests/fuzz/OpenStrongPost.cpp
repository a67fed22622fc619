// Reading strong posts and key texts: any text a reader pastes. Nothing
// opens that the key did not write (checked by sealing the opened mood again),
// an opened mood is valid UTF-8 no longer than the longest mood, and every
// status but NoPost comes with a marker. A key text that parses writes back
// to a text that parses to the same key.
//
// Input: mode (1 byte; bit 0: the text follows a real post of the first key,
// so that changes and text glued after it are explored), then the text. The
// keys are 00 01 .. 1f (the test vectors' key) and 20 21 .. 3f.

#include "FuzzSupport.h"
#include "strong/StrongKey.h"
#include "strong/StrongPost.h"

namespace {

using namespace velotan::strong;

StrongKey Counting(unsigned char first) {
    StrongKey key;
    for (size_t i = 0; i < key.bytes.size(); ++i)
        key.bytes[i] = static_cast<unsigned char>(first + i);
    return key;
}

// The test vector for "今天很好".
constexpr std::string_view kPost =
    "心情：QL2:QEFCQ0RFRkdISUpLTE1OT1BRUlNUVVZXe3O3TP0s2fIpmMhCfVosczRs5P_Bjm4KMXwaO19L1XZcjRKFSUk7f30"
    "ZkRrULmSy56U8IAuz1CY4dCIErALB9PliKP3rOX9rXOry7__4hWI";

bool ValidUtf8(std::string_view text) {
    std::u16string ignored;
    return velotan::encoding::Utf8ToUtf16(text, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velotan::fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    std::string text(in.Rest());
    if (mode & 1)
        text = std::string(kPost) + text;

    const StrongKey keys[] = {Counting(0), Counting(0x20)};
    const OpenResult opened = OpenPost(text, keys);
    FUZZ_CHECK((opened.status == OpenStatus::NoPost) != HoldsStrongPost(text));
    if (opened.status == OpenStatus::Opened) {
        FUZZ_CHECK(opened.keyIndex < 2);
        FUZZ_CHECK(opened.mood.size() <= kMaxPaddedBytes - 1);
        FUZZ_CHECK(ValidUtf8(opened.mood));
        // Whatever opened was written under that key: the mood seals again.
        const auto again = SealPost(keys[opened.keyIndex], opened.mood);
        FUZZ_CHECK(again.has_value());
        const OpenResult back = OpenPost(*again, keys);
        FUZZ_CHECK(back.status == OpenStatus::Opened && back.mood == opened.mood &&
                   back.keyIndex == opened.keyIndex);
    } else {
        FUZZ_CHECK(opened.mood.empty());
        FUZZ_CHECK(!OpenStatusMessage(opened.status).empty());
    }

    const ParsedKey parsed = ParseKeyText(text);
    FUZZ_CHECK(parsed.key.has_value() == (parsed.error == KeyTextError::None));
    if (parsed.key) {
        const ParsedKey back = ParseKeyText(KeyText(*parsed.key));
        FUZZ_CHECK(back.key == parsed.key);
    }
    return 0;
}
