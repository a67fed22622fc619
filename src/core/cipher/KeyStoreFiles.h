#pragma once
// The key store's files beside chat.mx: the pairs a new pair replaced, kept
// where the user finds them, and the copy that goes along when the key store
// moves. chat.mx itself is read and written as it always was.

#include <filesystem>
#include <string>
#include <string_view>

namespace velotan::cipher {

inline constexpr const char* kEarlierKeysFileName = "chat-earlier.mx";

// Before chat.mx in `folder` is replaced by `newLine`: its key lines are
// added to chat-earlier.mx beside it, each after `stamp` (when it was
// replaced), so that documents made with them can still be read by typing
// them in again. True when they are kept, or there is nothing to keep (no
// key file, or one that holds only `newLine`); false, with the reason, when
// they could not be kept: then chat.mx must stay as it is.
bool KeepEarlierKeys(const std::filesystem::path& folder, std::u16string_view newLine,
                     std::u16string_view stamp, std::string* error = nullptr);

// The current local time as chat-earlier.mx writes it: 2026-12-07 22:10:05.
std::u16string NowStamp();

// Copies the key files of the key-store folder `from` (chat.mx,
// chat-earlier.mx, and the strong keys strong.mx and friends.mx) into the key-store folder `to`,
// making `to` and its parent where nothing stands yet (the root above them must exist). A file `to`
// already has is left alone; `from` is never changed. False, with the reason, when a file could not
// be copied.
bool CopyKeyStore(const std::filesystem::path& from, const std::filesystem::path& to,
                  std::string* error = nullptr);

}  // namespace velotan::cipher
