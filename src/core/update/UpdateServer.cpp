#include "UpdateServer.h"

#include "cipher/ModReadFromIni.h"
#include "encoding/Cp936.h"

namespace velotan::update {

namespace {

// The one update.ini in force: the data folder's, else the shipped one.
std::string ReadUpdateValue(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& programFolder, const char16_t* key) {
    std::error_code ec;
    std::filesystem::path file = dataFolder / kUpdateIniName;
    // Only a file counts: anything else in its place is no file of the user's.
    if (!std::filesystem::is_regular_file(file, ec))
        file = programFolder / kUpdateIniName;
    return encoding::Utf16ToUtf8(cipher::ReadIniValue(file, kUpdateSection, key));
}

}  // namespace

std::string ReadUpdatePublicKey(const std::filesystem::path& dataFolder,
                                const std::filesystem::path& programFolder) {
    return ReadUpdateValue(dataFolder, programFolder, kPublicKeyKey);
}

std::string ReadUpdateServer(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder) {
    std::string server = ReadUpdateValue(dataFolder, programFolder, kServerKey);
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

}  // namespace velotan::update
