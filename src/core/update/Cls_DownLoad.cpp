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

namespace velotan::update {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr char kUserAgent[] = "VB Http";
constexpr long kMaxRedirects = 10;
constexpr size_t kWriteBuffer = 64 * 1024;
// While nothing arrives (connecting, a quiet server) the window still gets
// its events this often.
constexpr auto kQuietPumpInterval = std::chrono::milliseconds(100);

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

bool IsFollowedRedirect(long code) {
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
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
        return true;
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
        if (code < 200)
            return true;  // an interim answer; the real one follows
        if (IsFollowedRedirect(code) && sawLocation)
            return true;  // libcurl follows it
        if (code >= 400) {
            // An error page is not the file that was asked for.
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
        const auto now = SteadyClock::now();
        if (dlnow != lastDlNow) {
            lastDlNow = dlnow;
            lastActivity = now;
        }
        if (now - lastActivity >= owner.idleTimeout_) {
            idle = true;
            error = "nothing received for " + std::to_string(owner.idleTimeout_.count()) + " ms";
            return false;
        }
        if (owner.pumpEvents && now - lastPump >= kQuietPumpInterval) {
            lastPump = now;
            owner.pumpEvents();
        }
        return true;
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
    return 0;
}

int32_t Cls_DownLoad::DLFile(const std::string& sRemoteURL, const fs::path& sLocalFilePath,
                             int32_t lTimeOut) {
    result_ = DownloadResult{};
    RaiseStatus(kConnecting);
    EnsureCurlGlobal();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
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
    if (!curl) {
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

    const CURLcode rc = curl_easy_perform(c);
    if (t.failure)
        std::rethrow_exception(t.failure);  // the staged file goes with `t`

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
        result_.outcome = DownloadOutcome::NotOpened;
        result_.error = t.rejected ? t.error : curlError();
        RaiseStatus(kNotOpened);
        curl.reset();
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
    curl.reset();
    RaiseStatus(kFinished);
    return t.bytes;
}

}  // namespace velotan::update
