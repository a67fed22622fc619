#pragma once
// velotan-cli started as a script starts it: an argument vector, standard
// input, both outputs and the exit code.

#include <string>
#include <vector>

#include "common/ChildProcess.h"

namespace velotan::testing {

using CliRun = ProgramRun;

inline CliRun RunCli(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), VELOTAN_CLI);
    return RunProgram(std::move(args), input);
}

}  // namespace velotan::testing
