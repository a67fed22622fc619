#include "ModEncrypt.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Cipher.h"
#include "KeyFile.h"
#include "KeyStoreFiles.h"
#include "ProgramSettings.h"
#include "SettingsInput.h"
#include "SymbolSubstitution.h"
#include "platform/AnsiTextFile.h"
#include "platform/FolderTrust.h"
#include "platform/PathText.h"

namespace velotan::cipher {
namespace {

namespace fs = std::filesystem;
using platform::MsgStyle;
using platform::PathText;
using platform::ReasonText;

}  // namespace

ModEncrypt::ModEncrypt(fs::path programFolder, platform::Messenger& messenger,
                       DriveScanner scanDrives)
    : programFolder_(std::move(programFolder)),
      messenger_(messenger),
      scanDrives_(scanDrives ? std::move(scanDrives) : [this] {
          return platform::DriveMap::ScanSystem(KeyStoreLetter());
      }) {
    // One generator for the run, seeded once.
    draw_ = [this](int lo, int hi) { return random_.Between(lo, hi); };
}

fs::path ModEncrypt::SymbolFile() const {
    return programFolder_ / kSymbolFileName;
}

void ModEncrypt::Tell(const std::u16string& text) {
    messenger_.MsgBox(text, MsgStyle::kCritical, u"错误");
}

void ModEncrypt::ScanDrives() {
    drives_ = scanDrives_();
    const std::string& error = drives_.LetterFileError();
    if (!error.empty() && error != toldLetterFileError_) {
        toldLetterFileError_ = error;
        Tell(u"无法保存可移动磁盘的盘符记录，下次启动时盘符可能改变：\r\n" + ReasonText(error));
    }
}

void ModEncrypt::FindRemovableDrive() {
    ScanDrives();
    // The scan does not stop at the first hit: the last drive wins.
    for (char16_t letter = u'D'; letter <= u'Z'; ++letter) {
        if (drives_.DriveExists(letter) && drives_.IsRemovable(letter)) {
            KeyStoreRoot = std::u16string(1, letter);
        }
    }
}

void ModEncrypt::LocateRoot(const std::u16string& USBNAME) {
    if (!USBNAME.empty()) {
        KeyStoreRoot = USBNAME;
        ScanDrives();
    } else {
        FindRemovableDrive();
    }
}

std::optional<fs::path> ModEncrypt::KeyStoreFolder() const {
    auto root = drives_.RootFolder(KeyStoreRoot);
    if (!root)
        return std::nullopt;
    if (root->is_relative())
        root = (DataFolder() / *root).lexically_normal();
    return *root / "mxsw" / "encrypt";
}

bool ModEncrypt::TrustFolder(const fs::path& folder) {
    std::u16string why;
    switch (platform::CheckFolderTrust(folder)) {
        case platform::FolderTrust::Trusted:
        case platform::FolderTrust::NotChecked:
            return true;
        case platform::FolderTrust::OthersOwnIt:
            why = u"该文件夹属于其他用户。";
            break;
        case platform::FolderTrust::OthersCanWrite:
            why = u"其他用户可以写入该文件夹。";
            break;
    }
    Tell(u"密钥存放目录不安全，没有使用：\r\n" + PathText(folder) + u"\r\n" + why +
         u"\r\n请把密钥存放在只有您自己能写入的文件夹中。");
    return false;
}

std::optional<fs::path> ModEncrypt::EnsureFolders() {
    auto folder = KeyStoreFolder();
    if (!folder) {
        Tell(u"无法访问密钥存放位置“" + KeyStoreRoot + u"”，请确认存放密钥的磁盘已插入。");
        return std::nullopt;
    }
    // Only mxsw and encrypt are made; the root itself must already be there,
    // so that the mount point of an absent stick never turns into a local
    // folder that silently receives the keys. Nothing is made in a root
    // that others may write.
    const fs::path mxsw = folder->parent_path();
    if (!TrustFolder(mxsw.parent_path()))
        return std::nullopt;
    for (const fs::path& p : {mxsw, *folder}) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(p, ec))) {
            // For the user's eyes only, like the key file.
            if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) {
                Tell(u"无法创建密钥存放目录：\r\n" + PathText(p) + u"\r\n" +
                     ReasonText(std::strerror(errno)));
                return std::nullopt;
            }
        }
        if (!TrustFolder(p))
            return std::nullopt;
    }
    return folder;
}

bool ModEncrypt::StoreKeys(const std::u16string& line, int16_t first, int16_t second) {
    if (KeyStoreRoot.empty()) {
        // Nowhere to keep them: they serve this run only. settings.ini may
        // live in the data folder rather than where the text sends the user.
        messenger_.MsgBox(std::u16string(kPathFailedMessage) + u"\r\n" +
                              PathText(DataFolder() / kSettingsFileName),
                          MsgStyle::kOkOnly, u"错误");
        KeyLine = line;
        FirstKey = first;
        SecondKey = second;
        keysStored_ = false;
        return false;
    }
    auto folder = EnsureFolders();
    if (!folder) {
        return false;
    }
    // The pair being replaced stays findable: documents made with it can
    // only be read by typing it in again.
    std::string error;
    if (!KeepEarlierKeys(*folder, line, NowStamp(), &error)) {
        Tell(u"无法写入密钥文件，密钥没有保存：\r\n" + PathText(*folder / kEarlierKeysFileName) +
             u"\r\n" + ReasonText(error));
        return false;
    }
    // The keys change only once they are safely on disk.
    const fs::path file = *folder / kKeyFileName;
    if (!platform::WriteAnsiLines(file, {line}, platform::kPrivateFileMode, &error)) {
        Tell(u"无法写入密钥文件，密钥没有保存：\r\n" + PathText(file) + u"\r\n" +
             ReasonText(error));
        return false;
    }
    KeyLine = line;
    FirstKey = first;
    SecondKey = second;
    keysStored_ = true;
    return true;
}

bool ModEncrypt::BuildKeys(const std::u16string& USBNAME) {
    LocateRoot(USBNAME);
    const auto first = static_cast<int16_t>(draw_(1, 39));
    const auto second = static_cast<int16_t>(draw_(1, 39));
    return StoreKeys(ComposeKeyLine(first, second), first, second);
}

bool ModEncrypt::FirstRunKeys(const std::u16string& USBNAME) {
    LocateRoot(USBNAME);
    if (auto folder = KeyStoreFolder()) {
        std::error_code ec;
        // Whatever stands there is never overwritten: a file that cannot be
        // read is reported by the load and the marker stays for a later try.
        if (fs::exists(fs::symlink_status(*folder / kKeyFileName, ec)))
            return LoadKeys(USBNAME) == LoadResult::Loaded;
    }
    return BuildKeys(USBNAME);
}

bool ModEncrypt::OfferDataFolderKeyStore(std::u16string& USBNAME) {
    LocateRoot(USBNAME);
    if (!KeyStoreRoot.empty())
        return false;
    const bool programFolder = KeepsFilesInProgramFolder();
    const std::u16string folderText = PathText(DataFolder());
    const std::u16string_view question =
        programFolder ? kOfferProgramFolderQuestion : kOfferDataFolderQuestion;
    if (messenger_.MsgBox(std::u16string(question) + u"\r\n" + folderText,
                          MsgStyle::kYesNo | MsgStyle::kQuestion,
                          u"提示") != platform::MsgResult::Yes)
        return false;
    // A portable folder names itself relatively, so that its keys go with
    // it when it is moved or copied; a copy never reaches back into the
    // first folder's key file.
    const std::u16string root = programFolder ? std::u16string(kOwnFolderRoot) : folderText;
    // The next start must read back the very folder: settings.ini keeps 127
    // bytes of code page 936.
    std::string error;
    switch (programFolder ? windows::RootCheck::Ok : windows::CheckKeyStoreRoot(root, drives_)) {
        case windows::RootCheck::Ok:
            break;
        case windows::RootCheck::TooLong:
            error = "the path is longer than the 127 bytes settings.ini keeps";
            break;
        case windows::RootCheck::Unrepresentable:
            error = "the path holds characters that settings.ini cannot keep";
            break;
        case windows::RootCheck::NoSuchFolder:
        case windows::RootCheck::NoSuchDrive:  // an absolute path is never a drive letter
            error = "the folder does not exist";
            break;
    }
    if (error.empty() && !WriteKeyChar(DataFolder(), root, &error) && error.empty())
        error = "settings.ini was not written";
    if (!error.empty()) {
        Tell(u"无法把密钥存放在用户数据目录中：\r\n" + folderText + u"\r\n" + ReasonText(error));
        return false;
    }
    USBNAME = root;
    return true;
}

FirstRun ModEncrypt::CheckFirstRun(std::u16string& USBNAME) {
    // Once per start: coming back from the settings window must not replace
    // keys that were just made or imported there.
    if (firstRunChecked_)
        return FirstRun::NotFirst;
    firstRunChecked_ = true;
    const fs::path marker = DataFolder() / kFirstRunMarker;
    if (!platform::IsOrdinaryFile(marker))
        return FirstRun::NotFirst;
    // Most desktops have no stick plugged in: rather than keys that live
    // for this run only, the user may keep them in the data folder.
    OfferDataFolderKeyStore(USBNAME);
    // The marker goes only once the keys are in force and kept; otherwise
    // the next start tries again.
    if (!FirstRunKeys(USBNAME))
        return FirstRun::KeysNotKept;
    std::error_code ec;
    fs::remove(marker, ec);
    if (ec) {
        Tell(u"无法删除首次运行标记文件：\r\n" + PathText(marker) +
             u"\r\n下次启动时将重新生成密钥。请手动删除该文件。");
        return FirstRun::MarkerStayed;
    }
    return FirstRun::KeysKept;
}

bool ModEncrypt::ImportKeys(int16_t first, int16_t second) {
    ScanDrives();
    if (!StoreKeys(ComposeKeyLine(first, second), first, second)) {
        return false;  // no success is claimed for keys that were not kept
    }
    messenger_.MsgBox(u"导入操作已完成！", MsgStyle::kInformation, u"操作成功");
    return true;
}

LoadResult ModEncrypt::LoadKeys(const std::u16string& USBNAME) {
    LocateRoot(USBNAME);
    if (KeyStoreRoot.empty())
        return LoadResult::NoRoot;
    auto folder = EnsureFolders();
    if (!folder)
        return LoadResult::Unavailable;
    const fs::path file = *folder / kKeyFileName;
    if (!platform::IsOrdinaryFile(file))
        return LoadResult::NoKeyFile;
    std::string error;
    auto lines = platform::ReadAnsiLines(file, &error);
    if (!lines) {
        Tell(u"无法读取密钥文件：\r\n" + PathText(file) + u"\r\n" + ReasonText(error));
        return LoadResult::Unavailable;
    }
    const KeyFileScan scan = ParseKeyFile(*lines);
    if (scan.skippedLines > 0) {
        Tell(u"密钥文件中有无法识别的行，已跳过：\r\n" + PathText(file));
    }
    if (!scan.keys)
        return scan.skippedLines > 0 ? LoadResult::Unavailable : LoadResult::NoKeyFile;
    FirstKey = scan.keys->first;
    SecondKey = scan.keys->second;
    keysStored_ = true;
    return LoadResult::Loaded;
}

bool ModEncrypt::EncryptText(std::u16string_view plainText) {
    auto pair = Encrypt(plainText, FirstKey, SecondKey, [this] { return draw_(1, 26); });
    if (!pair)
        return false;
    ResultText = std::move(pair->cipherText);
    CodeTable = std::move(pair->codeTable);
    lastCipherText_ = ResultText;
    return true;
}

bool ModEncrypt::HoldsCipherText() const {
    return !ResultText.empty() && ResultText == lastCipherText_;
}

void ModEncrypt::DecryptText(std::u16string_view cipherText, std::u16string_view codeTable) {
    DecryptWith(FirstKey, SecondKey, cipherText, codeTable);
}

void ModEncrypt::DecryptWith(int16_t first, int16_t second, std::u16string_view cipherText,
                             std::u16string_view codeTable) {
    ResultText = Decrypt(cipherText, codeTable, first, second);
    RestoreSymbols();
}

void ModEncrypt::RestoreSymbols() {
    ResultText = cipher::RestoreSymbols(std::move(ResultText), SymbolFile());
}

}  // namespace velotan::cipher
