#include "AnsiTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
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

}  // namespace

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        SetError(error, path.string() + " is a folder");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, ErrnoText("cannot open", path));
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        SetError(error, ErrnoText("cannot read", path));
        return std::nullopt;
    }
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
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail("cannot write");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // The umask may have narrowed the mode; the file gets exactly what was asked.
    if (::fchmod(fd, mode) != 0)
        return fail("cannot set the mode of");
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
    return true;
}

void SetAtomicWriteProbe(AtomicWriteProbe probe) {
    Probe() = std::move(probe);
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
