#pragma once
// An HTTP server on 127.0.0.1, on a free port, inside the test process; and
// the faulty servers the downloader must survive. Nothing here reaches
// beyond the loopback interface.

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velotan::update::test {

class LoopbackServer {
  public:
    LoopbackServer() = default;
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer() { Stop(); }

    httplib::Server& Routes() { return server_; }

    void Start() {
        // Every request is counted by path, so a test can say what was asked.
        server_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++hits_[req.path];
            lastHeaders_ = req.headers;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0)
            throw std::runtime_error("no loopback port");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() only reaches a server whose accept loop runs.
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void Stop() {
        ReleaseStalls();
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }

    std::string Url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Port() const { return port_; }

    int Hits(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = hits_.find(path);
        return it == hits_.end() ? 0 : it->second;
    }
    std::string LastHeader(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = lastHeaders_.find(name);
        return it == lastHeaders_.end() ? std::string("<none>") : it->second;
    }

    // A body of `size` bytes with a Content-Length.
    void ServeBytes(const std::string& path, std::string body) {
        server_.Get(path, [body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/octet-stream");
        });
    }
    // The same body in chunked encoding, with no Content-Length.
    void ServeChunked(const std::string& path, std::string body) {
        server_.Get(path, [body](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
                    if (offset >= body.size()) {
                        sink.done();
                        return true;
                    }
                    const size_t n = std::min<size_t>(700, body.size() - offset);
                    return sink.write(body.data() + offset, n);
                });
        });
    }
    void ServeStatus(const std::string& path, int status, const std::string& page) {
        server_.Get(path, [status, page](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_content(page, "text/html");
        });
    }
    void ServeRedirect(const std::string& path, const std::string& target) {
        server_.Get(path, [target](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(target);
        });
    }
    // Announces `announced` bytes, sends `sent` of them and closes.
    void ServeTruncated(const std::string& path, size_t announced, size_t sent) {
        server_.Get(path, [announced, sent](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(announced, "application/octet-stream",
                                     [sent](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset >= sent)
                                             return false;  // drops the connection
                                         const std::string part(sent - offset, 'T');
                                         return sink.write(part.data(), part.size());
                                     });
        });
    }
    // Sends `first` bytes of an announced `announced`, then goes quiet until
    // the test ends.
    void ServeStall(const std::string& path, size_t announced, size_t first) {
        server_.Get(path, [this, announced, first](const httplib::Request&,
                                                   httplib::Response& res) {
            res.set_content_provider(announced, "application/octet-stream",
                                     [this, first](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset < first) {
                                             const std::string part(first - offset, 'S');
                                             return sink.write(part.data(), part.size());
                                         }
                                         std::unique_lock<std::mutex> lock(stallMutex_);
                                         stallCv_.wait_for(lock, std::chrono::seconds(20),
                                                           [this] { return released_; });
                                         return false;
                                     });
        });
    }
    // `content`, of which the first `first` bytes come at once and the rest
    // only once the test calls ReleaseStalls(): a transfer that is surely
    // still running whenever the test looks, however slow the machine.
    void ServeHeld(const std::string& path, const std::string& content, size_t first) {
        server_.Get(path, [this, content, first](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(
                content.size(), "application/octet-stream",
                [this, content, first](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < first)
                        return sink.write(content.data() + offset, first - offset);
                    std::unique_lock<std::mutex> lock(stallMutex_);
                    stallCv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });
                    return sink.write(content.data() + offset, content.size() - offset);
                });
        });
    }
    void ReleaseStalls() {
        {
            std::lock_guard<std::mutex> lock(stallMutex_);
            released_ = true;
        }
        stallCv_.notify_all();
    }

  private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, int> hits_;
    httplib::Headers lastHeaders_;
    std::mutex stallMutex_;
    std::condition_variable stallCv_;
    bool released_ = false;
};

// A loopback port that refuses connections: bound but not listening, and
// held for the test's lifetime so nobody else takes it.
class RefusingPort {
  public:
    RefusingPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("cannot bind a loopback port");
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    std::string Url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Answers one connection with raw bytes, for responses no ordinary server
// sends (a Content-Length beyond 32 bits).
class RawServer {
  public:
    explicit RawServer(std::string response) : response_(std::move(response)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd_, 1) != 0)
            throw std::runtime_error("cannot listen on loopback");
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            const int conn = ::accept(fd_, nullptr, nullptr);
            if (conn < 0)
                return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(conn, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            ::send(conn, response_.data(), response_.size(), MSG_NOSIGNAL);
            ::close(conn);
        });
    }
    ~RawServer() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        if (thread_.joinable())
            thread_.join();
    }
    std::string Url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    std::string response_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// Accepts every connection and never answers: a transfer waits for the
// answer's headers until it is stopped or times out.
class SilentServer {
  public:
    SilentServer() {
        fd_ = ListenOnLoopback(8, port_);
        thread_ = std::thread([this] {
            for (;;) {
                const int conn = ::accept(fd_, nullptr, nullptr);
                if (conn < 0)
                    return;
                std::lock_guard<std::mutex> lock(mutex_);
                connections_.push_back(conn);
            }
        });
    }
    ~SilentServer() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        if (thread_.joinable())
            thread_.join();
        for (int conn : connections_)
            ::close(conn);
    }
    std::string Url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Accepted() {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(connections_.size());
    }

    // A listening socket on 127.0.0.1 with a free port.
    static int ListenOnLoopback(int backlog, int& port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd, backlog) != 0)
            throw std::runtime_error("cannot listen on loopback");
        socklen_t len = sizeof addr;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        return fd;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<int> connections_;
};

// A loopback port that never accepts and whose queue of waiting connections
// is full: the kernel drops further handshakes, so a connection attempt
// hangs in its connecting phase.
class FullBacklogPort {
  public:
    FullBacklogPort() {
        fd_ = SilentServer::ListenOnLoopback(0, port_);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        for (int i = 0; i < 3; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            fillers_.push_back(c);
        }
        // Let the handshakes that fit complete, so the queue is full.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~FullBacklogPort() {
        for (int c : fillers_)
            ::close(c);
        ::close(fd_);
    }
    std::string Url(const std::string& path = "") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

// The files of a folder, hidden ones included: a staged download left
// behind would show here.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace velotan::update::test
