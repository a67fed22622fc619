#pragma once

#include <filesystem>

namespace velotan::platform {

// The folder that holds the running program file; every file of the program
// except the key store and the documents lives there.
std::filesystem::path ProgramFolder();

}  // namespace velotan::platform
