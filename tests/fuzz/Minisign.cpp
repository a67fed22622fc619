// The check of the installer's signature: any public key text from
// update.ini and any .minisig bytes a server can send, against any file.
//
// Input: the PublicKey text, NUL, the .minisig bytes, NUL, the file's bytes.

#include "update/Minisign.h"

#include <algorithm>
#include <string>

#include "FuzzSupport.h"

namespace {

// The .minisig with its third line (the trusted comment) one letter longer.
std::string WithLongerComment(std::string_view minisig) {
    std::string out(minisig);
    size_t start = 0;
    for (int line = 0; line < 2; ++line) {
        const size_t end = out.find('\n', start);
        if (end == std::string::npos)
            return out;
        start = end + 1;
    }
    size_t end = std::min(out.find('\n', start), out.size());
    if (end > start && out[end - 1] == '\r')
        --end;
    // Built piece by piece: GCC 12 raises a false -Wrestrict on an insert
    // here.
    std::string longer = out.substr(0, end);
    longer.push_back('x');
    longer.append(out, end, std::string::npos);
    return longer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velotan;
    fuzz::FuzzInput input(data, size);
    const std::string keyText(input.Field());
    const std::string_view minisig = input.Field();
    const std::string_view file = input.Rest();

    const auto key = update::ParseMinisignKey(keyText);
    // Blanks around the key are no part of it.
    std::string paddedText = " ";
    paddedText += keyText;
    paddedText += "\r\n";
    const auto padded = update::ParseMinisignKey(paddedText);
    FUZZ_CHECK(key.has_value() == padded.has_value());
    if (key)
        FUZZ_CHECK(key->key == padded->key && key->keyId == padded->keyId);

    const std::filesystem::path path = fuzz::ScratchFolder() / "installer";
    fuzz::PutFile(path, file);
    const update::MinisignKey anyKey = key.value_or(update::MinisignKey{});
    const update::SignatureCheck verdict = update::VerifyMinisign(path, minisig, anyKey);
    if (verdict == update::SignatureCheck::Good) {
        // What holds for one text of the trusted comment holds for no other.
        FUZZ_CHECK(update::VerifyMinisign(path, WithLongerComment(minisig), anyKey) ==
                   update::SignatureCheck::CommentChanged);
    }
    return 0;
}
