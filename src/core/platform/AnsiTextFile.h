#pragma once
// Text files as the program knows them: code page 936 with CR LF line ends.
// Readers are tolerant of any line ends; writers replace a file atomically so
// that a failed write never destroys what was there.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velotan::platform {

// Whole file as bytes; nullopt (with a reason in `error`) when it cannot be
// read. Only a regular file is read: a folder, a named pipe or a device is
// refused without blocking, as a missing file would be. A file larger than
// `maxBytes` is refused unread.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                         std::string* error = nullptr, size_t maxBytes = SIZE_MAX);

// Splits at CR LF, LF or a lone CR. A final line break does not start an
// empty last line.
std::vector<std::string> SplitLines(std::string_view bytes);

// The file's lines, decoded from code page 936.
std::optional<std::vector<std::u16string>> ReadAnsiLines(const std::filesystem::path& path,
                                                         std::string* error = nullptr);

// Modes for the writers below; the umask narrows them further, as it does
// for every file the user makes.
inline constexpr mode_t kOrdinaryFileMode = 0666;
// Keys and the password database: for the user's eyes only.
inline constexpr mode_t kPrivateFileMode = 0600;

// Writes all of `bytes` to the open `fd`, however the kernel splits the
// write; false (errno set) when it fails.
bool WriteAll(int fd, std::string_view bytes);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk,
// renames it over `path` and syncs the folder, so that the new name survives
// a pulled stick or a power cut. The file gets `mode` narrowed by the umask.
// On failure before the rename the old file is untouched; `error` says why.
// A failed folder sync is reported too: the new content may then be lost.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                     std::string* error = nullptr);

// Tests only: called with the temporary file once the new content is on disk
// and before it replaces the old file. Returning false stops the write there,
// as a crash or a full disk would. An empty probe removes it.
using AtomicWriteProbe = std::function<bool(const std::filesystem::path& written)>;
void SetAtomicWriteProbe(AtomicWriteProbe probe);

// Flushes a folder's entries (a rename in it) to disk. A file system that
// cannot sync folders counts as done.
bool SyncFolder(const std::filesystem::path& folder, std::string* error = nullptr);

// Tests only: called with the folder once SyncFolder has synced it.
// Returning false makes the sync fail, as an I/O error on a stick pulled out
// too early would. An empty probe removes it.
using FolderSyncProbe = std::function<bool(const std::filesystem::path& folder)>;
void SetFolderSyncProbe(FolderSyncProbe probe);

// Each line encoded in code page 936 and ended by CR LF, written atomically.
bool WriteAnsiLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines,
                    mode_t mode, std::string* error = nullptr);

// A regular file (not a folder, not hidden): what the program treats as an
// existing ordinary file.
bool IsOrdinaryFile(const std::filesystem::path& path);

}  // namespace velotan::platform
