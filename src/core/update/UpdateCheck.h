#pragma once
// The whole update check, without a window: the server from update.ini, the
// version list, the decision against the installed version, the installer's
// download, its minisign signature and its start. What runs is a copy of the
// installer in a fresh folder that only the user can write, checked from its
// open descriptor, so nothing can take its place between the check and the
// start. The transfers and the start of a program come in
// as parameters, so that tests can put their own in their place. The steps on the way reach the
// caller through callbacks; the end comes back as an outcome for the window to show.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/Cls_DownLoad.h"
#include "update/Minisign.h"

namespace velotan::update {

// How a check ended.
enum class CheckOutcome {
    Busy,                     // another check runs in this process; this one did nothing
    NoServer,                 // update.ini names no server; nothing was asked
    ListNotSaved,             // update.lst could not be written (`file`)
    Stopped,                  // the user stopped a transfer
    ListUnreadable,           // no list arrived and no earlier copy could be read
    ListWithoutVersion,       // the list does not begin with a version number
    UpToDate,                 // the list names no newer version
    NoPublicKey,              // update.ini has no PublicKey: nothing signed can be checked
    BadPublicKey,             // PublicKey is not a minisign public key
    InstallerNotSaved,        // the installer could not be written (`file`)
    InstallerIncomplete,      // the installer did not arrive whole from a 2xx answer
    InstallerInsecure,        // the installer came over plain http from the network
    SignatureMissing,         // no up_velotan.exe.minisig arrived
    SignatureMalformed,       // what arrived is not a minisign signature
    SignatureOtherKey,        // signed with another key than PublicKey
    SignatureMismatch,        // the signature does not fit the installer
    SignatureCommentChanged,  // the signature's trusted comment was changed
    SignatureUnchecked,       // the installer could not be read to check it
    SignatureLegacy,          // the legacy "Ed" form, which signs nothing of the algorithm
    SignatureOtherVersion,    // signed for another version than the list names
    InstallerFolderShared,    // others could write where the installer would run (`file`)
    InstallerNotStarted,      // the installer could not be started (`file`, `error`)
    InstallerStarted,         // the installer runs; the program ends now
};

struct CheckResult {
    CheckOutcome outcome = CheckOutcome::Busy;
    // The list did not arrive this time; an earlier copy was read instead.
    bool earlierList = false;
    // The file a local error or a failed start concerns.
    std::filesystem::path file;
    std::string error;  // why the installer did not start
};

// The list is a line or a few; anything bigger is not one, and is neither
// downloaded to the end nor read into memory.
inline constexpr int32_t kMaxListBytes = 1 << 20;
// A signature is a few lines.
inline constexpr int32_t kMaxSignatureBytes = 1 << 16;
// The publisher signs the installer of version V with the trusted comment
// "velotan V", V as the list writes it (minisign -t "velotan 1.2"): an
// installer signed for one version never passes for another.
inline constexpr std::string_view kTrustedCommentPrefix = "velotan ";
// The connect time-out of the check's transfers, in milliseconds.
inline constexpr int32_t kConnectTimeoutMs = 5000;

class UpdateCheck {
  public:
    // One transfer: `url` into `local`, ending as incomplete before more than
    // `maxBytes` would arrive.
    using Download = std::function<DownloadResult(
        const std::string& url, const std::filesystem::path& local, int32_t maxBytes)>;
    // Starts a program from an argument vector without waiting for it; false,
    // with a reason, when it could not be started.
    using Launcher = std::function<bool(const std::vector<std::string>& argv, std::string* error)>;

    // The check's transfers through `downloader`: its events go to whoever
    // listens to it, and its byte limit is restored after every transfer.
    static Download Through(Cls_DownLoad& downloader);

    UpdateCheck(Download download, Launcher launch);

    // The list arrived and replaced update.lst.
    std::function<void()> onListArrived;
    // The list's lines joined, as read (this time's list or an earlier one).
    std::function<void(const std::u16string& joined)> onListText;
    // A newer version is listed; the installer's download starts.
    std::function<void()> onDownloadingInstaller;
    // The installer is here and about to start: the last word to the user.
    // `installer` is the checked copy that will run.
    std::function<void(const std::filesystem::path& installer)> onInstallerReady;

    // Runs the check. update.ini comes from the data folder (the program
    // folder's copy without one); the downloads land in the data folder.
    // One check runs at a time in the process: while one runs, another
    // ends at once with Busy.
    CheckResult Run(const std::filesystem::path& dataFolder,
                    const std::filesystem::path& programFolder);

  private:
    CheckResult RunInstaller(const std::string& server, const std::filesystem::path& dataFolder,
                             const MinisignKey& key, const std::string& version);
    // The signature that arrived now, or why there is none.
    std::optional<CheckResult> FetchSignature(const std::string& server,
                                              const std::filesystem::path& dataFolder,
                                              std::string* signature);

    Download download_;
    Launcher launch_;
};

}  // namespace velotan::update
