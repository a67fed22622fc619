// velotan-cli: encrypt and decrypt from a terminal, with the same files and
// keys as the program. Its interface is used from scripts, so it stays fixed.

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CliOutput.h"
#include "StrongCommands.h"
#include "cipher/Cipher.h"
#include "cipher/DocumentFiles.h"
#include "cipher/KeyFile.h"
#include "cipher/KeyNumber.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SharePost.h"
#include "cipher/SymbolSubstitution.h"
#include "encoding/Cp936.h"
#include "platform/DataFolder.h"
#include "platform/ProgramFolder.h"
#include "strong/StrongKey.h"
#include "strong/StrongKeyRing.h"
#include "strong/StrongPost.h"

namespace {

using namespace velotan;
using cli::Fail;
using cli::ReadAtMost;

constexpr const char* kUsage =
    "usage: velotan-cli encrypt [--share] [--qr FILE.png] [--document FILE.mxe]\n"
    "                           [--keys FIRST,SECOND] [--program-folder DIR]\n"
    "                           [--replace-unsupported]\n"
    "       velotan-cli encrypt --strong [--key-file FILE] [--qr FILE.png]\n"
    "                           [--program-folder DIR]\n"
    "       velotan-cli decrypt [--document FILE.mxe] [--keys FIRST,SECOND]\n"
    "                           [--key-file FILE] [--program-folder DIR]\n"
    "                           [--ignore-key-check]\n"
    "       velotan-cli strong-key [--new [--replace] | --import] [--program-folder DIR]\n"
    "       velotan-cli friends list|add NAME|remove NAME [--program-folder DIR]\n"
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
    "         --strong prints a strong post instead (强加密, \"心情：QL2:...\"),\n"
    "         which only those who hold the key can read; any character\n"
    "         travels, emoji included. It uses the user's own strong key, or\n"
    "         the one key text in FILE with --key-file.\n"
    "decrypt  reads the cipher text from line 1 and the code table from line 2\n"
    "         of standard input, or a whole post as --share prints it (text\n"
    "         around it is left out), or the document FILE.mxe and FILE.mxr\n"
    "         with --document, and prints the plain text (UTF-8). Keys that\n"
    "         did not make the code table would give garbage: the text is\n"
    "         refused (exit 1) unless --ignore-key-check is given.\n"
    "         A strong post is tried with every strong key the user holds,\n"
    "         their own and their friends', or with the key texts in FILE\n"
    "         (one a line) with --key-file. The text goes to standard output,\n"
    "         whose key opened it to standard error; when no key opens it,\n"
    "         nothing is printed and the exit code is 1.\n"
    "strong-key  prints the user's current strong key text. --new makes the\n"
    "         first one; when one exists it is refused unless --replace is\n"
    "         given, which keeps the old key for reading old posts. --import\n"
    "         takes over a key text of the user's own from standard input.\n"
    "friends  lists the friends whose strong keys the user holds, adds one\n"
    "         (or a new key of a friend) with the key text read from standard\n"
    "         input, or removes one.\n"
    "\n"
    "Keys never go on the command line, where other users could see them.\n"
    "Without --keys the user's own key pair is used, found as the program finds\n"
    "it (KeyChar in settings.ini, else a removable drive, then chat.mx); the\n"
    "strong keys live beside chat.mx, in strong.mx and friends.mx.\n"
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
    bool ignoreKeyCheck = false;
    bool share = false;
    std::optional<std::filesystem::path> qrFile;
    // Strong posts (强加密).
    bool strong = false;
    std::optional<std::filesystem::path> keyFile;
    bool newKey = false;
    bool replaceKey = false;
    bool importKey = false;
    std::string friendsAction;  // list, add or remove
    std::optional<std::string> friendName;
};

int Usage(const std::string& problem) {
    if (!problem.empty())
        std::cerr << "velotan-cli: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
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
    // The picture is put in place only once the document is written too:
    // when either fails, neither is left behind.
    cli::StagedQrFile picture;
    if (opt.qrFile) {
        if (const int failed = picture.Write(shareText, *opt.qrFile))
            return failed;
    }
    if (opt.document) {
        std::string error;
        if (!cipher::WriteDocument(*opt.document, engine.ResultText, engine.CodeTable, &error)) {
            return Fail("cannot write the document " + opt.document->string() + ": " + error +
                        (opt.qrFile ? "; no QR code was written either" : ""));
        }
    }
    if (const int failed = picture.Commit())
        return failed;
    if (opt.share) {
        std::cout << shareText << "\n";
    } else if (!opt.document) {
        std::cout << encoding::Utf16ToUtf8(engine.ResultText) << "\n"
                  << encoding::Utf16ToUtf8(engine.CodeTable) << "\n";
    }
    return cli::FlushOutput();
}

int PrintDecrypted(cipher::ModEncrypt& engine, const Options& opt, std::u16string_view cipherText,
                   std::u16string_view codeTable) {
    // Wrong keys decrypt to garbage without a sign: a script must not take
    // that for the text.
    if (!opt.ignoreKeyCheck &&
        !cipher::KeysFitCodeTable(codeTable, engine.FirstKey, engine.SecondKey)) {
        return Fail(
            "the keys do not fit this code table: the text was encrypted with other keys, and "
            "decrypting would give garbage (--ignore-key-check prints it all the same)");
    }
    engine.DecryptText(cipherText, codeTable);
    std::cout << encoding::Utf16ToUtf8(engine.ResultText);
    return cli::FlushOutput();
}

// The document pair, read as the program's load command reads it.
int DecryptDocument(cipher::ModEncrypt& engine, const Options& opt,
                    const std::filesystem::path& document) {
    std::string error;
    auto text = cipher::ReadDocument(document, &error);
    if (!text)
        return Fail("cannot read the document " + document.string() + ": " + error);
    return PrintDecrypted(engine, opt, text->cipherText, text->codeTable);
}

int Decrypt(cipher::ModEncrypt& engine, const Options& opt, const std::string& input) {
    // A whole post, as a share posts it and a reader copies it off a page.
    std::u16string text;
    if (encoding::Utf8ToUtf16(input, text)) {
        if (const auto post = cipher::SplitPost(text)) {
            if (post->cipherText.empty())
                return Fail("the post has no cipher text after 心情：");
            if (post->codeTable.empty())
                return Fail("the post has no code table after 解密钥匙：");
            return PrintDecrypted(engine, opt, post->cipherText, post->codeTable);
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
    return PrintDecrypted(engine, opt, cipherText, codeTable);
}

// Checks the options against the command; an empty text when they fit.
std::string Misfit(const Options& opt) {
    const bool encrypt = opt.command == "encrypt", decrypt = opt.command == "decrypt";
    if (opt.replaceUnsupported && !encrypt)
        return "--replace-unsupported belongs to encrypt";
    if (opt.ignoreKeyCheck && !decrypt)
        return "--ignore-key-check belongs to decrypt";
    if (!encrypt && (opt.share || opt.qrFile))
        return "--share and --qr go with encrypt";
    if (opt.strong && !encrypt)
        return "--strong goes with encrypt";
    if (opt.strong && (opt.share || opt.document || opt.keys || opt.replaceUnsupported))
        return "--strong makes a strong post: --share, --document, --keys and "
               "--replace-unsupported belong to the compatible cipher";
    if (opt.keyFile && !(decrypt || opt.strong))
        return "--key-file goes with encrypt --strong and decrypt";
    if (opt.keyFile && opt.document)
        return "--key-file is for strong posts, which are never documents";
    if ((opt.keys || opt.document) && (opt.command == "strong-key" || opt.command == "friends"))
        return "--keys and --document go with encrypt and decrypt";
    if ((opt.newKey || opt.replaceKey || opt.importKey) && opt.command != "strong-key")
        return "--new, --replace and --import go with strong-key";
    if (opt.newKey && opt.importKey)
        return "strong-key takes --new or --import, not both";
    if (opt.replaceKey && !opt.newKey)
        return "--replace goes with --new";
    if (opt.command == "friends") {
        if (opt.friendsAction.empty())
            return "friends needs list, add NAME or remove NAME";
        if ((opt.friendsAction == "list") == opt.friendName.has_value())
            return opt.friendsAction == "list" ? "friends list takes no name"
                                               : "friends " + opt.friendsAction + " needs a NAME";
    }
    return "";
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
        } else if (a == "--keys" || a == "--program-folder" || a == "--document" || a == "--qr" ||
                   a == "--key-file") {
            if (i + 1 >= args.size())
                return Usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--keys") {
                opt.keys = ParseKeys(v);
                if (!opt.keys)
                    return Usage("--keys takes two 16-bit integers: FIRST,SECOND");
            } else if (a == "--document" || a == "--qr" || a == "--key-file") {
                if (v.empty())
                    return Usage(a + " needs a file name");
                (a == "--document" ? opt.document : a == "--qr" ? opt.qrFile : opt.keyFile) = v;
            } else {
                opt.programFolder = v;
                explicitFolder = true;
            }
        } else if (a == "--replace-unsupported") {
            opt.replaceUnsupported = true;
        } else if (a == "--ignore-key-check") {
            opt.ignoreKeyCheck = true;
        } else if (a == "--strong") {
            opt.strong = true;
        } else if (a == "--new") {
            opt.newKey = true;
        } else if (a == "--replace") {
            opt.replaceKey = true;
        } else if (a == "--import") {
            opt.importKey = true;
        } else if (opt.command.empty() &&
                   (a == "encrypt" || a == "decrypt" || a == "strong-key" || a == "friends")) {
            opt.command = a;
        } else if (opt.command == "friends" && opt.friendsAction.empty() &&
                   (a == "list" || a == "add" || a == "remove")) {
            opt.friendsAction = a;
        } else if (opt.command == "friends" && !opt.friendsAction.empty() && !opt.friendName &&
                   !a.starts_with("--")) {
            opt.friendName = a;
        } else {
            return Usage("unexpected argument: " + a);
        }
    }
    if (opt.command.empty())
        return Usage("no command given");
    if (const std::string misfit = Misfit(opt); !misfit.empty())
        return Usage(misfit);
    // A mistyped folder must not encrypt without the punctuation table.
    std::error_code ec;
    if (explicitFolder &&
        !std::filesystem::is_regular_file(opt.programFolder / cipher::kSymbolFileName, ec)) {
        return Usage(opt.programFolder.string() +
                     " is not a program folder of velotan: it has no " + cipher::kSymbolFileName);
    }

    StderrMessenger messenger;
    cipher::ModEncrypt engine(opt.programFolder, messenger);
    // The user's own folders, as the program finds them; only then is the
    // user's data folder needed (and seeded). Nor may it seed the user's data
    // folder with nothing: only the shipped database makes a data folder the
    // program can log in with.
    std::optional<int> usageFailure;
    bool userFoldersReady = false;
    const auto prepareUserFolders = [&]() -> bool {
        if (userFoldersReady)
            return true;
        if (explicitFolder && !platform::IsProgramFolder(opt.programFolder)) {
            usageFailure = Usage(opt.programFolder.string() +
                                 " is not a program folder of velotan: it has no " +
                                 platform::DatabasePath().string());
            return false;
        }
        const platform::DataFolderChoice data = platform::ChooseDataFolder(opt.programFolder);
        if (data.folder.empty()) {
            Fail(data.error + "; set HOME, or give --keys FIRST,SECOND");
            return false;
        }
        if (!data.error.empty())
            std::cerr << "velotan-cli: cannot prepare the data folder: " << data.error << "\n";
        engine.SetDataFolder(data.folder);
        userFoldersReady = true;
        return true;
    };
    // The strong keys live in the key store beside chat.mx, which need not
    // exist for them.
    const cli::KeyStoreFinder findStore = [&]() -> std::optional<std::filesystem::path> {
        if (!prepareUserFolders())
            return std::nullopt;
        const std::u16string root = cipher::ReadKeyChar(engine.DataFolder());
        const cipher::LoadResult loaded = engine.LoadKeys(root);
        if (loaded == cipher::LoadResult::NoRoot) {
            Fail(
                "no key store found: set KeyChar in settings.ini, insert the stick with the "
                "keys, or create keys in the program");
            return std::nullopt;
        }
        if (loaded == cipher::LoadResult::Unavailable)
            return std::nullopt;  // the user was told why
        auto folder = engine.KeyStoreFolder();
        if (!folder)
            Fail("the key store cannot be reached");
        return folder;
    };
    const auto exitCode = [&](int code) { return usageFailure ? *usageFailure : code; };

    if (opt.command == "strong-key") {
        const cli::StrongKeyAction action = opt.newKey      ? cli::StrongKeyAction::New
                                            : opt.importKey ? cli::StrongKeyAction::Import
                                                            : cli::StrongKeyAction::Show;
        return exitCode(cli::StrongKeyCommand(action, opt.replaceKey, findStore));
    }
    if (opt.command == "friends")
        return exitCode(
            cli::FriendsCommand(opt.friendsAction, opt.friendName.value_or(""), findStore));
    if (opt.strong)
        return exitCode(cli::EncryptStrong(opt.keyFile, opt.qrFile, findStore));

    std::string input;
    const bool readsInput = opt.command == "decrypt" && !opt.document;
    if (readsInput) {
        bool more = false;
        input = ReadAtMost(std::cin, kMaxDecryptInputBytes, more);
        if (more) {
            return Fail("the input is longer than " + std::to_string(kMaxDecryptInputBytes) +
                        " bytes: that is no cipher text and code table, nor a post of them");
        }
        // A strong post needs strong keys, never the key pair.
        if (strong::HoldsStrongPost(input))
            return exitCode(cli::DecryptStrong(input, opt.keyFile, findStore));
        if (opt.keyFile)
            return Fail(
                "--key-file holds strong keys, and the input holds no strong post "
                "(心情：QL2:...)");
    }

    if (opt.keys) {
        engine.FirstKey = opt.keys->first;
        engine.SecondKey = opt.keys->second;
    } else {
        if (!prepareUserFolders())
            return exitCode(1);
        if (!LoadOwnKeys(engine))
            return Fail(
                "no key pair found: give --keys FIRST,SECOND, or create keys in the program");
    }
    if (opt.command == "encrypt")
        return Encrypt(engine, opt);
    return opt.document ? DecryptDocument(engine, opt, *opt.document) : Decrypt(engine, opt, input);
}
