// The stored form of the login password.

#include "passworddb/PasswordHash.h"

#include <gtest/gtest.h>

#include "encoding/Class1.h"

namespace velotan::passworddb::test {
namespace {

TEST(PasswordHash, VerifiesOnlyTheSamePassword) {
    const auto hash = HashPassword("secret 口令");
    ASSERT_TRUE(hash.has_value());
    EXPECT_TRUE(IsPasswordHash(*hash));
    EXPECT_TRUE(VerifyPasswordHash(*hash, "secret 口令"));
    EXPECT_FALSE(VerifyPasswordHash(*hash, "secret 口令 "));
    EXPECT_FALSE(VerifyPasswordHash(*hash, "Secret 口令"));
    EXPECT_FALSE(VerifyPasswordHash(*hash, ""));
    // Nothing of the password or of its old stored form is in the hash.
    EXPECT_EQ(hash->find("secret"), std::string::npos);
    EXPECT_EQ(hash->find("c2VjcmV0"), std::string::npos);
}

TEST(PasswordHash, IsSaltedSoTwoUsersWithOnePasswordDiffer) {
    const auto first = HashPassword("abc");
    const auto second = HashPassword("abc");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(VerifyPasswordHash(*second, "abc"));
}

TEST(PasswordHash, OldAndDamagedValuesAreNotHashes) {
    const std::u16string old = encoding::Class1().Base64Encode(u"abc");
    const std::string oldValue(old.begin(), old.end());
    EXPECT_FALSE(IsPasswordHash(oldValue));
    EXPECT_FALSE(VerifyPasswordHash(oldValue, "abc"));
    EXPECT_FALSE(IsPasswordHash(""));
    const auto hash = HashPassword("abc");
    ASSERT_TRUE(hash.has_value());
    // A cut or changed hash never lets anyone in, and never crashes.
    EXPECT_FALSE(VerifyPasswordHash(hash->substr(0, hash->size() - 4), "abc"));
    std::string changed = *hash;
    changed.back() = changed.back() == 'A' ? 'B' : 'A';
    EXPECT_FALSE(VerifyPasswordHash(changed, "abc"));
    EXPECT_FALSE(VerifyPasswordHash(*hash + std::string(200, 'x'), "abc"));
}

TEST(LoginCheck, EmptyHashedAndOldStoredValues) {
    // No password set: only an empty box logs in.
    EXPECT_EQ(CheckLogin("", u""), LoginCheck::Right);
    EXPECT_EQ(CheckLogin("", u"x"), LoginCheck::Wrong);

    const auto hash = StoredFormOf(u"Abc口令");
    ASSERT_TRUE(hash.has_value());
    EXPECT_EQ(CheckLogin(*hash, u"Abc口令"), LoginCheck::Right);
    EXPECT_EQ(CheckLogin(*hash, u"abc口令"), LoginCheck::Wrong);
    EXPECT_EQ(CheckLogin(*hash, u""), LoginCheck::Wrong);

    // The form earlier versions stored: case-sensitive, nothing trimmed.
    const std::u16string old = encoding::Class1().Base64Encode(u"Abc口令");
    const std::string oldValue(old.begin(), old.end());
    EXPECT_EQ(CheckLogin(oldValue, u"Abc口令"), LoginCheck::RightInOldForm);
    EXPECT_EQ(CheckLogin(oldValue, u"Abc口令 "), LoginCheck::Wrong);
    EXPECT_EQ(CheckLogin(oldValue, u"abc口令"), LoginCheck::Wrong);
}

TEST(LoginCheck, AnEmptyNewPasswordStaysEmpty) {
    EXPECT_EQ(StoredFormOf(u""), std::string());
    const auto stored = StoredFormOf(u" ");
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(IsPasswordHash(*stored));
}

}  // namespace
}  // namespace velotan::passworddb::test
