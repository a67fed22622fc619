// Checking files against signatures that the minisign program made.

#include "update/Minisign.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sodium.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "common/MinisignTool.h"
#include "common/TempDir.h"

namespace velotan::update::test {
namespace {

namespace fs = std::filesystem;
using velotan::testing::MinisignKeyPair;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

// The lines of a .minisig, and one of them replaced.
std::string ReplaceLine(const std::string& minisig, size_t index, const std::string& line) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; start < minisig.size(); ++i) {
        const size_t end = minisig.find('\n', start);
        const std::string current = minisig.substr(start, end - start);
        out += (i == index ? line : current) + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}
std::string Line(const std::string& minisig, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i)
        start = minisig.find('\n', start) + 1;
    return minisig.substr(start, minisig.find('\n', start) - start);
}

// The bits of a base64 line, a byte of them changed, and back to base64.
std::string ChangeBits(const std::string& base64Line,
                       const std::function<void(std::string& bits)>& change) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bits;
    for (char c : base64Line) {
        if (c == '=')
            break;
        const auto v = alphabet.find(c);
        for (int b = 5; b >= 0; --b)
            bits += ((v >> b) & 1) ? '1' : '0';
    }
    change(bits);
    std::string out;
    for (size_t i = 0; i + 6 <= bits.size(); i += 6)
        out += alphabet[std::stoi(bits.substr(i, 6), nullptr, 2)];
    if (bits.size() % 6)
        out += alphabet[std::stoi(
            bits.substr(bits.size() - bits.size() % 6) + std::string(6 - bits.size() % 6, '0'),
            nullptr, 2)];
    while (out.size() % 4)
        out += '=';
    return out;
}

// One bit of the decoded signature line flipped.
std::string FlipSignatureBit(const std::string& base64Line, size_t byte) {
    return ChangeBits(base64Line, [byte](std::string& bits) {
        bits[byte * 8] = bits[byte * 8] == '1' ? '0' : '1';
    });
}

// One byte of the decoded signature line set to `value`.
std::string ChangeSignatureByte(const std::string& base64Line, size_t byte, unsigned char value) {
    return ChangeBits(base64Line, [byte, value](std::string& bits) {
        for (int b = 0; b < 8; ++b)
            bits[byte * 8 + b] = ((value >> (7 - b)) & 1) ? '1' : '0';
    });
}

// The 64 bytes of BLAKE2b-512, which the prehashed form signs.
std::string Blake2b512(const std::string& content) {
    unsigned char hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(content.data()),
                       content.size(), nullptr, 0);
    return std::string(reinterpret_cast<const char*>(hash), sizeof hash);
}

class MinisignTest : public ::testing::Test {
  protected:
    MinisignKey Key(const MinisignKeyPair& pair) const {
        const auto key = ParseMinisignKey(pair.PublicKey());
        EXPECT_TRUE(key.has_value()) << pair.PublicKey();
        return key.value_or(MinisignKey{});
    }
    // The installer and its signature, as the publisher made them.
    std::string Signed(const std::string& content, const std::string& comment = "velotan 1.2") {
        WriteBytes(file_, content);
        return publisher_.SignatureOf(content, false, comment);
    }

    TempDir dir_;
    MinisignKeyPair publisher_{dir_ / "publisher"};
    fs::path file_ = dir_ / "upvelotan.exe";
};

TEST_F(MinisignTest, TheSignatureOfThePublishersFileHolds) {
    const std::string minisig = Signed("#!/bin/sh\necho installing\n");
    // minisign writes "ED" (prehashed) by default.
    EXPECT_EQ(Line(minisig, 1).substr(0, 2), "RU")
        << "not the form asked for: " << Line(minisig, 1);
    std::string comment;
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_), &comment), SignatureCheck::Good);
    EXPECT_EQ(comment, "velotan 1.2");
    // Line ends as a server may turn them.
    std::string crlf;
    for (char c : minisig)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(VerifyMinisign(file_, crlf, Key(publisher_)), SignatureCheck::Good);
}

TEST_F(MinisignTest, AChangedFileDoesNotHold) {
    const std::string minisig = Signed("#!/bin/sh\necho installing\n");
    WriteBytes(file_, "#!/bin/sh\necho installing; rm -rf ~\n");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_)), SignatureCheck::FileChanged);
    WriteBytes(file_, "");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_)), SignatureCheck::FileChanged);
}

TEST_F(MinisignTest, AChangedSignatureDoesNotHold) {
    const std::string minisig = Signed("payload");
    // A bit of the signature itself (past the algorithm and the key id).
    const std::string changed = ReplaceLine(minisig, 1, FlipSignatureBit(Line(minisig, 1), 40));
    ASSERT_NE(changed, minisig);
    EXPECT_EQ(VerifyMinisign(file_, changed, Key(publisher_)), SignatureCheck::FileChanged);
    // A bit of the global signature.
    const std::string global = ReplaceLine(minisig, 3, FlipSignatureBit(Line(minisig, 3), 5));
    EXPECT_EQ(VerifyMinisign(file_, global, Key(publisher_)), SignatureCheck::CommentChanged);
}

TEST_F(MinisignTest, AChangedTrustedCommentDoesNotHold) {
    const std::string minisig = Signed("payload", "velotan 1.2");
    ASSERT_EQ(Line(minisig, 2), "trusted comment: velotan 1.2");
    const std::string changed = ReplaceLine(minisig, 2, "trusted comment: velotan 9.9");
    EXPECT_EQ(VerifyMinisign(file_, changed, Key(publisher_)), SignatureCheck::CommentChanged);
    // The untrusted comment is what its name says.
    const std::string untrusted = ReplaceLine(minisig, 0, "untrusted comment: anything");
    EXPECT_EQ(VerifyMinisign(file_, untrusted, Key(publisher_)), SignatureCheck::Good);
}

TEST_F(MinisignTest, AnotherKeysSignatureDoesNotHold) {
    const MinisignKeyPair other(dir_ / "other");
    const std::string minisig = Signed("payload");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(other)), SignatureCheck::OtherKey);

    // Another key that claims the publisher's key id is caught by the
    // signature itself.
    MinisignKey impostor = Key(other);
    impostor.keyId = Key(publisher_).keyId;
    EXPECT_EQ(VerifyMinisign(file_, minisig, impostor), SignatureCheck::FileChanged);
}

// The legacy form signs the file itself and leaves the algorithm bytes
// unsigned: "ED" changed to "Ed" turns a signature of any file into one of
// the 64 bytes of its hash. It is refused, as is what minisign -l makes.
TEST_F(MinisignTest, TheLegacyFormIsRefused) {
    const std::string content = "#!/bin/sh\necho installing\n";
    const std::string prehashed = Signed(content);
    const std::string swapped =
        ReplaceLine(prehashed, 1, ChangeSignatureByte(Line(prehashed, 1), 1, 'd'));
    ASSERT_EQ(Line(swapped, 1).substr(0, 2), "RW");
    // The file that such a signature would vouch for: the hash of the signed one.
    const fs::path hashFile = dir_ / "hash";
    WriteBytes(hashFile, Blake2b512(content));
    std::string comment = "<untouched>";
    EXPECT_EQ(VerifyMinisign(hashFile, swapped, Key(publisher_), &comment),
              SignatureCheck::LegacyForm);
    EXPECT_EQ(VerifyMinisign(file_, swapped, Key(publisher_)), SignatureCheck::LegacyForm);
    EXPECT_EQ(comment, "<untouched>");

    const std::string legacy = publisher_.SignatureOf(content, true);
    ASSERT_EQ(Line(legacy, 1).substr(0, 2), "RW");
    EXPECT_EQ(VerifyMinisign(file_, legacy, Key(publisher_)), SignatureCheck::LegacyForm);
}

// The check reads the open file from its start, wherever its offset stands,
// and leaves the offset alone.
TEST_F(MinisignTest, TheOpenFileIsReadFromItsStart) {
    const std::string minisig = Signed("#!/bin/sh\necho installing\n");
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
    EXPECT_EQ(VerifyMinisign(fd, minisig, Key(publisher_)), SignatureCheck::Good);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 5);
    ::close(fd);
    EXPECT_EQ(VerifyMinisign(-1, minisig, Key(publisher_)), SignatureCheck::Unverifiable);
}

TEST(MinisignFormatTest, WhatIsNotASignatureIsMalformed) {
    TempDir dir;
    const MinisignKeyPair publisher(dir / "publisher");
    const fs::path file = dir / "file";
    WriteBytes(file, "payload");
    const std::string good = publisher.SignatureOf("payload");
    const MinisignKey key = *ParseMinisignKey(publisher.PublicKey());
    ASSERT_EQ(VerifyMinisign(file, good, key), SignatureCheck::Good);

    const std::string malformed[] = {
        "",
        "<html>404 Not Found</html>",
        // Three of the four lines.
        Line(good, 0) + "\n" + Line(good, 1) + "\n" + Line(good, 2) + "\n",
        ReplaceLine(good, 0, "comment: x"),
        ReplaceLine(good, 2, "comment: x"),
        // A signature line cut short, one too long, one with stray text.
        ReplaceLine(good, 1, Line(good, 1).substr(0, 40)),
        ReplaceLine(good, 1, Line(good, 1) + "AAAA"),
        ReplaceLine(good, 1, Line(good, 1) + "!"),
        ReplaceLine(good, 3, Line(good, 3).substr(4)),
        // An algorithm minisign does not have ("Ex").
        ReplaceLine(good, 1, "RX" + Line(good, 1).substr(2)),
    };
    for (const std::string& text : malformed)
        EXPECT_EQ(VerifyMinisign(file, text, key), SignatureCheck::Malformed) << text;

    // A file that cannot be read cannot be checked.
    EXPECT_EQ(VerifyMinisign(dir / "missing", good, key), SignatureCheck::Unverifiable);
}

TEST(MinisignFormatTest, PublicKeyLines) {
    TempDir dir;
    const MinisignKeyPair publisher(dir / "publisher");
    const std::string line = publisher.PublicKey();
    ASSERT_EQ(line.substr(0, 2), "RW");
    const auto key = ParseMinisignKey(line);
    ASSERT_TRUE(key);
    // Blanks around it are no part of it.
    const auto padded = ParseMinisignKey("  " + line + " \r\n");
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->key, key->key);
    EXPECT_EQ(padded->keyId, key->keyId);

    for (const std::string& bad :
         {std::string(), std::string("RW"), line.substr(0, line.size() - 4), line + "AAAA",
          "RX" + line.substr(2), std::string("untrusted comment: minisign public key"),
          // The signature line is not a key.
          Line(publisher.SignatureOf("x"), 1)})
        EXPECT_FALSE(ParseMinisignKey(bad)) << bad;
}

}  // namespace
}  // namespace velotan::update::test
