#include "UpdateServer.h"

#include "cipher/ModReadFromIni.h"
#include "encoding/Cp936.h"

namespace velotan::update {

std::string ReadUpdateServer(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder) {
    std::error_code ec;
    std::filesystem::path file = dataFolder / kUpdateIniName;
    // Only a file counts: anything else in its place is no file of the user's.
    if (!std::filesystem::is_regular_file(file, ec))
        file = programFolder / kUpdateIniName;
    std::string server =
        encoding::Utf16ToUtf8(cipher::ReadIniValue(file, kUpdateSection, kServerKey));
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

}  // namespace velotan::update
