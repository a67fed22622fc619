#include "AnsiTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "encoding/Cp936.h"

namespace velotan::platform {
namespace {

void SetError(std::string* error, const std::string& what) {
    if (error)
        *error = what;
}

// Built by appending: GCC 12 at -O3 reports a false -Wrestrict inside
// std::string's operator+ chains here.
std::string ErrnoText(const std::string& what, const std::filesystem::path& path) {
    const char* reason = std::strerror(errno);
    std::string text = what;
    text += ' ';
    text += path.string();
    text += ": ";
    text += reason;
    return text;
}

AtomicWriteProbe& Probe() {
    static AtomicWriteProbe probe;
    return probe;
}

FolderSyncProbe& SyncProbe() {
    static FolderSyncProbe probe;
    return probe;
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, std::string* error,
                                         size_t maxBytes) {
    // Opening a named pipe for reading waits for a writer, for ever: the file
    // is opened without waiting and read only once it shows to be a file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        SetError(error, ErrnoText("cannot open", path));
        return std::nullopt;
    }
    auto refuse = [&](const std::string& what) {
        SetError(error, what);
        ::close(fd);
        return std::nullopt;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return refuse(ErrnoText("cannot read", path));
    if (S_ISDIR(info.st_mode))
        return refuse(path.string() + " is a folder");
    if (!S_ISREG(info.st_mode))
        return refuse(path.string() + " is not a regular file");
    if (static_cast<uintmax_t>(info.st_size) > maxBytes)
        return refuse(path.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
    std::string bytes;
    // Files under /proc report no size: read to the end, whatever fstat says.
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return refuse(ErrnoText("cannot read", path));
        }
        if (bytes.size() + static_cast<size_t>(n) > maxBytes)
            return refuse(path.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

std::optional<std::vector<std::u16string>> ReadAnsiLines(const std::filesystem::path& path,
                                                         std::string* error) {
    auto bytes = ReadFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    std::vector<std::u16string> lines;
    for (const auto& line : SplitLines(*bytes))
        lines.push_back(encoding::FromCp936(line));
    return lines;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes, mode_t mode,
                     std::string* error) {
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::random_device rd;
    std::string tmpName = ".";
    tmpName += path.filename().string();
    tmpName += ".tmp";
    tmpName += std::to_string(rd());
    const auto tmp = folder / tmpName;
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        SetError(error, ErrnoText("cannot create", tmp));
        return false;
    }
    auto fail = [&](const std::string& what) {
        SetError(error, ErrnoText(what, path));
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    };
    if (!WriteAll(fd, bytes))
        return fail("cannot write");
    if (::fsync(fd) != 0)
        return fail("cannot flush");
    if (::close(fd) != 0) {
        SetError(error, ErrnoText("cannot close", tmp));
        ::unlink(tmp.c_str());
        return false;
    }
    if (Probe() && !Probe()(tmp)) {
        std::string text = "write of ";
        text += path.string();
        text += " stopped before the rename";
        SetError(error, text);
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        SetError(error, ErrnoText("cannot replace", path));
        ::unlink(tmp.c_str());
        return false;
    }
    // Until the folder is synced the rename may still be lost, and the old
    // file come back after this write has been taken for done.
    return SyncFolder(folder, error);
}

void SetAtomicWriteProbe(AtomicWriteProbe probe) {
    Probe() = std::move(probe);
}

bool SyncFolder(const std::filesystem::path& folder, std::string* error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, ErrnoText("cannot sync the folder", folder));
        return false;
    }
    int rc = ::fsync(fd);
    // EINVAL: the file system has no way to sync a folder; nothing more can
    // be done there.
    if (rc != 0 && errno == EINVAL)
        rc = 0;
    if (rc == 0 && SyncProbe() && !SyncProbe()(folder)) {
        errno = EIO;
        rc = -1;
    }
    if (rc != 0)
        SetError(error, ErrnoText("cannot sync the folder", folder));
    ::close(fd);
    return rc == 0;
}

void SetFolderSyncProbe(FolderSyncProbe probe) {
    SyncProbe() = std::move(probe);
}

bool WriteAnsiLines(const std::filesystem::path& path, const std::vector<std::u16string>& lines,
                    mode_t mode, std::string* error) {
    std::string bytes;
    for (const auto& line : lines) {
        bytes += encoding::ToCp936(line);
        bytes += "\r\n";
    }
    return WriteFileAtomic(path, bytes, mode, error);
}

bool IsOrdinaryFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    auto name = path.filename().string();
    return name.empty() || name[0] != '.';
}

}  // namespace velotan::platform
