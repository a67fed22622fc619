#pragma once
// The stored form of the login password: a salted, slow hash (Argon2id at
// libsodium's interactive limits), so that a copied database does not give
// the password back. Earlier versions stored the Base64 of its code page 936
// bytes; such a value still verifies once and is then replaced.

#include <optional>
#include <string>
#include <string_view>

namespace velotan::passworddb {

// True when `stored` is a hash made by HashPassword (not the older form).
bool IsPasswordHash(std::string_view stored);

// The value to store for `password` (its UTF-8 bytes); nullopt when the hash
// could not be made (no memory for Argon2).
std::optional<std::string> HashPassword(std::string_view password);

// True when `password` is the one whose hash `stored` holds.
bool VerifyPasswordHash(std::string_view stored, std::string_view password);

// A typed password against the stored value: empty means no password is set
// (only an empty box matches), a hash is verified, and the older Base64 form
// is compared as it always was, to be replaced after the login.
enum class LoginCheck { Wrong, Right, RightInOldForm };
LoginCheck CheckLogin(std::string_view stored, std::u16string_view typed);

// The value to store for a new password: empty for an empty one (no password
// is set), else its hash. nullopt when the hash could not be made.
std::optional<std::string> StoredFormOf(std::u16string_view password);

}  // namespace velotan::passworddb
