// velotan-cli: encrypt and decrypt from a terminal, with the same files and
// keys as the program. Its interface is used from scripts, so it stays fixed.

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/Cipher.h"
#include "cipher/DocumentFiles.h"
#include "cipher/KeyFile.h"
#include "cipher/KeyNumber.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SharePost.h"
#include "cipher/SymbolSubstitution.h"
#include "encoding/Cp936.h"
#include "platform/AnsiTextFile.h"
#include "platform/DataFolder.h"
#include "platform/ProgramFolder.h"
#include "qrcode/PngFile.h"
#include "qrcode/QrCode.h"

namespace {

using namespace velotan;

constexpr const char* kUsage =
    "usage: velotan-cli encrypt [--share] [--qr FILE.png] [--document FILE.mxe]\n"
    "                           [--keys FIRST,SECOND] [--program-folder DIR]\n"
    "                           [--replace-unsupported]\n"
    "       velotan-cli decrypt [--document FILE.mxe] [--keys FIRST,SECOND] [--program-folder "
    "DIR]\n"
    "\n"
    "encrypt  reads the plain text (UTF-8) from standard input and prints the\n"
    "         cipher text on line 1 and the code table on line 2; with\n"
    "         --document it writes them as the document FILE.mxe and its\n"
    "         companion FILE.mxr instead, as the program's save command does.\n"
    "         A text with characters that code page 936 cannot carry (emoji,\n"
    "         for one) is refused, since they would be encrypted as \"?\";\n"
    "         --replace-unsupported encrypts it all the same.\n"
    "         --share prints the text to post instead of the two lines:\n"
    "         \"心情：\" + cipher text + \"解密钥匙：\" + code table.\n"
    "         --qr also writes that text's QR code as the picture FILE.png.\n"
    "decrypt  reads the cipher text from line 1 and the code table from line 2\n"
    "         of standard input, or a whole post as --share prints it (text\n"
    "         around it is left out), or the document FILE.mxe and FILE.mxr\n"
    "         with --document, and prints the plain text (UTF-8).\n"
    "\n"
    "Without --keys the user's own key pair is used, found as the program finds\n"
    "it (KeyChar in settings.ini, else a removable drive, then chat.mx).\n"
    "DIR defaults to the folder of this program and must hold symbolhandle.ini,\n"
    "and without --keys DataBase/Lc_Addlist.mdb; unless it is the user's own\n"
    "folder, settings.ini comes from the user's own velotan data folder.\n";

// Messages from the key store go to stderr instead of a message box.
class StderrMessenger : public platform::Messenger {
  public:
    platform::MsgResult MsgBox(const std::u16string& prompt, int,
                               const std::u16string& title) override {
        std::cerr << "velotan-cli: " << encoding::Utf16ToUtf8(title) << ": "
                  << encoding::Utf16ToUtf8(prompt) << "\n";
        return platform::MsgResult::Ok;
    }
};

struct Options {
    std::string command;
    std::optional<cipher::KeyPair> keys;
    std::filesystem::path programFolder;
    std::optional<std::filesystem::path> document;
    bool replaceUnsupported = false;
    bool share = false;
    std::optional<std::filesystem::path> qrFile;
};

int Usage(const std::string& problem) {
    if (!problem.empty())
        std::cerr << "velotan-cli: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

int Fail(const std::string& message) {
    std::cerr << "velotan-cli: " << message << "\n";
    return 1;
}

std::optional<cipher::KeyPair> ParseKeys(const std::string& text) {
    size_t comma = text.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    std::u16string a(text.begin(), text.begin() + static_cast<long>(comma));
    std::u16string b(text.begin() + static_cast<long>(comma) + 1, text.end());
    auto first = cipher::ParseKeyNumber(a, cipher::KeyForm::KeyFile);
    auto second = cipher::ParseKeyNumber(b, cipher::KeyForm::KeyFile);
    if (!first || !second)
        return std::nullopt;
    return cipher::KeyPair{*first, *second};
}

// A text of more than 32,767 UTF-16 units is refused, and no UTF-8 sequence
// carries more than 3 bytes per unit: this many bytes settle the question.
constexpr size_t kMaxPlainBytes = 3 * cipher::kMaxPlainLength;
// Far beyond any pair that an encryption makes (about 25 bytes per
// character), and still small enough to hold.
constexpr size_t kMaxLineBytes = 1 << 20;
// Both lines, or a whole post with the page's text around it.
constexpr size_t kMaxDecryptInputBytes = 4 * kMaxLineBytes;

// Up to `limit` bytes; `more` tells whether the input went on beyond them.
std::string ReadAtMost(std::istream& in, size_t limit, bool& more) {
    std::string out(limit, '\0');
    in.read(out.data(), static_cast<std::streamsize>(limit));
    out.resize(static_cast<size_t>(in.gcount()));
    more = out.size() == limit && in.peek() != std::char_traits<char>::eof();
    return out;
}

enum class LineRead { Line, LastLine, TooLong };

// One line without its LF (and a CR before it); LastLine when the input
// ended without a line feed.
LineRead ReadLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof())
            return LineRead::LastLine;
        if (c == '\n')
            break;
        if (line.size() == kMaxLineBytes)
            return LineRead::TooLong;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return LineRead::Line;
}

// Reads the key pair the way the program does at start.
bool LoadOwnKeys(cipher::ModEncrypt& engine) {
    const std::u16string root = cipher::ReadKeyChar(engine.DataFolder());
    return engine.LoadKeys(root) == cipher::LoadResult::Loaded;
}

int Encrypt(cipher::ModEncrypt& engine, const Options& opt) {
    bool more = false;
    const std::string input = ReadAtMost(std::cin, kMaxPlainBytes, more);
    if (more) {
        return Fail("the text is too long to encrypt: it has more than " +
                    std::to_string(kMaxPlainBytes) +
                    " bytes, over the limit of 32,767 characters with its end marker");
    }
    std::u16string text;
    if (!encoding::Utf8ToUtf16(input, text)) {
        return Fail("the plain text on standard input is not valid UTF-8");
    }
    if (engine.FirstKey == 0) {
        return Fail("the first key is 0: a text encrypted with it can never be decrypted");
    }
    if (!opt.replaceUnsupported) {
        const cipher::UnsupportedScan unsupported = cipher::FindUnsupportedCharacters(text, 10);
        if (!unsupported.characters.empty()) {
            std::string list;
            for (const auto& character : unsupported.characters)
                list += " " + encoding::Utf16ToUtf8(character);
            if (unsupported.more)
                list += " ...";
            return Fail("the text holds characters that code page 936 cannot carry:" + list +
                        "\nEncrypted, each would become \"?\". Give --replace-unsupported to "
                        "encrypt the text all the same.");
        }
    }
    std::u16string content = cipher::ReplaceSymbols(std::move(text), engine.SymbolFile()) + u"F";
    if (!engine.EncryptText(content)) {
        return Fail(
            "the text is too long to encrypt: with its punctuation placeholders and end "
            "marker it has " +
            std::to_string(content.size()) + " characters, over the limit of 32,767");
    }
    const std::string shareText =
        encoding::Utf16ToUtf8(cipher::ComposeShareText(engine.ResultText, engine.CodeTable));
    // The picture is staged beside its name and put in place only once the
    // document is written too: when either fails, neither is left behind.
    std::optional<std::filesystem::path> stagedQr;
    auto discardQr = [&stagedQr] {
        std::error_code ec;
        if (stagedQr)
            std::filesystem::remove(*stagedQr, ec);
    };
    if (opt.qrFile) {
        const qrcode::QrEncoding code = qrcode::EncodeQr(shareText);
        if (code.status == qrcode::QrStatus::TooLong) {
            return Fail("the share text has " + std::to_string(code.bytes) +
                        " bytes, more than the " + std::to_string(qrcode::kMaxQrBytes) +
                        " a QR code holds; no QR code was written");
        }
        if (code.status != qrcode::QrStatus::Ok)
            return Fail("the QR code could not be made");
        std::error_code ec;
        if (std::filesystem::is_directory(*opt.qrFile, ec))
            return Fail("cannot write the QR code " + opt.qrFile->string() + ": is a folder");
        std::string name = ".";
        name += opt.qrFile->filename().string();
        name += ".velotan-new";
        stagedQr = opt.qrFile->parent_path() / name;
        std::string error;
        if (!qrcode::WriteQrPng(*stagedQr, code.matrix, &error)) {
            discardQr();
            return Fail("cannot write the QR code " + opt.qrFile->string() + ": " + error);
        }
    }
    if (opt.document) {
        std::string error;
        if (!cipher::WriteDocument(*opt.document, engine.ResultText, engine.CodeTable, &error)) {
            discardQr();
            return Fail("cannot write the document " + opt.document->string() + ": " + error +
                        (opt.qrFile ? "; no QR code was written either" : ""));
        }
    }
    if (stagedQr) {
        std::error_code ec;
        std::filesystem::rename(*stagedQr, *opt.qrFile, ec);
        std::string error;
        if (ec) {
            discardQr();
            error = ec.message();
        }
        if (ec || !platform::SyncFolder(stagedQr->parent_path().empty() ? std::filesystem::path(".")
                                                                        : stagedQr->parent_path(),
                                        &error)) {
            return Fail("cannot write the QR code " + opt.qrFile->string() + ": " + error +
                        (opt.document ? "; the document was written" : ""));
        }
    }
    if (opt.share) {
        std::cout << shareText << "\n";
    } else if (!opt.document) {
        std::cout << encoding::Utf16ToUtf8(engine.ResultText) << "\n"
                  << encoding::Utf16ToUtf8(engine.CodeTable) << "\n";
    }
    return std::cout.flush() ? 0 : Fail("cannot write to standard output");
}

// The document pair, read as the program's load command reads it.
int DecryptDocument(cipher::ModEncrypt& engine, const std::filesystem::path& document) {
    std::string error;
    auto text = cipher::ReadDocument(document, &error);
    if (!text)
        return Fail("cannot read the document " + document.string() + ": " + error);
    engine.DecryptText(text->cipherText, text->codeTable);
    std::cout << encoding::Utf16ToUtf8(engine.ResultText);
    return std::cout.flush() ? 0 : Fail("cannot write to standard output");
}

int PrintDecrypted(cipher::ModEncrypt& engine, std::u16string_view cipherText,
                   std::u16string_view codeTable) {
    engine.DecryptText(cipherText, codeTable);
    std::cout << encoding::Utf16ToUtf8(engine.ResultText);
    return std::cout.flush() ? 0 : Fail("cannot write to standard output");
}

int Decrypt(cipher::ModEncrypt& engine) {
    bool more = false;
    const std::string input = ReadAtMost(std::cin, kMaxDecryptInputBytes, more);
    if (more) {
        return Fail("the input is longer than " + std::to_string(kMaxDecryptInputBytes) +
                    " bytes: that is no cipher text and code table, nor a post of them");
    }
    // A whole post, as a share posts it and a reader copies it off a page.
    std::u16string text;
    if (encoding::Utf8ToUtf16(input, text)) {
        if (const auto post = cipher::SplitPost(text)) {
            if (post->cipherText.empty())
                return Fail("the post has no cipher text after 心情：");
            if (post->codeTable.empty())
                return Fail("the post has no code table after 解密钥匙：");
            return PrintDecrypted(engine, post->cipherText, post->codeTable);
        }
    }

    std::istringstream lines(input);
    std::string cipherLine, tableLine;
    const LineRead first = ReadLine(lines, cipherLine);
    if (first == LineRead::TooLong || ReadLine(lines, tableLine) == LineRead::TooLong) {
        return Fail("a line of the input is longer than " + std::to_string(kMaxLineBytes) +
                    " bytes: that is no cipher text or code table made by an encryption");
    }
    if (first == LineRead::LastLine || tableLine.empty()) {
        // An encryption always writes a code table, if only for the end marker.
        return Fail(
            "expected the cipher text on line 1 and the code table on line 2, or a whole post: "
            "心情： cipher text 解密钥匙： code table");
    }
    std::u16string cipherText, codeTable;
    if (!encoding::Utf8ToUtf16(cipherLine, cipherText) ||
        !encoding::Utf8ToUtf16(tableLine, codeTable)) {
        return Fail("the input is not valid UTF-8");
    }
    return PrintDecrypted(engine, cipherText, codeTable);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Options opt;
    opt.programFolder = platform::ProgramFolder();
    bool explicitFolder = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--share") {
            opt.share = true;
        } else if (a == "--keys" || a == "--program-folder" || a == "--document" || a == "--qr") {
            if (i + 1 >= args.size())
                return Usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--keys") {
                opt.keys = ParseKeys(v);
                if (!opt.keys)
                    return Usage("--keys takes two 16-bit integers: FIRST,SECOND");
            } else if (a == "--document") {
                if (v.empty())
                    return Usage("--document needs a file name");
                opt.document = v;
            } else if (a == "--qr") {
                if (v.empty())
                    return Usage("--qr needs a file name");
                opt.qrFile = v;
            } else {
                opt.programFolder = v;
                explicitFolder = true;
            }
        } else if (a == "--replace-unsupported") {
            opt.replaceUnsupported = true;
        } else if (opt.command.empty() && (a == "encrypt" || a == "decrypt")) {
            opt.command = a;
        } else {
            return Usage("unexpected argument: " + a);
        }
    }
    if (opt.command.empty())
        return Usage("no command given");
    if (opt.replaceUnsupported && opt.command != "encrypt")
        return Usage("--replace-unsupported belongs to encrypt");
    // A mistyped folder must not encrypt without the punctuation table.
    std::error_code ec;
    if (explicitFolder &&
        !std::filesystem::is_regular_file(opt.programFolder / cipher::kSymbolFileName, ec)) {
        return Usage(opt.programFolder.string() +
                     " is not a program folder of velotan: it has no " + cipher::kSymbolFileName);
    }
    if (opt.command != "encrypt" && (opt.share || opt.qrFile))
        return Usage("--share and --qr go with encrypt");

    StderrMessenger messenger;
    cipher::ModEncrypt engine(opt.programFolder, messenger);
    if (opt.keys) {
        engine.FirstKey = opt.keys->first;
        engine.SecondKey = opt.keys->second;
    } else {
        // settings.ini comes from where the program keeps it; only then is
        // the user's data folder needed (and seeded).
        // Nor may it seed the user's data folder with nothing: only the
        // shipped database makes a data folder the program can log in with.
        if (explicitFolder && !platform::IsProgramFolder(opt.programFolder)) {
            return Usage(opt.programFolder.string() +
                         " is not a program folder of velotan: it has no " +
                         platform::DatabasePath().string());
        }
        const platform::DataFolderChoice data = platform::ChooseDataFolder(opt.programFolder);
        if (data.folder.empty())
            return Fail(data.error + "; set HOME, or give --keys FIRST,SECOND");
        if (!data.error.empty())
            std::cerr << "velotan-cli: cannot prepare the data folder: " << data.error << "\n";
        engine.SetDataFolder(data.folder);
        if (!LoadOwnKeys(engine))
            return Fail(
                "no key pair found: give --keys FIRST,SECOND, or create keys in the program");
    }
    if (opt.command == "encrypt")
        return Encrypt(engine, opt);
    return opt.document ? DecryptDocument(engine, *opt.document) : Decrypt(engine);
}
