#pragma once
// What every command of velotan-cli shares: failing with a message, reading a
// bounded input, and writing a QR code.

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace velotan::cli {

// Prints "velotan-cli: message" to standard error; returns exit code 1.
int Fail(const std::string& message);

// Up to `limit` bytes; `more` tells whether the input went on beyond them.
std::string ReadAtMost(std::istream& in, size_t limit, bool& more);

// The QR code of `text` as the picture `file`; 0, or 1 after telling why.
int WriteQrFile(std::string_view text, const std::filesystem::path& file);

// A QR code picture written under a staged name beside its file and put in
// place only by Commit(), once whatever else a command writes is written
// too; a picture that was not committed is removed, so a command that fails
// halfway leaves no picture behind.
class StagedQrFile {
  public:
    StagedQrFile() = default;
    StagedQrFile(const StagedQrFile&) = delete;
    StagedQrFile& operator=(const StagedQrFile&) = delete;
    ~StagedQrFile() { Discard(); }

    // 0, or 1 after telling why (nothing is left behind then).
    int Write(std::string_view text, const std::filesystem::path& file);
    // Renames the staged picture over its file: 0, or 1 after telling why.
    int Commit();

  private:
    void Discard();

    std::filesystem::path file_;
    std::filesystem::path staged_;
};

// Flushes standard output: 0, or 1 after telling that it failed.
int FlushOutput();

}  // namespace velotan::cli
