#pragma once
// Where updates come from: update.ini, section [update], key Server, holds
// the server's base URL; the list, the installer and its signature lie at
// fixed paths under it and land in fixed files of the data folder. The key
// PublicKey holds the publisher's minisign public key, which signs the
// installer.

#include <filesystem>
#include <string>

namespace velotan::update {

inline constexpr const char* kUpdateIniName = "update.ini";
inline constexpr const char16_t* kUpdateSection = u"update";
inline constexpr const char16_t* kServerKey = u"Server";
inline constexpr const char16_t* kPublicKeyKey = u"PublicKey";
inline constexpr const char* kListUrlPath = "/sns/update.lst";
inline constexpr const char* kInstallerUrlPath = "/sns/up_velotan.exe";
inline constexpr const char* kListFileName = "update.lst";
inline constexpr const char* kInstallerFileName = "upvelotan.exe";
inline constexpr const char* kSignatureUrlPath = "/sns/up_velotan.exe.minisig";
inline constexpr const char* kSignatureFileName = "upvelotan.exe.minisig";

// The configured base URL (UTF-8) without trailing slashes; empty when none
// is set. update.ini in the data folder wins; without one there, the copy
// shipped in the program folder is read.
std::string ReadUpdateServer(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder);

// The PublicKey value of the same update.ini (trimmed); empty when none is
// set.
std::string ReadUpdatePublicKey(const std::filesystem::path& dataFolder,
                                const std::filesystem::path& programFolder);

}  // namespace velotan::update
