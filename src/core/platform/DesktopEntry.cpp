#include "DesktopEntry.h"

#include <system_error>

#include "AnsiTextFile.h"
#include "encoding/Cp936.h"

namespace velotan::platform {
namespace {

namespace fs = std::filesystem;

fs::path EntryFile(const fs::path& dataHome) {
    return dataHome / "applications" / kDesktopFileName;
}

fs::path IconTheme(const fs::path& dataHome) {
    return dataHome / "icons" / "hicolor";
}

// Shipped icon -> installed icon.
std::vector<std::pair<fs::path, fs::path>> IconFiles(const fs::path& programFolder,
                                                     const fs::path& dataHome) {
    const std::string png = std::string(kIconName) + ".png";
    std::vector<std::pair<fs::path, fs::path>> files;
    files.emplace_back(
        programFolder / "icons" / (std::string(kIconName) + ".svg"),
        IconTheme(dataHome) / "scalable" / "apps" / (std::string(kIconName) + ".svg"));
    for (int size : IconSizes()) {
        const std::string n = std::to_string(size);
        files.emplace_back(programFolder / "icons" / (std::string(kIconName) + "-" + n + ".png"),
                           IconTheme(dataHome) / (n + "x" + n) / "apps" / png);
    }
    return files;
}

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

// One argument of the Exec key: quoted, with the characters that stay
// special inside quotes escaped, and % doubled so it is no field code.
std::string ExecArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    return out + "\"";
}

// The value escapes of a desktop entry string: a backslash is written twice.
std::string StringValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\\')
            out += '\\';
    }
    return out;
}

// ExecArgument and StringValue undone; nullopt for a value they never make.
std::optional<std::string> ExecPath(const std::string& value) {
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\')
            ++i;
        unescaped += value[i];
    }
    if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"')
        return std::nullopt;
    std::string path;
    for (size_t i = 1; i + 1 < unescaped.size(); ++i) {
        char c = unescaped[i];
        if (c == '\\') {
            c = unescaped[++i];
            if (i + 1 >= unescaped.size() || (c != '"' && c != '`' && c != '$' && c != '\\'))
                return std::nullopt;
        } else if (c == '%') {
            if (unescaped[++i] != '%' || i + 1 >= unescaped.size())
                return std::nullopt;
        } else if (c == '"') {
            return std::nullopt;  // a second argument
        }
        path += c;
    }
    return path;
}

}  // namespace

const std::vector<int>& IconSizes() {
    static const std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256};
    return sizes;
}

std::optional<std::string> DesktopEntryText(const fs::path& executable) {
    const std::string path = executable.string();
    std::u16string check;
    if (!encoding::Utf8ToUtf16(path, check))
        return std::nullopt;
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7f)
            return std::nullopt;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.4\n"
           "Name=青岚心情加密器\n"
           "GenericName=心情加密器\n"
           "Comment=把心情文字加密成密文和随机码表，只让持有密钥的人读懂\n"
           "Exec=" +
           StringValue(ExecArgument(path)) +
           "\n"
           "Icon=" +
           kIconName +
           "\n"
           "Terminal=false\n"
           "Categories=Utility;Security;\n"
           "Keywords=encrypt;mood;加密;心情;\n";
}

bool InstallDesktopEntry(const fs::path& programFolder, const fs::path& dataHome,
                         std::string* error) {
    if (dataHome.empty()) {
        SetError(error, "no data folder for this user (neither XDG_DATA_HOME nor HOME is set)");
        return false;
    }
    auto text = DesktopEntryText(programFolder / "velotan");
    if (!text) {
        SetError(error,
                 programFolder.string() + ": this folder name cannot stand in a desktop entry");
        return false;
    }
    std::error_code ec;
    std::string reason;
    for (const auto& [from, to] : IconFiles(programFolder, dataHome)) {
        auto bytes = ReadFileBytes(from, &reason);
        if (!bytes) {
            SetError(error, from.string() + ": " + reason);
            return false;
        }
        fs::create_directories(to.parent_path(), ec);
        if (ec || !WriteFileAtomic(to, *bytes, kOrdinaryFileMode, &reason)) {
            SetError(error, to.string() + ": " + (ec ? ec.message() : reason));
            return false;
        }
    }
    // The entry comes last: it never points at an icon that is not there.
    const fs::path entry = EntryFile(dataHome);
    fs::create_directories(entry.parent_path(), ec);
    if (ec || !WriteFileAtomic(entry, *text, kOrdinaryFileMode, &reason)) {
        SetError(error, entry.string() + ": " + (ec ? ec.message() : reason));
        return false;
    }
    return true;
}

std::optional<fs::path> DesktopEntryProgram(const std::string& entry) {
    const std::string key = "\nExec=";
    const size_t at = entry.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    const size_t begin = at + key.size();
    const size_t end = entry.find('\n', begin);
    std::string value = entry.substr(begin, end == std::string::npos ? end : end - begin);
    if (!value.empty() && value.back() == '\r')
        value.pop_back();
    auto path = ExecPath(value);
    if (!path || path->empty() || path->front() != '/')
        return std::nullopt;
    return fs::path(*path);
}

bool MoveOnDesktopEntry(const fs::path& programFolder, const fs::path& dataHome,
                        std::string* error) {
    if (dataHome.empty())
        return false;
    std::string reason;
    const fs::path entry = EntryFile(dataHome);
    if (!IsOrdinaryFile(entry))
        return false;
    auto text = ReadFileBytes(entry, &reason);
    if (!text)
        return false;
    const auto program = DesktopEntryProgram(*text);
    // Only the name that InstallDesktopEntry writes: an entry that starts
    // some other program is not ours to change.
    if (!program || program->filename() != "velotan")
        return false;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(*program, ec)) || *program == programFolder / "velotan")
        return false;
    return InstallDesktopEntry(programFolder, dataHome, error);
}

bool RemoveDesktopEntry(const fs::path& dataHome, std::string* error) {
    if (dataHome.empty()) {
        SetError(error, "no data folder for this user (neither XDG_DATA_HOME nor HOME is set)");
        return false;
    }
    std::vector<fs::path> files = {EntryFile(dataHome)};
    for (const auto& [from, to] : IconFiles({}, dataHome))
        files.push_back(to);
    bool ok = true;
    for (const fs::path& file : files) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec) {
            SetError(error, file.string() + ": " + ec.message());
            ok = false;
        }
    }
    return ok;
}

}  // namespace velotan::platform
