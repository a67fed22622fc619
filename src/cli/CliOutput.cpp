#include "CliOutput.h"

#include "platform/AnsiTextFile.h"
#include "qrcode/PngFile.h"
#include "qrcode/QrCode.h"

namespace velotan::cli {

int Fail(const std::string& message) {
    std::cerr << "velotan-cli: " << message << "\n";
    return 1;
}

std::string ReadAtMost(std::istream& in, size_t limit, bool& more) {
    std::string out(limit, '\0');
    in.read(out.data(), static_cast<std::streamsize>(limit));
    out.resize(static_cast<size_t>(in.gcount()));
    more = out.size() == limit && in.peek() != std::char_traits<char>::eof();
    return out;
}

int WriteQrFile(std::string_view text, const std::filesystem::path& file) {
    StagedQrFile picture;
    if (const int failed = picture.Write(text, file))
        return failed;
    return picture.Commit();
}

int StagedQrFile::Write(std::string_view text, const std::filesystem::path& file) {
    Discard();
    const qrcode::QrEncoding code = qrcode::EncodeQr(text);
    if (code.status == qrcode::QrStatus::TooLong) {
        return Fail("the share text has " + std::to_string(code.bytes) + " bytes, more than the " +
                    std::to_string(qrcode::kMaxQrBytes) +
                    " a QR code holds; no QR code was written");
    }
    if (code.status != qrcode::QrStatus::Ok)
        return Fail("the QR code could not be made");
    // Found only at the rename, a folder there would fail after the rest
    // of the command was written.
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return Fail("cannot write the QR code " + file.string() + ": is a folder");
    std::string name = ".";
    name += file.filename().string();
    name += ".velotan-new";
    file_ = file;
    staged_ = file.parent_path() / name;
    std::string error;
    if (!qrcode::WriteQrPng(staged_, code.matrix, &error)) {
        Discard();
        return Fail("cannot write the QR code " + file.string() + ": " + error);
    }
    return 0;
}

int StagedQrFile::Commit() {
    if (staged_.empty())
        return 0;
    std::error_code ec;
    std::filesystem::rename(staged_, file_, ec);
    if (ec) {
        Discard();
        return Fail("cannot write the QR code " + file_.string() + ": " + ec.message());
    }
    const std::filesystem::path folder = staged_.parent_path();
    staged_.clear();
    std::string error;
    if (!platform::SyncFolder(folder.empty() ? std::filesystem::path(".") : folder, &error))
        return Fail("cannot write the QR code " + file_.string() + ": " + error);
    return 0;
}

void StagedQrFile::Discard() {
    if (staged_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(staged_, ec);
    staged_.clear();
}

int FlushOutput() {
    return std::cout.flush() ? 0 : Fail("cannot write to standard output");
}

}  // namespace velotan::cli
