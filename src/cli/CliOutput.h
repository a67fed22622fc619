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

// Flushes standard output: 0, or 1 after telling that it failed.
int FlushOutput();

}  // namespace velotan::cli
