#pragma once
// The run's cipher state and the operations on it: finding the key store,
// generating, importing and loading the key pair, encrypting and decrypting.
// One object lives for the whole run; windows hold a reference to it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "UniformRandom.h"
#include "platform/DriveMap.h"
#include "platform/Messenger.h"

namespace velotan::cipher {

inline constexpr std::u16string_view kPathFailedMessage =
    u"路径设置失败，请到安装目录下，重新设置settings.ini文件中的KeyChar项";
// Asked at the first start when there is no key store at all; the folder
// that would hold the keys follows on a line of its own.
inline constexpr std::u16string_view kOfferDataFolderQuestion =
    u"没有找到U盘等可移动磁盘。\r\n是否把密钥保存在本机的用户数据目录中？";
// The same when the program keeps its files in its own folder (a portable
// folder).
inline constexpr std::u16string_view kOfferProgramFolderQuestion =
    u"没有找到U盘等可移动磁盘。\r\n是否把密钥保存在程序所在的文件夹中？";

// KeyChar for the folder that holds settings.ini itself. A portable folder
// keeps its keys by this name, so they go with the folder when it is moved
// or copied; the program this one comes from read it the same way, from its
// own working folder.
inline constexpr std::u16string_view kOwnFolderRoot = u".\\";

// The marker file that the installer leaves in the data folder for the first
// start.
inline constexpr const char* kFirstRunMarker = "first";

enum class FirstRun {
    NotFirst,      // no marker, or the check already ran in this run
    KeysKept,      // the first-run keys are in force and kept; the marker is gone
    KeysNotKept,   // the keys could not be kept: the marker stays for the next start
    MarkerStayed,  // the keys are kept, but the marker could not go (the user was told)
};

enum class LoadResult {
    NoRoot,       // no key store known: nothing was read
    NoKeyFile,    // the store has no key file: the keys keep their values
    Loaded,       // the keys come from the key file
    Unavailable,  // the store or its file could not be reached or read (the user was told)
};

class ModEncrypt {
  public:
    // Random integer from lo to hi inclusive.
    using Draw = std::function<int(int lo, int hi)>;
    // Scans the drives; the default one is platform::DriveMap::ScanSystem,
    // keeping KeyStoreLetter().
    using DriveScanner = std::function<platform::DriveMap()>;

    ModEncrypt(std::filesystem::path programFolder, platform::Messenger& messenger,
               DriveScanner scanDrives = {});
    ModEncrypt(const ModEncrypt&) = delete;
    ModEncrypt& operator=(const ModEncrypt&) = delete;

    // State of the run, read and set by the windows.
    std::u16string KeyStoreRoot;
    std::u16string KeyLine;
    int16_t FirstKey = 0;
    int16_t SecondKey = 0;
    std::u16string ResultText;
    std::u16string CodeTable;

    // The drive letter the key store lives on; 0 when it is a folder or
    // unknown. A drive scan never hands this letter to another medium.
    char16_t KeyStoreLetter() const { return KeyStoreRoot.size() == 1 ? KeyStoreRoot[0] : 0; }

    // Sets KeyStoreRoot to the last removable drive in D..Z, if there is one.
    void FindRemovableDrive();

    // New random keys (1..39). True when the key file was written. With no
    // root the new keys stay in force for the run, stored nowhere (see
    // KeysStored); when the write fails the previous keys stay and the user
    // is told.
    bool BuildKeys(const std::u16string& USBNAME);

    // True when the keys in force are kept in a key file: read from it, or
    // written to it. Keys that live only in this run would make texts that
    // nobody can decrypt after it, so they are not used for encrypting.
    bool KeysStored() const { return keysStored_; }

    // At the first start, when no key store can be found (no root in
    // USBNAME, no removable drive): asks whether the keys may live in the
    // data folder, naming it. Yes writes that folder as KeyChar into
    // settings.ini (kOwnFolderRoot when it is the program folder) and puts
    // it into USBNAME. True when USBNAME now names it.
    bool OfferDataFolderKeyStore(std::u16string& USBNAME);

    // The first-run keys: a key file already in the store (the same stick
    // on a second computer) is loaded and kept; new keys are made only when
    // there is none. True when the keys are in force and kept, so the
    // first-run marker can go.
    bool FirstRunKeys(const std::u16string& USBNAME);

    // The first-run check, once per run: when the marker file is in the data
    // folder, the first-run keys; the marker goes once they are kept. Without
    // any key store the data folder is offered first (OfferDataFolderKeyStore),
    // which may set USBNAME.
    FirstRun CheckFirstRun(std::u16string& USBNAME);

    // Takes over a typed pair; its key line is composed here, so line and
    // numbers always agree. True when the key file was written and the keys
    // are in force.
    bool ImportKeys(int16_t first, int16_t second);

    // Reads the key pair from the key store's key file.
    LoadResult LoadKeys(const std::u16string& USBNAME);

    // Encrypts into ResultText and CodeTable. False (and nothing changed) when
    // the text is too long to be encrypted correctly.
    bool EncryptText(std::u16string_view plainText);

    // True while ResultText holds the cipher text of this run's last
    // encryption. After a load or a decode it holds a plain text, which must
    // never be saved or shared as if it were encrypted.
    bool HoldsCipherText() const;

    // Decrypts into ResultText with the keys in force, placeholders back to
    // marks included.
    void DecryptText(std::u16string_view cipherText, std::u16string_view codeTable);

    // The same with someone else's keys: FirstKey and SecondKey, the user's
    // own pair, stay as they are.
    void DecryptWith(int16_t first, int16_t second, std::u16string_view cipherText,
                     std::u16string_view codeTable);

    // Placeholders in ResultText back to their marks.
    void RestoreSymbols();

    // The key-store folder for the current root; nullopt when there is none
    // or its drive is not mounted. A relative root lies in the data folder,
    // whatever folder the program was started from.
    std::optional<std::filesystem::path> KeyStoreFolder() const;

    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    // Where settings.ini and the other files the program writes live: the
    // program folder, or the user's own folder when that cannot be written.
    const std::filesystem::path& DataFolder() const {
        return dataFolder_.empty() ? programFolder_ : dataFolder_;
    }
    void SetDataFolder(std::filesystem::path folder) { dataFolder_ = std::move(folder); }
    // The program keeps its files in its own folder: a portable folder.
    bool KeepsFilesInProgramFolder() const {
        return dataFolder_.empty() || dataFolder_ == programFolder_;
    }
    std::filesystem::path SymbolFile() const;

    // Tests make the random draws predictable.
    void SetDraw(Draw draw) { draw_ = std::move(draw); }

  private:
    // Scans the drives; a failure to remember their letters is told once.
    void ScanDrives();
    void LocateRoot(const std::u16string& USBNAME);
    // Creates the store's folders where nothing stands yet. nullopt (and the
    // user told) when the store cannot be reached or made, or when a folder
    // of it is someone else's or others can write it.
    std::optional<std::filesystem::path> EnsureFolders();
    // Writes the key file and, once it is written, takes the keys into use.
    // With no root the keys serve this run only.
    bool StoreKeys(const std::u16string& line, int16_t first, int16_t second);
    void Tell(const std::u16string& text);
    // False, and the user told why, when `folder` may not hold the keys.
    bool TrustFolder(const std::filesystem::path& folder);

    std::filesystem::path programFolder_;
    std::filesystem::path dataFolder_;
    platform::Messenger& messenger_;
    DriveScanner scanDrives_;
    platform::DriveMap drives_;
    std::string toldLetterFileError_;
    bool keysStored_ = false;
    UniformRandom random_;
    Draw draw_;
    std::u16string lastCipherText_;
    bool firstRunChecked_ = false;
};

}  // namespace velotan::cipher
