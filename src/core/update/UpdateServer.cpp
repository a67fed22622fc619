#include "UpdateServer.h"

#include "cipher/ModReadFromIni.h"
#include "encoding/Cp936.h"

namespace velotan::update {

std::string ReadUpdateServer(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder) {
    std::error_code ec;
    std::filesystem::path file = dataFolder / kUpdateIniName;
    if (!std::filesystem::exists(file, ec))
        file = programFolder / kUpdateIniName;
    std::string server =
        encoding::Utf16ToUtf8(cipher::ReadIniValue(file, kUpdateSection, kServerKey));
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

}  // namespace velotan::update
