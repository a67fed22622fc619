#pragma once
// Surroundings in which writes fail, for the fault tests: a read-only folder
// (which must also refuse root, under which CI runs the suite) and a full
// disk (a file-size limit in a child process).

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velotan::testing {

// The account a root process acts as while mode bits must bind.
inline constexpr uid_t kUnprivilegedId = 65534;

// Mode bits do not stop root. While this object lives, a process running as
// root acts with the unprivileged account's effective ids (the saved id stays
// root, so the destructor can return), and a folder without write permission
// refuses it as it refuses any user. A process that is not root is left as
// it is.
class ActAsUnprivileged {
  public:
    // `mustReach` is the folder the test works in; the account must be able
    // to enter it (a temporary folder under a private home is out of reach).
    explicit ActAsUnprivileged(const std::filesystem::path& mustReach) {
        if (::geteuid() != 0) {
            active_ = true;
            return;
        }
        if (::setegid(kUnprivilegedId) != 0)
            return;
        if (::seteuid(kUnprivilegedId) != 0) {
            (void)::setegid(0);
            return;
        }
        dropped_ = true;
        // access() would ask for the real id, which is still root.
        if (::faccessat(AT_FDCWD, mustReach.c_str(), R_OK | X_OK, AT_EACCESS) != 0) {
            Restore();
            return;
        }
        active_ = true;
    }
    ~ActAsUnprivileged() { Restore(); }
    ActAsUnprivileged(const ActAsUnprivileged&) = delete;
    ActAsUnprivileged& operator=(const ActAsUnprivileged&) = delete;

    // False when root could not give up its rights (mode bits then stop
    // nothing) or the account cannot reach the test's folder: the test
    // cannot make its point.
    bool Active() const { return active_; }

  private:
    void Restore() {
        if (dropped_) {
            (void)::seteuid(0);
            (void)::setegid(0);
            dropped_ = false;
        }
    }

    bool active_ = false;
    bool dropped_ = false;
};

// Lets other accounts into a folder (a test's temporary folder is 0700), so
// that the unprivileged account reaches the tree inside it.
inline void OpenToOthers(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
}

// Hands a tree to the unprivileged account, so that it can write there while
// the test acts as that account. Nothing to do for a process that is not root.
inline void GiveToUnprivileged(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    if (::geteuid() != 0)
        return;
    (void)::lchown(root.c_str(), kUnprivilegedId, kUnprivilegedId);
    if (!fs::is_directory(fs::symlink_status(root)))
        return;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        (void)::lchown(entry.path().c_str(), kUnprivilegedId, kUnprivilegedId);
}

// A tree in which nothing can be written: folders 0555, files 0444, readable
// by everyone. The destructor makes it writable again for its owner, so the
// test's folder can be removed. Create it before ActAsUnprivileged, so that
// it is undone after that has ended.
class ReadOnlyTree {
  public:
    explicit ReadOnlyTree(std::filesystem::path root) : root_(std::move(root)) { Apply(false); }
    ~ReadOnlyTree() { Apply(true); }
    ReadOnlyTree(const ReadOnlyTree&) = delete;
    ReadOnlyTree& operator=(const ReadOnlyTree&) = delete;

  private:
    void Apply(bool writable) {
        namespace fs = std::filesystem;
        std::error_code ec;
        auto set = [&](const fs::path& p) {
            const bool folder = fs::is_directory(fs::symlink_status(p, ec));
            ::chmod(p.c_str(), folder ? (writable ? 0755 : 0555) : (writable ? 0644 : 0444));
        };
        // chmod needs no write permission and 0555 still lists a folder, so
        // one pass in either direction does it.
        set(root_);
        if (!fs::is_directory(fs::symlink_status(root_, ec)))
            return;
        for (auto it = fs::recursive_directory_iterator(root_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            set(it->path());
        }
    }

    std::filesystem::path root_;
};

// The usual set-up of a read-only test: the test's folder `top` opened to
// others, every folder of `readOnly` made read-only, and root acting as the
// unprivileged account (which must reach the first of them). When Active() is
// false the test cannot make its point and skips with kReadOnlyStopsNothing.
inline constexpr const char* kReadOnlyStopsNothing =
    "as root, and with no unprivileged account that reaches the test folder, a read-only "
    "folder stops nothing";

class ReadOnlyFolders {
  public:
    ReadOnlyFolders(const std::filesystem::path& top,
                    std::initializer_list<std::filesystem::path> readOnly)
        : trees_(Make(top, readOnly)), unprivileged_(*readOnly.begin()) {}

    bool Active() const { return unprivileged_.Active(); }

  private:
    static std::vector<std::unique_ptr<ReadOnlyTree>> Make(
        const std::filesystem::path& top, std::initializer_list<std::filesystem::path> readOnly) {
        OpenToOthers(top);
        std::vector<std::unique_ptr<ReadOnlyTree>> trees;
        for (const auto& folder : readOnly)
            trees.push_back(std::make_unique<ReadOnlyTree>(folder));
        return trees;
    }

    // Declared first, so they are undone after the account is given back.
    std::vector<std::unique_ptr<ReadOnlyTree>> trees_;
    ActAsUnprivileged unprivileged_;
};

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes (RLIMIT_FSIZE, with SIGXFSZ ignored, so that a write fails with EFBIG
// instead of killing the process): a disk that fills up during the write, as
// the writer sees it. Returns the text `body` returned (at most 4 KiB), or
// nullopt when the child did not come back normally (a crash, for one).
inline std::optional<std::string> RunWithFileSizeLimit(rlim_t limit,
                                                       const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
            ::_exit(3);
        std::string out = body();
        if (out.size() > 4096)
            out.resize(4096);
        const char* p = out.data();
        size_t left = out.size();
        while (left > 0) {
            const ssize_t n = ::write(fds[1], p, left);
            if (n <= 0)
                ::_exit(4);
            p += n;
            left -= static_cast<size_t>(n);
        }
        // No exit handlers: the parent owns every resource of the test.
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

// Whether any file in `folder` has a name that starts with a dot: the
// writers' temporary and staged files do, and none may be left behind.
inline bool HasLeftovers(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("."))
            return true;
    }
    return false;
}

}  // namespace velotan::testing
