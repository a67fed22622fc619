#pragma once
// A publisher's minisign key pair in a test folder, made and used with the
// minisign program itself (run from an argument vector), so the tests check
// signatures exactly as publishers make them. The program's path comes from
// the build (VELOTAN_MINISIGN_PATH).

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ChildProcess.h"
#include "common/TempDir.h"

namespace velotan::testing {

class MinisignKeyPair {
  public:
    static constexpr const char* kVersion12 = "velotan 1.2";

    // Makes a key pair without a password in `folder`.
    explicit MinisignKeyPair(std::filesystem::path folder)
        : publicFile_(folder / "minisign.pub"), secretFile_(folder / "minisign.key") {
        std::filesystem::create_directories(folder);
        Run({"-G", "-W", "-p", publicFile_.string(), "-s", secretFile_.string()});
        // The second line of the public key file is the key itself.
        const std::string text = ReadBytes(publicFile_);
        const auto start = text.find('\n');
        publicKey_ = text.substr(start + 1, text.find('\n', start + 1) - start - 1);
    }

    // The base64 line that goes into update.ini as PublicKey.
    const std::string& PublicKey() const { return publicKey_; }

    // Signs `file` into `file`.minisig, in the prehashed form or, with
    // `legacy`, the form that signs the file itself. The trusted comment
    // names the version the installer is for; the tests' lists offer 1.2.
    void Sign(const std::filesystem::path& file, bool legacy = false,
              const std::string& trustedComment = kVersion12) const {
        std::vector<std::string> args = {"-S",          "-s", secretFile_.string(), "-m",
                                         file.string(), "-t", trustedComment};
        if (legacy)
            args.push_back("-l");
        Run(args);
    }

    // The signature `Sign` writes for `content`, made in a scratch file.
    std::string SignatureOf(const std::string& content, bool legacy = false,
                            const std::string& trustedComment = kVersion12) const {
        const std::filesystem::path scratch = secretFile_.parent_path() / "to-sign";
        WriteBytes(scratch, content);
        Sign(scratch, legacy, trustedComment);
        std::filesystem::path signature = scratch;
        signature += ".minisig";
        return ReadBytes(signature);
    }

  private:
    static void Run(std::vector<std::string> args) {
        args.insert(args.begin(), VELOTAN_MINISIGN_PATH);
        const ProgramRun run = RunProgram(args, "");
        if (run.exitCode != 0)
            throw std::runtime_error("minisign failed: " + run.err);
    }

    std::filesystem::path publicFile_;
    std::filesystem::path secretFile_;
    std::string publicKey_;
};

}  // namespace velotan::testing
