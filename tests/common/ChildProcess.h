#pragma once
// A program run in a child process as scripts run it: an argument vector,
// standard input, both outputs and the exit code.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace velotan::testing {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    size_t inputTaken = 0;  // bytes of the input the program took before it ended
};

// Runs args[0] with the arguments after it, feeding `input` to its standard
// input and collecting both outputs; no shell involved.
inline ProgramRun RunProgram(std::vector<std::string> args, const std::string& input) {
    // A program that stops reading early closes the pipe under our writes.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err))
        return {};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
        posix_spawn_file_actions_addclose(&fa, fd);
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ProgramRun run;
    if (rc != 0)
        return run;
    size_t written = 0;
    fcntl(in[1], F_SETFL, O_NONBLOCK);
    bool inOpen = true, outOpen = true, errOpen = true;
    if (input.empty()) {
        close(in[1]);
        inOpen = false;
    }
    while (outOpen || errOpen) {
        pollfd fds[3] = {
            {out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inOpen ? in[1] : -1, POLLOUT, 0}};
        poll(fds, 3, 5000);
        char buf[65536];
        for (int k = 0; k < 2; ++k) {
            if (!(k == 0 ? outOpen : errOpen) || !(fds[k].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[k].fd);
                (k == 0 ? outOpen : errOpen) = false;
            } else {
                (k == 0 ? run.out : run.err).append(buf, static_cast<size_t>(n));
            }
        }
        if (inOpen && (fds[2].revents & (POLLOUT | POLLERR))) {
            ssize_t n = write(in[1], input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<size_t>(n);
            if (n < 0 || written == input.size()) {
                close(in[1]);
                inOpen = false;
            }
        }
    }
    if (inOpen)
        close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.inputTaken = written;
    return run;
}

}  // namespace velotan::testing
