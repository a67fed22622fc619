#pragma once
// velotan-cli's strong posts (强加密): encrypt --strong, the strong side of
// decrypt, strong-key and friends. Key texts come from standard input or a
// file, never from the command line.

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace velotan::cli {

// The user's key store folder, found as the program finds it; nullopt after
// telling the user why there is none. Called only when a command needs it.
using KeyStoreFinder = std::function<std::optional<std::filesystem::path>()>;

// The mood from standard input as a strong post on standard output, under
// the one key text in `keyFile`, or the user's current key.
int EncryptStrong(const std::optional<std::filesystem::path>& keyFile,
                  const std::optional<std::filesystem::path>& qrFile,
                  const KeyStoreFinder& findStore);

// Opens the strong post in `input` (standard input, already bounded by
// decrypt) with the key texts in `keyFile` (one a line), or every key the
// user holds. The mood goes to standard output, whose
// key opened it to standard error; exit code 1 when no key opens it.
int DecryptStrong(std::string_view input, const std::optional<std::filesystem::path>& keyFile,
                  const KeyStoreFinder& findStore);

enum class StrongKeyAction { Show, New, Import };
int StrongKeyCommand(StrongKeyAction action, bool replace, const KeyStoreFinder& findStore);

// `action` is list, add or remove; add reads the key text from standard input.
int FriendsCommand(std::string_view action, std::string_view name, const KeyStoreFinder& findStore);

}  // namespace velotan::cli
