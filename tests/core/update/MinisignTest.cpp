// Checking files against signatures that the minisign program made.

#include "update/Minisign.h"

#include <gtest/gtest.h>

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

// One bit of the decoded signature line flipped, re-encoded as base64.
std::string FlipSignatureBit(const std::string& base64Line, size_t byte) {
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
    bits[byte * 8] = bits[byte * 8] == '1' ? '0' : '1';
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

class MinisignTest : public ::testing::TestWithParam<bool> {
  protected:
    bool Legacy() const { return GetParam(); }
    MinisignKey Key(const MinisignKeyPair& pair) const {
        const auto key = ParseMinisignKey(pair.PublicKey());
        EXPECT_TRUE(key.has_value()) << pair.PublicKey();
        return key.value_or(MinisignKey{});
    }
    // The installer and its signature, as the publisher made them.
    std::string Signed(const std::string& content, const std::string& comment = "velotan 1.2") {
        WriteBytes(file_, content);
        return publisher_.SignatureOf(content, Legacy(), comment);
    }

    TempDir dir_;
    MinisignKeyPair publisher_{dir_ / "publisher"};
    fs::path file_ = dir_ / "upvelotan.exe";
};

TEST_P(MinisignTest, TheSignatureOfThePublishersFileHolds) {
    const std::string minisig = Signed("#!/bin/sh\necho installing\n");
    // minisign writes "ED" (prehashed) or, with -l, the legacy "Ed".
    EXPECT_EQ(Line(minisig, 1).substr(0, 2), Legacy() ? "RW" : "RU")
        << "not the form asked for: " << Line(minisig, 1);
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_)), SignatureCheck::Good);
    // Line ends as a server may turn them.
    std::string crlf;
    for (char c : minisig)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(VerifyMinisign(file_, crlf, Key(publisher_)), SignatureCheck::Good);
}

TEST_P(MinisignTest, AChangedFileDoesNotHold) {
    const std::string minisig = Signed("#!/bin/sh\necho installing\n");
    WriteBytes(file_, "#!/bin/sh\necho installing; rm -rf ~\n");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_)), SignatureCheck::FileChanged);
    WriteBytes(file_, "");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(publisher_)), SignatureCheck::FileChanged);
}

TEST_P(MinisignTest, AChangedSignatureDoesNotHold) {
    const std::string minisig = Signed("payload");
    // A bit of the signature itself (past the algorithm and the key id).
    const std::string changed = ReplaceLine(minisig, 1, FlipSignatureBit(Line(minisig, 1), 40));
    ASSERT_NE(changed, minisig);
    EXPECT_EQ(VerifyMinisign(file_, changed, Key(publisher_)), SignatureCheck::FileChanged);
    // A bit of the global signature.
    const std::string global = ReplaceLine(minisig, 3, FlipSignatureBit(Line(minisig, 3), 5));
    EXPECT_EQ(VerifyMinisign(file_, global, Key(publisher_)), SignatureCheck::CommentChanged);
}

TEST_P(MinisignTest, AChangedTrustedCommentDoesNotHold) {
    const std::string minisig = Signed("payload", "velotan 1.2");
    ASSERT_EQ(Line(minisig, 2), "trusted comment: velotan 1.2");
    const std::string changed = ReplaceLine(minisig, 2, "trusted comment: velotan 9.9");
    EXPECT_EQ(VerifyMinisign(file_, changed, Key(publisher_)), SignatureCheck::CommentChanged);
    // The untrusted comment is what its name says.
    const std::string untrusted = ReplaceLine(minisig, 0, "untrusted comment: anything");
    EXPECT_EQ(VerifyMinisign(file_, untrusted, Key(publisher_)), SignatureCheck::Good);
}

TEST_P(MinisignTest, AnotherKeysSignatureDoesNotHold) {
    const MinisignKeyPair other(dir_ / "other");
    const std::string minisig = Signed("payload");
    EXPECT_EQ(VerifyMinisign(file_, minisig, Key(other)), SignatureCheck::OtherKey);

    // Another key that claims the publisher's key id is caught by the
    // signature itself.
    MinisignKey impostor = Key(other);
    impostor.keyId = Key(publisher_).keyId;
    EXPECT_EQ(VerifyMinisign(file_, minisig, impostor), SignatureCheck::FileChanged);
}

INSTANTIATE_TEST_SUITE_P(Algorithms, MinisignTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "LegacyEd" : "PrehashedED");
                         });

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
