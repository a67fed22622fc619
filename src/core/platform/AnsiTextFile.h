#pragma once
// Text files as the program knows them: code page 936 with CR LF line ends.
// Readers are tolerant of any line ends; writers replace a file atomically so
// that a failed write never destroys what was there.

#include <sys/types.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velotan::platform {

// Whole file as bytes; nullopt (with a reason in `error`) when it cannot be
// read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                         std::string* error = nullptr);

// Splits at CR LF, LF or a lone CR. A final line break does not start an
// empty last line.
std::vector<std::string> SplitLines(std::string_view bytes);

// The file's lines, decoded from code page 936.
std::optional<std::vector<std::u16string>> ReadAnsiLines(const std::filesystem::path& path,
                                                         std::string* error = nullptr);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On failure the old file is untouched and `error`
// says why.
bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                     std::string* error = nullptr);

// Tests only: called with the temporary file once the new content is on disk
// and before it replaces the old file. Returning false stops the write there,
// as a crash or a full disk would. An empty probe removes it.
using AtomicWriteProbe = std::function<bool(const std::filesystem::path& written)>;
void SetAtomicWriteProbe(AtomicWriteProbe probe);

// Each line encoded in code page 936 and ended by CR LF, written atomically.
bool WriteAnsiLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines,
                    mode_t mode, std::string* error = nullptr);

// A regular file (not a folder, not hidden): what the program treats as an
// existing ordinary file.
bool IsOrdinaryFile(const std::filesystem::path& path);

}  // namespace velotan::platform
