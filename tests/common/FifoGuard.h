#pragma once
// Named pipes in place of files, and a watch for a reader that blocks on one.
// Opening a pipe for reading waits until someone opens it for writing, and
// reading it waits until that writer closes: a program that opens one as a
// file hangs. Rather than hang the test as well, the guard lets such a reader
// go after a grace time (it opens the pipe for writing and closes it again,
// so the reader sees an empty file) and remembers that it had to.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velotan::testing {

class FifoGuard {
  public:
    explicit FifoGuard(std::chrono::milliseconds grace = std::chrono::seconds(2))
        : grace_(grace), watcher_([this] { Watch(); }) {}
    ~FifoGuard() { Stop(); }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    // Makes a named pipe at `path` (its folder included); false when one
    // cannot be made there.
    bool Add(const std::filesystem::path& path) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (::mkfifo(path.c_str(), 0600) != 0)
            return false;
        std::lock_guard lock(mutex_);
        pipes_.push_back(path);
        return true;
    }

    // Ends the watch. True when some reader blocked on one of the pipes.
    bool Stop() {
        stop_ = true;
        if (watcher_.joinable())
            watcher_.join();
        return blocked_;
    }
    bool Blocked() const { return blocked_; }

  private:
    void Watch() {
        const auto start = std::chrono::steady_clock::now();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::chrono::steady_clock::now() - start < grace_)
                continue;
            std::lock_guard lock(mutex_);
            for (const auto& pipe : pipes_) {
                // Succeeds only while a reader has the pipe open: one that
                // only looks at it opens and closes it within microseconds.
                const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    blocked_ = true;
                    ::close(fd);
                }
            }
        }
    }

    std::chrono::milliseconds grace_;
    std::mutex mutex_;
    std::vector<std::filesystem::path> pipes_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> blocked_{false};
    std::thread watcher_;
};

}  // namespace velotan::testing
