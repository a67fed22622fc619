#include "Cls_DownLoad.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <random>

#include "platform/AnsiTextFile.h"

namespace velotan::update {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr char kUserAgent[] = "VB Http";
constexpr long kMaxRedirects = 10;
constexpr size_t kWriteBuffer = 64 * 1024;
// While nothing arrives (resolving, connecting, a quiet server) the window
// still gets its events this often, and a stop asked for there is seen
// within about twice this time.
constexpr auto kQuietPumpInterval = std::chrono::milliseconds(20);
constexpr int kPollMs = 20;

void EnsureCurlGlobal() {
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialized;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The Content-Length value as the class reads it: the leading digits; 0 when
// there are none or when the value does not fit in 32 bits (unknown).
int32_t ParseLength(std::string_view value) {
    int64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + (c - '0');
        if (n > INT32_MAX)
            return 0;
    }
    return static_cast<int32_t>(n);
}

// Only these answers carry the file: 204 and 205 have no content, and
// every other class is something else (an interim answer, a redirect, an
// error).
bool IsContentAnswer(long code) {
    return code >= 200 && code <= 299 && code != 204 && code != 205;
}

bool IsLoopbackHost(std::string_view host) {
    const std::string h = Lower(host);
    if (h == "localhost" || h == "::1")
        return true;
    if (h.rfind("127.", 0) != 0)
        return false;
    return h.find_first_not_of("0123456789.") == std::string::npos;
}

bool IsLoopbackAddress(std::string_view ip) {
    const std::string a = Lower(ip);
    if (a == "::1")
        return true;
    const std::string_view v4 = a.rfind("::ffff:", 0) == 0 ? std::string_view(a).substr(7) : a;
    return v4.rfind("127.", 0) == 0;
}

// Loopback never goes through a proxy; everything else follows the usual
// proxy environment, as the platform client follows the system settings.
std::string NoProxyList() {
    const char* env = std::getenv("no_proxy");
    if (!env || !*env)
        env = std::getenv("NO_PROXY");
    const std::string given = env ? env : "";
    if (given == "*")
        return given;
    std::string list = "localhost,127.0.0.1,::1";
    if (!given.empty())
        list += "," + given;
    return list;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// The easy handle inside a multi handle, so that the transfer loop is ours.
class MultiTransfer {
  public:
    MultiTransfer(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        added_ = multi_ && curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }
    ~MultiTransfer() { Close(); }
    MultiTransfer(const MultiTransfer&) = delete;
    MultiTransfer& operator=(const MultiTransfer&) = delete;

    bool Ready() const { return added_; }
    void Close() {
        if (added_)
            curl_multi_remove_handle(multi_, easy_);
        added_ = false;
    }

  private:
    CURLM* multi_;
    CURL* easy_;
    bool added_ = false;
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The download's temporary file beside the target; it replaces the target
// only when committed, and disappears otherwise.
class StagedFile {
  public:
    ~StagedFile() { Discard(); }

    bool Create(const fs::path& target, std::string& error) {
        target_ = target;
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::random_device random;
        for (int attempt = 0; attempt < 8; ++attempt) {
            // Appended piece by piece: GCC 12's Release optimiser raises a
            // false -Wrestrict on a chain of operator+ here.
            std::string name = ".";
            name += target.filename().string();
            name += ".part";
            name += std::to_string(random());
            tmp_ = folder / name;
            const int fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                file_ = ::fdopen(fd, "wb");
                if (!file_) {
                    ::close(fd);
                    break;
                }
                // 512-byte chunks go to the disk in larger writes.
                std::setvbuf(file_, nullptr, _IOFBF, kWriteBuffer);
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        error = "cannot create " + tmp_.string() + ": " + std::strerror(errno);
        tmp_.clear();
        return false;
    }

    bool Write(const char* data, size_t n, std::string& error) {
        if (std::fwrite(data, 1, n, file_) == n)
            return true;
        error = "cannot write " + tmp_.string() + ": " + std::strerror(errno);
        return false;
    }

    // Flushes to disk and renames over the target.
    bool Commit(std::string& error) {
        if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
            error = "cannot write " + tmp_.string() + ": " + std::strerror(errno);
            return false;
        }
        FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) {
            error = "cannot close " + tmp_.string() + ": " + std::strerror(errno);
            return false;
        }
        if (::rename(tmp_.c_str(), target_.c_str()) != 0) {
            error = "cannot replace " + target_.string() + ": " + std::strerror(errno);
            return false;
        }
        tmp_.clear();
        // Until the folder is synced the new name may still be lost.
        const fs::path folder = target_.parent_path();
        return platform::SyncFolder(folder.empty() ? fs::path(".") : folder, &error);
    }

    void Discard() {
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
        if (!tmp_.empty()) {
            ::unlink(tmp_.c_str());
            tmp_.clear();
        }
    }

  private:
    fs::path target_;
    fs::path tmp_;
    FILE* file_ = nullptr;
};

}  // namespace

bool IsSecureOrigin(std::string_view url, std::string_view primaryIp) {
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos)
        return false;
    const std::string scheme = Lower(url.substr(0, schemeEnd));
    if (scheme == "https")
        return true;
    if (scheme != "http")
        return false;
    std::string_view authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos)
        authority = authority.substr(at + 1);
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        host = authority.substr(1, close - 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    return IsLoopbackHost(host) && IsLoopbackAddress(primaryIp);
}

int32_t AverageSpeed(int32_t bytesSoFar, double startSeconds, double nowSeconds) {
    // Both ends in whole seconds (round half to even, as the speed itself).
    const double elapsed = std::nearbyint(nowSeconds) - std::nearbyint(startSeconds);
    if (!(elapsed > 0))
        return Cls_DownLoad::kFirstSecondSpeed;
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(bytesSoFar) / elapsed));
}

// What one DLFile call keeps while libcurl runs it.
struct Cls_DownLoad::Transfer {
    Transfer(Cls_DownLoad& owner_, const std::string& url_, fs::path local_, CURL* curl_)
        : owner(owner_), url(url_), local(std::move(local_)), curl(curl_) {}

    Cls_DownLoad& owner;
    const std::string& url;
    fs::path local;
    CURL* curl;
    uint64_t stopRequestsAtStart = owner.stopRequests_;

    bool opened = false;    // the final response's headers are in, the file is staged
    bool rejected = false;  // the final response was an HTTP error
    bool stopped = false;
    bool localError = false;
    bool idle = false;
    bool tooLarge = false;
    bool sawLocation = false;
    bool secure = true;
    long httpStatus = 0;
    std::string contentLength;
    int32_t fileSize = 0;
    int32_t bytes = 0;
    double startSeconds = 0;
    StagedFile staged;
    std::string error;
    std::exception_ptr failure;

    SteadyClock::time_point lastActivity = SteadyClock::now();
    SteadyClock::time_point lastPump = SteadyClock::now();
    curl_off_t lastDlNow = 0;

    // A listener's exception must not unwind through libcurl: it is kept,
    // the transfer aborted, and the exception rethrown once curl returns.
    template <typename F>
    auto Guarded(F&& f, decltype(f()) onFailure) -> decltype(f()) {
        try {
            return f();
        } catch (...) {
            failure = std::current_exception();
            return onFailure;
        }
    }

    bool OnHeaderLine(std::string_view line) {
        lastActivity = SteadyClock::now();
        if (opened)
            return true;  // trailers
        if (line.rfind("HTTP/", 0) == 0) {
            sawLocation = false;
            contentLength.clear();
            return true;
        }
        if (Trim(line).empty())
            return OnHeadersEnd();
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            return true;
        const std::string name = Lower(Trim(line.substr(0, colon)));
        if (name == "location")
            sawLocation = true;
        else if (name == "content-length")
            contentLength = std::string(Trim(line.substr(colon + 1)));
        return true;
    }

    bool OnHeadersEnd() {
        long code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        char* effective = nullptr;
        char* ip = nullptr;
        curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
        curl_easy_getinfo(curl, CURLINFO_PRIMARY_IP, &ip);
        secure = secure && IsSecureOrigin(effective ? effective : "", ip ? ip : "");
        httpStatus = code;
        if (code >= 100 && code <= 199)
            return true;  // an interim answer; the real one follows
        if (code >= 300 && code <= 399 && sawLocation)
            return true;  // libcurl follows it
        if (!IsContentAnswer(code)) {
            // An error page, an empty answer or a redirect to nowhere is not
            // the file that was asked for.
            rejected = true;
            error = "HTTP status " + std::to_string(code);
            return false;
        }
        owner.RaiseStatus(kQueryingSize);
        fileSize = ParseLength(contentLength);
        startSeconds = owner.Now();
        owner.RaiseStatus(kReceiving);
        if (!staged.Create(local, error)) {
            localError = true;
            return false;
        }
        opened = true;
        return true;
    }

    // Returns false to end the transfer.
    bool OnBody(const char* data, size_t total) {
        if (!opened)
            return true;  // the body of a redirect
        size_t done = 0;
        while (done < total) {
            const size_t n = std::min<size_t>(kChunkBytes, total - done);
            if (static_cast<int64_t>(n) > static_cast<int64_t>(owner.maxBytes_) - bytes) {
                tooLarge = true;
                error = "the file is larger than " + std::to_string(owner.maxBytes_) + " bytes";
                return false;
            }
            if (!staged.Write(data + done, n, error)) {
                localError = true;
                return false;
            }
            done += n;
            bytes += static_cast<int32_t>(n);
            lastActivity = SteadyClock::now();
            const int32_t speed = AverageSpeed(bytes, startSeconds, owner.Now());
            if (owner.entDLFileDowning)
                owner.entDLFileDowning(url, bytes, fileSize, speed);
            if (owner.bStopDownload) {
                owner.bStopDownload = false;
                stopped = true;
                return false;
            }
            if (owner.pumpEvents)
                owner.pumpEvents();
            lastPump = SteadyClock::now();
        }
        return true;
    }

    // Returns false to end the transfer.
    bool OnProgress(curl_off_t dlnow) {
        if (dlnow != lastDlNow) {
            lastDlNow = dlnow;
            lastActivity = SteadyClock::now();
        }
        return OnQuietMoment();
    }

    // Between the bytes (and before the first): lets the window's events
    // run and ends the transfer when a stop was asked for during it, or when
    // the server has gone quiet. Returns false to end the transfer.
    bool OnQuietMoment() {
        auto now = SteadyClock::now();
        if (now - lastActivity >= owner.idleTimeout_) {
            idle = true;
            error = "nothing received for " + std::to_string(owner.idleTimeout_.count()) + " ms";
            return false;
        }
        if (owner.pumpEvents && now - lastPump >= kQuietPumpInterval) {
            owner.pumpEvents();
            lastPump = SteadyClock::now();
        }
        // A stop left pending from before this transfer keeps its described
        // effect (after the first chunk); one asked for now ends it at once.
        if (owner.bStopDownload && owner.stopRequests_ != stopRequestsAtStart) {
            owner.bStopDownload = false;
            stopped = true;
            error = "stopped";
            return false;
        }
        return true;
    }

    // Runs the transfer to its end in our own loop. libcurl's own loop
    // waits up to a second between callbacks while nothing arrives, which is
    // too long for a stop button; and in some phases (resolving) it calls
    // none at all.
    CURLcode Run(CURLM* multi, MultiTransfer& transfer) {
        if (!transfer.Ready())
            return CURLE_FAILED_INIT;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                return CURLE_FAILED_INIT;
            if (failure)
                return CURLE_ABORTED_BY_CALLBACK;
            if (running == 0)
                break;
            if (!Guarded([&] { return OnQuietMoment(); }, false))
                return CURLE_ABORTED_BY_CALLBACK;
            if (curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr) != CURLM_OK)
                return CURLE_FAILED_INIT;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE)
                return message->data.result;
        }
        return CURLE_FAILED_INIT;
    }

    static size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
        auto& t = *static_cast<Transfer*>(user);
        const size_t total = size * count;
        const bool go =
            t.Guarded([&] { return t.OnHeaderLine(std::string_view(data, total)); }, false);
        return go ? total : 0;
    }

    static size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
        auto& t = *static_cast<Transfer*>(user);
        const size_t total = size * count;
        const bool go = t.Guarded([&] { return t.OnBody(data, total); }, false);
        // Any count other than `total` makes libcurl end the transfer.
        return go ? total : CURL_WRITEFUNC_ERROR;
    }

    static int ProgressCallback(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t) {
        auto& t = *static_cast<Transfer*>(user);
        return t.Guarded([&] { return t.OnProgress(dlnow); }, false) ? 0 : 1;
    }
};

Cls_DownLoad::Cls_DownLoad() = default;

void Cls_DownLoad::SetClock(Clock clock) {
    clock_ = std::move(clock);
}

double Cls_DownLoad::Now() const {
    if (clock_)
        return clock_();
    return std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
}

void Cls_DownLoad::RaiseStatus(int32_t status) {
    if (entDLFileStatus)
        entDLFileStatus(status);
}

int16_t Cls_DownLoad::DLFileStop() {
    bStopDownload = true;
    ++stopRequests_;
    return 0;
}

int32_t Cls_DownLoad::DLFile(const std::string& sRemoteURL, const fs::path& sLocalFilePath,
                             int32_t lTimeOut) {
    result_ = DownloadResult{};
    RaiseStatus(kConnecting);
    EnsureCurlGlobal();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    for (const char* header : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* list = curl_slist_append(headers.get(), header);
        if (!list) {
            curl.reset();
            break;
        }
        headers.release();
        headers.reset(list);
    }
    if (!curl || !multi) {
        result_.outcome = DownloadOutcome::NoSession;
        result_.error = "the HTTP client could not be set up";
        RaiseStatus(kNoSession);
        return 0;
    }
    RaiseStatus(kRequesting);

    Transfer t(*this, sRemoteURL, sLocalFilePath, curl.get());
    char errorText[CURL_ERROR_SIZE] = {};
    const std::string noProxy = NoProxyList();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, sRemoteURL.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOPROXY, noProxy.c_str());
    // A proxy's own "200 Connection established" must not pass for the answer.
    curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    if (lTimeOut > 0)
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(lTimeOut));
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Transfer::HeaderCallback);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::WriteCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::ProgressCallback);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);

    MultiTransfer transfer(multi.get(), c);
    const CURLcode rc = t.Run(multi.get(), transfer);
    if (t.failure)
        std::rethrow_exception(t.failure);  // the staged file goes with `t`
    // The connection closes before the last status, as the session did.
    const auto closeSession = [&] {
        transfer.Close();
        multi.reset();
        curl.reset();
    };

    result_.httpStatus = t.httpStatus;
    result_.secureOrigin = t.secure && t.opened;
    const auto curlError = [&] {
        return std::string(errorText[0] ? errorText : curl_easy_strerror(rc));
    };

    if (t.localError) {
        t.staged.Discard();
        result_.outcome = DownloadOutcome::LocalFileError;
        result_.error = t.error;
        return t.bytes;
    }
    if (!t.opened) {
        if (t.stopped) {
            // Stopped before an answer came: nothing to write, nothing kept.
            result_.outcome = DownloadOutcome::Stopped;
            result_.error = t.error;
            RaiseStatus(kStopped);
        } else {
            result_.outcome = DownloadOutcome::NotOpened;
            result_.error = (t.rejected || t.idle) ? t.error : curlError();
            RaiseStatus(kNotOpened);
        }
        closeSession();
        RaiseStatus(kFinished);
        return 0;
    }

    int32_t status = kEndOfData;
    if (t.stopped) {
        t.staged.Discard();
        result_.outcome = DownloadOutcome::Stopped;
        result_.error = "stopped";
        status = kStopped;
    } else if (rc == CURLE_OK && !t.tooLarge) {
        std::string error;
        if (!t.staged.Commit(error)) {
            t.staged.Discard();
            result_.outcome = DownloadOutcome::LocalFileError;
            result_.error = error;
            return t.bytes;
        }
        result_.outcome = DownloadOutcome::Complete;
        result_.replaced = true;
    } else {
        t.staged.Discard();
        result_.outcome = DownloadOutcome::Incomplete;
        result_.error = (t.idle || t.tooLarge) ? t.error : curlError();
    }
    RaiseStatus(status);
    closeSession();
    RaiseStatus(kFinished);
    return t.bytes;
}

}  // namespace velotan::update
