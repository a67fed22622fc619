#include "DocumentFiles.h"

#include <system_error>

#include "platform/AnsiTextFile.h"

namespace velotan::cipher {
namespace {

namespace fs = std::filesystem;

bool EndsWithMxe(const std::string& name) {
    if (name.size() < 4)
        return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] == 'm' || tail[1] == 'M') &&
           (tail[2] == 'x' || tail[2] == 'X') && (tail[3] == 'e' || tail[3] == 'E');
}

fs::path StagedPath(const fs::path& target) {
    // Appended rather than joined with operator+: GCC 12 at -O3 reports a
    // false -Wrestrict inside that.
    std::string name = ".";
    name += target.filename().string();
    name += ".velotan-new";
    return target.parent_path() / name;
}

}  // namespace

fs::path CompanionPath(const fs::path& document) {
    std::string text = document.string();
    if (EndsWithMxe(document.filename().string())) {
        char& last = text.back();
        last = (last == 'E') ? 'R' : 'r';
        return fs::path(text);
    }
    return fs::path(text + ".mxr");
}

std::optional<DocumentText> ReadDocument(const fs::path& document, std::string* error) {
    auto cipherLines = platform::ReadAnsiLines(document, error);
    if (!cipherLines)
        return std::nullopt;
    auto tableLines = platform::ReadAnsiLines(CompanionPath(document), error);
    if (!tableLines)
        return std::nullopt;
    DocumentText text;
    for (const auto& line : *cipherLines) {
        if (line.empty())
            continue;
        if (!text.cipherText.empty())
            text.cipherText += u"\r\n";
        text.cipherText += line;
    }
    for (const auto& line : *tableLines)
        text.codeTable += line;
    // The program never writes a half: an empty file is a damaged pair, and
    // decrypting it would put a wrong text in place of the editor's.
    const bool noCipherText = text.cipherText.empty();
    if (noCipherText || text.codeTable.empty()) {
        if (error) {
            *error = noCipherText ? "文档中没有密文：" + document.string()
                                  : "码表文件中没有码表：" + CompanionPath(document).string();
        }
        return std::nullopt;
    }
    return text;
}

bool WriteDocument(const fs::path& document, const std::u16string& cipherText,
                   const std::u16string& codeTable, std::string* error) {
    const fs::path companion = CompanionPath(document);
    const fs::path stagedDocument = StagedPath(document);
    const fs::path stagedCompanion = StagedPath(companion);
    std::error_code ec;
    auto discard = [&] {
        fs::remove(stagedDocument, ec);
        fs::remove(stagedCompanion, ec);
    };
    if (!platform::WriteAnsiLines(stagedDocument, {cipherText}, platform::kOrdinaryFileMode,
                                  error) ||
        !platform::WriteAnsiLines(stagedCompanion, {codeTable}, platform::kOrdinaryFileMode,
                                  error)) {
        discard();
        return false;
    }
    // Renaming a file over a folder fails. Found only at the second rename,
    // that would leave a new document beside an old companion, so a folder
    // in either place stops the write before anything is replaced.
    for (const fs::path& target : {document, companion}) {
        if (fs::is_directory(target, ec)) {
            if (error)
                *error = target.string() + ": is a folder";
            discard();
            return false;
        }
    }
    fs::rename(stagedDocument, document, ec);
    if (!ec)
        fs::rename(stagedCompanion, companion, ec);
    if (ec) {
        if (error)
            *error = ec.message();
        discard();
        return false;
    }
    // Both names are in place once the folder is on disk.
    const fs::path folder = document.has_parent_path() ? document.parent_path() : fs::path(".");
    return platform::SyncFolder(folder, error);
}

}  // namespace velotan::cipher
