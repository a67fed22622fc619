#include "UpdateCheck.h"

#include <atomic>
#include <optional>
#include <system_error>

#include "Version.h"
#include "platform/AnsiTextFile.h"
#include "update/UpdateList.h"
#include "update/UpdateServer.h"

namespace velotan::update {

namespace fs = std::filesystem;

namespace {

// Two checks at once would share update.lst and upvelotan.exe, and could
// start two installers.
std::atomic<bool> checkRunning{false};

class OneCheckAtATime {
  public:
    OneCheckAtATime() : owner_(!checkRunning.exchange(true)) {}
    ~OneCheckAtATime() {
        if (owner_)
            checkRunning = false;
    }
    OneCheckAtATime(const OneCheckAtATime&) = delete;
    OneCheckAtATime& operator=(const OneCheckAtATime&) = delete;
    bool Owner() const { return owner_; }

  private:
    bool owner_;
};

std::u16string InstalledVersion() {
    return std::u16string(kVersionText.begin(), kVersionText.end());
}

// A downloaded list or signature as it lies in the data folder now; nothing
// when it is missing, unreadable, or too big to be one.
std::optional<std::string> ReadSmallFile(const fs::path& file, int32_t maxBytes) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size > static_cast<uintmax_t>(maxBytes))
        return std::nullopt;
    return platform::ReadFileBytes(file);
}

}  // namespace

UpdateCheck::Download UpdateCheck::Through(Cls_DownLoad& downloader) {
    return [&downloader](const std::string& url, const fs::path& local, int32_t maxBytes) {
        struct Restore {
            Cls_DownLoad& d;
            ~Restore() { d.SetMaxBytes(INT32_MAX); }
        } restore{downloader};
        downloader.SetMaxBytes(maxBytes);
        downloader.DLFile(url, local, kConnectTimeoutMs);
        return downloader.LastResult();
    };
}

UpdateCheck::UpdateCheck(Download download, Launcher launch)
    : download_(std::move(download)), launch_(std::move(launch)) {}

CheckResult UpdateCheck::Run(const fs::path& dataFolder, const fs::path& programFolder) {
    CheckResult result;
    const OneCheckAtATime guard;
    if (!guard.Owner()) {
        result.outcome = CheckOutcome::Busy;
        return result;
    }
    const std::string server = ReadUpdateServer(dataFolder, programFolder);
    if (server.empty()) {
        result.outcome = CheckOutcome::NoServer;
        return result;
    }

    const fs::path listFile = dataFolder / kListFileName;
    const DownloadResult list = download_(server + kListUrlPath, listFile, kMaxListBytes);
    if (list.replaced && onListArrived)
        onListArrived();
    if (list.outcome == DownloadOutcome::LocalFileError) {
        result.outcome = CheckOutcome::ListNotSaved;
        result.file = listFile;
        return result;
    }
    if (list.outcome == DownloadOutcome::Stopped) {
        // The user asked to stop the update, not only this transfer.
        result.outcome = CheckOutcome::Stopped;
        return result;
    }

    // An earlier copy stands in for a list that did not arrive this time.
    result.earlierList = !list.replaced;
    const std::optional<std::string> bytes = ReadSmallFile(listFile, kMaxListBytes);
    if (!bytes) {
        result.outcome = CheckOutcome::ListUnreadable;
        return result;
    }
    const std::u16string joined = JoinListText(*bytes);
    if (onListText)
        onListText(joined);
    if (!ReadLeadingNumber(joined).found) {
        result.outcome = CheckOutcome::ListWithoutVersion;
        return result;
    }
    if (!IsNewerVersion(InstalledVersion(), joined)) {
        result.outcome = CheckOutcome::UpToDate;
        return result;
    }

    // Without the publisher's key nothing downloaded could be trusted, so
    // nothing is downloaded.
    const std::string keyText = ReadUpdatePublicKey(dataFolder, programFolder);
    const std::optional<MinisignKey> key = ParseMinisignKey(keyText);
    if (!key) {
        result.outcome = keyText.empty() ? CheckOutcome::NoPublicKey : CheckOutcome::BadPublicKey;
        return result;
    }

    if (onDownloadingInstaller)
        onDownloadingInstaller();
    CheckResult installer = RunInstaller(server, dataFolder, *key);
    installer.earlierList = result.earlierList;
    return installer;
}

CheckResult UpdateCheck::RunInstaller(const std::string& server, const fs::path& dataFolder,
                                      const MinisignKey& key) {
    CheckResult result;
    const fs::path installer = fs::absolute(dataFolder / kInstallerFileName);
    const DownloadResult setup = download_(server + kInstallerUrlPath, installer, INT32_MAX);
    if (setup.outcome == DownloadOutcome::LocalFileError) {
        result.outcome = CheckOutcome::InstallerNotSaved;
        result.file = installer;
        return result;
    }
    if (!setup.replaced || setup.httpStatus < 200 || setup.httpStatus > 299) {
        result.outcome = setup.outcome == DownloadOutcome::Stopped
                             ? CheckOutcome::Stopped
                             : CheckOutcome::InstallerIncomplete;
        return result;
    }
    if (!setup.secureOrigin) {
        // Code fetched over plain http from the network could be anyone's.
        result.outcome = CheckOutcome::InstallerInsecure;
        return result;
    }
    // Only the publisher's signature makes it something to run; until then
    // it stays a file that nobody can execute.
    if (std::optional<CheckResult> refused = CheckSignature(server, dataFolder, installer, key))
        return *refused;

    std::error_code ec;
    fs::permissions(installer, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (onInstallerReady)
        onInstallerReady(installer);
    result.file = installer;
    if (ec) {
        result.outcome = CheckOutcome::InstallerNotStarted;
        result.error = ec.message();
        return result;
    }
    if (!launch_({installer.string()}, &result.error)) {
        result.outcome = CheckOutcome::InstallerNotStarted;
        return result;
    }
    result.outcome = CheckOutcome::InstallerStarted;
    result.error.clear();
    return result;
}

std::optional<CheckResult> UpdateCheck::CheckSignature(const std::string& server,
                                                       const fs::path& dataFolder,
                                                       const fs::path& installer,
                                                       const MinisignKey& key) {
    CheckResult result;
    const fs::path signatureFile = dataFolder / kSignatureFileName;
    const DownloadResult signature =
        download_(server + kSignatureUrlPath, signatureFile, kMaxSignatureBytes);
    if (signature.outcome == DownloadOutcome::LocalFileError) {
        result.outcome = CheckOutcome::InstallerNotSaved;
        result.file = signatureFile;
        return result;
    }
    if (signature.outcome == DownloadOutcome::Stopped) {
        result.outcome = CheckOutcome::Stopped;
        return result;
    }
    // An earlier signature lying in the folder says nothing about this
    // installer: only one that arrived now counts.
    const std::optional<std::string> bytes =
        signature.replaced ? ReadSmallFile(signatureFile, kMaxSignatureBytes) : std::nullopt;
    if (!bytes) {
        result.outcome = CheckOutcome::SignatureMissing;
        return result;
    }
    switch (VerifyMinisign(installer, *bytes, key)) {
        case SignatureCheck::Good:
            return std::nullopt;
        case SignatureCheck::Malformed:
            result.outcome = CheckOutcome::SignatureMalformed;
            break;
        case SignatureCheck::OtherKey:
            result.outcome = CheckOutcome::SignatureOtherKey;
            break;
        case SignatureCheck::FileChanged:
            result.outcome = CheckOutcome::SignatureMismatch;
            break;
        case SignatureCheck::CommentChanged:
            result.outcome = CheckOutcome::SignatureCommentChanged;
            break;
        case SignatureCheck::Unverifiable:
            result.outcome = CheckOutcome::SignatureUnchecked;
            break;
    }
    return result;
}

}  // namespace velotan::update
