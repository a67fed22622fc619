#include "Launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace velotan::platform {

bool StartProgram(const std::vector<std::string>& argv, std::string* error) {
    if (argv.empty() || argv[0].empty()) {
        if (error)
            *error = "no program given";
        return false;
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        if (error)
            *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    // Nobody waits for the started program; a detached waiter keeps it from
    // lingering as a zombie without touching the process-wide SIGCHLD setup.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

bool OpenUrl(const std::string& url, std::string* error) {
    return StartProgram({"xdg-open", url}, error);
}

}  // namespace velotan::platform
