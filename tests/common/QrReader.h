#pragma once
// Reads the QR code in a picture file with a real reader, zbarimg, started
// from an argument vector. The tests compare what it reads with the text the
// code was made from.

#include <filesystem>
#include <optional>
#include <string>

#include "common/ChildProcess.h"

namespace velotan::testing {

// The bytes of the one QR code in `picture`, as stored (no character set
// guessing); nullopt when zbarimg finds none.
inline std::optional<std::string> ReadQrCode(const std::filesystem::path& picture) {
    const ProgramRun run = RunProgram({VELOTAN_ZBARIMG, "--nodbus", "--raw", "-q", "-Sdisable",
                                       "-Sqrcode.enable", picture.string()},
                                      "");
    if (run.exitCode != 0 || run.out.empty() || run.out.back() != '\n')
        return std::nullopt;
    // zbarimg ends each code it read with a line feed.
    return run.out.substr(0, run.out.size() - 1);
}

}  // namespace velotan::testing
