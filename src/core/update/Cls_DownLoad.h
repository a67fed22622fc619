#pragma once
// Downloads one file over HTTP(S) to a local path, synchronously, and tells
// its listener how it goes: status numbers at every stage and one progress
// event per chunk of at most 512 bytes. After every chunk it calls a pump
// hook, through which the window lets its pending events run (that is how a
// stop button reaches DLFileStop during a transfer).
//
// Only a complete transfer replaces the local file, atomically; a stopped,
// failed or short transfer leaves the old file as it was.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace velotan::update {

// Status numbers raised with entDLFileStatus.
enum DownloadStatus : int32_t {
    kConnecting = 1,    // DLFile starts
    kRequesting = 2,    // session open, the URL is requested
    kQueryingSize = 3,  // the URL is open
    kReceiving = 4,     // the local file is opened, the transfer starts
    kStopped = 5,       // a stop was requested
    kFinished = 6,      // the end of every call that opened a session
    kNoSession = 7,     // no session could be opened
    kNotOpened = 8,     // the URL could not be opened
    kEndOfData = 9,     // the data ended, or a read failed
};

// How the last DLFile call ended, beyond its byte count.
enum class DownloadOutcome {
    None,            // no call yet
    Complete,        // everything arrived; the local file was replaced
    Stopped,         // DLFileStop ended it
    Incomplete,      // a read failed, the server went quiet or the body was short
    NotOpened,       // no connection, an HTTP error status, too many redirects
    NoSession,       // the HTTP client could not be set up
    LocalFileError,  // the local file could not be written
};

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::None;
    bool replaced = false;  // the local file now holds the complete download
    long httpStatus = 0;    // the final response's status, 0 without one
    // Every response of the transfer, redirects included, came over https or
    // from a loopback address with no proxy in between.
    bool secureOrigin = false;
    std::string error;  // why it did not complete, for people
};

// True for an https URL, or for a URL that names a loopback host and was
// answered from a loopback address (so no proxy or other machine served it).
bool IsSecureOrigin(std::string_view url, std::string_view primaryIp);

class Cls_DownLoad {
  public:
    using DowningHandler = std::function<void(const std::string& sRemoteURL, int32_t lDownLoaded,
                                              int32_t lFilesize, int32_t lSpeed)>;
    using StatusHandler = std::function<void(int32_t TmpState)>;
    using PumpHook = std::function<void()>;
    // Monotonic seconds; any origin.
    using Clock = std::function<double()>;

    static constexpr int kChunkBytes = 512;
    // Within the first second the speed reads this.
    static constexpr int32_t kFirstSecondSpeed = 1025;
    static constexpr std::chrono::milliseconds kDefaultIdleTimeout{30000};

    Cls_DownLoad();
    Cls_DownLoad(const Cls_DownLoad&) = delete;
    Cls_DownLoad& operator=(const Cls_DownLoad&) = delete;

    DowningHandler entDLFileDowning;
    StatusHandler entDLFileStatus;
    PumpHook pumpEvents;

    // Fetches sRemoteURL into sLocalFilePath. lTimeOut is the connect timeout
    // in milliseconds (none of our own when 0 or less). Returns the bytes
    // received, 0 when nothing arrived; LastResult() tells the rest.
    int32_t DLFile(const std::string& sRemoteURL, const std::filesystem::path& sLocalFilePath,
                   int32_t lTimeOut);

    // Asks the running transfer to stop: after its current chunk while data
    // flows, within a few tens of milliseconds while it waits (resolving,
    // connecting, waiting for the answer or for more data). With no transfer
    // running, the request waits for the next one, which it stops after its
    // first chunk. Always 0.
    int16_t DLFileStop();

    // For a window that ends its own work: forget a stop that no transfer
    // has seen yet.
    void ClearPendingStop() { bStopDownload = false; }
    bool StopPending() const { return bStopDownload; }

    const DownloadResult& LastResult() const { return result_; }

    // A transfer that receives nothing for this long ends like a failed read.
    void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
    void SetClock(Clock clock);
    // Transfers stop as incomplete before the byte count would pass this.
    void SetMaxBytes(int32_t maxBytes) { maxBytes_ = maxBytes; }

  private:
    struct Transfer;

    void RaiseStatus(int32_t status);
    double Now() const;

    bool bStopDownload = false;
    // Counts DLFileStop calls, so a transfer tells a stop asked for during
    // it from one left pending before it.
    uint64_t stopRequests_ = 0;
    DownloadResult result_;
    std::chrono::milliseconds idleTimeout_ = kDefaultIdleTimeout;
    Clock clock_;
    int32_t maxBytes_ = INT32_MAX;
};

// The speed the progress events carry: bytes per second over the whole
// transfer, from whole seconds; kFirstSecondSpeed within the first second.
int32_t AverageSpeed(int32_t bytesSoFar, double startSeconds, double nowSeconds);

}  // namespace velotan::update
