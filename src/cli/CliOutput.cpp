#include "CliOutput.h"

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
    const qrcode::QrEncoding code = qrcode::EncodeQr(text);
    if (code.status == qrcode::QrStatus::TooLong) {
        return Fail("the share text has " + std::to_string(code.bytes) + " bytes, more than the " +
                    std::to_string(qrcode::kMaxQrBytes) +
                    " a QR code holds; no QR code was written");
    }
    if (code.status != qrcode::QrStatus::Ok)
        return Fail("the QR code could not be made");
    std::string error;
    if (!qrcode::WriteQrPng(file, code.matrix, &error))
        return Fail("cannot write the QR code " + file.string() + ": " + error);
    return 0;
}

int FlushOutput() {
    return std::cout.flush() ? 0 : Fail("cannot write to standard output");
}

}  // namespace velotan::cli
