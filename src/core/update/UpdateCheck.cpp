#include "UpdateCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
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

// A folder where the installer's copy may be made and run: the user's own,
// writable by nobody else, in folders that nobody else can rename it out of
// (each above it belongs to root or the user and is not writable by others,
// unless sticky, like /tmp). Otherwise someone else could put their own
// file, or their own folder, where the checked copy stands.
bool FolderOnlyTheUserWrites(const fs::path& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec)
        return false;
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return false;
    for (fs::path above = real.parent_path();; above = above.parent_path()) {
        if (::stat(above.c_str(), &info) != 0)
            return false;
        const bool othersWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        if ((info.st_uid != 0 && info.st_uid != ::geteuid()) ||
            (othersWrite && (info.st_mode & S_ISVTX) == 0))
            return false;
        if (above == above.parent_path())
            return true;
    }
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

// The copy of the installer that is checked and run: a fresh folder made by
// mkdtemp (0700) in the data folder, holding the file, open for reading.
// It goes again unless Keep() is called.
class StagedInstaller {
  public:
    ~StagedInstaller() {
        if (!folder_.empty() && !keep_) {
            std::error_code ec;
            fs::remove_all(folder_, ec);
        }
    }
    // Copies `source` into a fresh folder in `dataFolder`; false, with
    // the reason, when that fails.
    bool Make(const fs::path& source, const fs::path& dataFolder, std::string* error) {
        std::string pattern = (dataFolder / ".upvelotan-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return Fail(error, pattern);
        folder_ = pattern;
        file_ = folder_ / kInstallerFileName;
        const FileDescriptor in(
            ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
        struct stat info {};
        if (in.get() < 0 || ::fstat(in.get(), &info) != 0)
            return Fail(error, source);
        if (!S_ISREG(info.st_mode)) {
            errno = EINVAL;
            return Fail(error, source);
        }
        fd_.Reset(::open(file_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0700));
        if (fd_.get() < 0)
            return Fail(error, file_);
        std::string buffer(1 << 16, '\0');
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return Fail(error, source);
            if (n == 0)
                break;
            if (!platform::WriteAll(fd_.get(),
                                    std::string_view(buffer.data(), static_cast<size_t>(n))))
                return Fail(error, file_);
        }
        if (::fsync(fd_.get()) != 0 || ::fchmod(fd_.get(), 0700) != 0)
            return Fail(error, file_);
        return true;
    }
    StagedInstaller() = default;
    StagedInstaller(const StagedInstaller&) = delete;
    StagedInstaller& operator=(const StagedInstaller&) = delete;

    int Descriptor() const { return fd_.get(); }
    const fs::path& File() const { return file_; }
    // The installer runs from here; the folder stays.
    void Keep() { keep_ = true; }
    // Nothing can change the copy any more: its descriptor goes before the
    // start, as a running program's file may not be open for writing.
    void Close() { fd_.Reset(); }

  private:
    bool Fail(std::string* error, const fs::path& file) {
        *error = file.string() + ": " + std::strerror(errno);
        return false;
    }

    fs::path folder_;
    fs::path file_;
    FileDescriptor fd_;
    bool keep_ = false;
};

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
    const LeadingNumber listed = ReadLeadingNumber(joined);
    if (!listed.found) {
        result.outcome = CheckOutcome::ListWithoutVersion;
        return result;
    }
    // An older or the same version is never installed, signed or not.
    if (CompareNumbers(ReadLeadingNumber(InstalledVersion()), listed) >= 0) {
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
    CheckResult installer = RunInstaller(server, dataFolder, *key, listed.written);
    installer.earlierList = result.earlierList;
    return installer;
}

CheckResult UpdateCheck::RunInstaller(const std::string& server, const fs::path& dataFolder,
                                      const MinisignKey& key, const std::string& version) {
    CheckResult result;
    const fs::path folder = fs::absolute(dataFolder);
    const fs::path installer = folder / kInstallerFileName;
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
    std::string signature;
    if (std::optional<CheckResult> missing = FetchSignature(server, dataFolder, &signature))
        return *missing;

    // The downloaded file stays as it came, never executable. What runs is
    // a copy that only the user can change, checked from its descriptor.
    if (!FolderOnlyTheUserWrites(folder)) {
        result.outcome = CheckOutcome::InstallerFolderShared;
        result.file = folder;
        return result;
    }
    StagedInstaller staged;
    if (!staged.Make(installer, folder, &result.error)) {
        result.outcome = CheckOutcome::InstallerNotSaved;
        result.file = staged.File().empty() ? folder : staged.File();
        return result;
    }
    std::string comment;
    switch (VerifyMinisign(staged.Descriptor(), signature, key, &comment)) {
        case SignatureCheck::Good:
            result.outcome = comment == std::string(kTrustedCommentPrefix) + version
                                 ? CheckOutcome::InstallerStarted
                                 : CheckOutcome::SignatureOtherVersion;
            break;
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
        case SignatureCheck::LegacyForm:
            result.outcome = CheckOutcome::SignatureLegacy;
            break;
    }
    if (result.outcome != CheckOutcome::InstallerStarted)
        return result;
    staged.Close();

    if (onInstallerReady)
        onInstallerReady(staged.File());
    result.file = staged.File();
    if (!launch_({staged.File().string()}, &result.error)) {
        result.outcome = CheckOutcome::InstallerNotStarted;
        return result;
    }
    staged.Keep();
    result.outcome = CheckOutcome::InstallerStarted;
    result.error.clear();
    return result;
}

std::optional<CheckResult> UpdateCheck::FetchSignature(const std::string& server,
                                                       const fs::path& dataFolder,
                                                       std::string* signature) {
    CheckResult result;
    const fs::path signatureFile = dataFolder / kSignatureFileName;
    const DownloadResult download =
        download_(server + kSignatureUrlPath, signatureFile, kMaxSignatureBytes);
    if (download.outcome == DownloadOutcome::LocalFileError) {
        result.outcome = CheckOutcome::InstallerNotSaved;
        result.file = signatureFile;
        return result;
    }
    if (download.outcome == DownloadOutcome::Stopped) {
        result.outcome = CheckOutcome::Stopped;
        return result;
    }
    // An earlier signature lying in the folder says nothing about this
    // installer: only one that arrived now counts.
    std::optional<std::string> bytes =
        download.replaced ? ReadSmallFile(signatureFile, kMaxSignatureBytes) : std::nullopt;
    if (!bytes) {
        result.outcome = CheckOutcome::SignatureMissing;
        return result;
    }
    *signature = std::move(*bytes);
    return std::nullopt;
}

}  // namespace velotan::update
