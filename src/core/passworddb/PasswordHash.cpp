#include "passworddb/PasswordHash.h"

#include <sodium.h>

#include "encoding/Class1.h"
#include "encoding/Cp936.h"

namespace velotan::passworddb {
namespace {

bool SodiumReady() {
    // sodium_init is safe to call again and from several threads.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

bool IsPasswordHash(std::string_view stored) {
    return stored.starts_with(crypto_pwhash_argon2id_STRPREFIX);
}

std::optional<std::string> HashPassword(std::string_view password) {
    if (!SodiumReady())
        return std::nullopt;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(
            out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return std::nullopt;
    return std::string(out);
}

bool VerifyPasswordHash(std::string_view stored, std::string_view password) {
    if (!SodiumReady() || !IsPasswordHash(stored) || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    // The libsodium call wants a NUL-terminated string.
    const std::string hash(stored);
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

LoginCheck CheckLogin(std::string_view stored, std::u16string_view typed) {
    if (stored.empty())
        return typed.empty() ? LoginCheck::Right : LoginCheck::Wrong;
    if (IsPasswordHash(stored))
        return VerifyPasswordHash(stored, encoding::Utf16ToUtf8(typed)) ? LoginCheck::Right
                                                                        : LoginCheck::Wrong;
    const std::u16string old(stored.begin(), stored.end());
    return encoding::Class1().Base64Decode(old) == typed ? LoginCheck::RightInOldForm
                                                         : LoginCheck::Wrong;
}

std::optional<std::string> StoredFormOf(std::u16string_view password) {
    if (password.empty())
        return std::string();
    return HashPassword(encoding::Utf16ToUtf8(password));
}

}  // namespace velotan::passworddb
