// velotan-cli as scripts use it: a separate process, standard input and
// output, exit codes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/TempDir.h"

using velotan::testing::TempDir;
using velotan::testing::WriteBytes;
namespace fs = std::filesystem;

extern char** environ;

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    size_t inputTaken = 0;  // bytes of the input the program took before it ended
};

// Runs the program with `args`, feeding `input`; no shell involved.
CliRun RunCli(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), VELOTAN_CLI);
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
    CliRun run;
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

class CliTest : public ::testing::Test {
  protected:
    CliTest() {
        fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "symbolhandle.ini", tmp_ / "symbolhandle.ini");
        // The drive letters the program remembers stay in the test's folder.
        ::setenv("XDG_STATE_HOME", (tmp_ / "state").c_str(), 1);
    }
    std::vector<std::string> Args(const std::string& command, const std::string& keys = "7,3") {
        std::vector<std::string> a = {command, "--program-folder", tmp_.path().string()};
        if (!keys.empty())
            a.insert(a.end(), {"--keys", keys});
        return a;
    }
    TempDir tmp_;
};

}  // namespace

TEST_F(CliTest, EncryptThenDecryptGivesTheExactText) {
    const std::string plain = "心情：今天“很好”。\r\nSecond line, 第二行……\nend";
    CliRun enc = RunCli(Args("encrypt"), plain);
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    // Two lines, each ended by a line feed.
    ASSERT_EQ(std::count(enc.out.begin(), enc.out.end(), '\n'), 2);
    ASSERT_EQ(enc.out.back(), '\n');
    const std::string cipherLine = enc.out.substr(0, enc.out.find('\n'));
    EXPECT_EQ(cipherLine.find_first_not_of("~!@}$%^{*|UA"), std::string::npos);

    CliRun dec = RunCli(Args("decrypt"), enc.out);
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    EXPECT_EQ(dec.out, plain);

    // Lines ended by CR LF read the same.
    std::string crlf = enc.out;
    crlf.insert(crlf.find('\n'), "\r");
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(RunCli(Args("decrypt"), crlf).out, plain);
    // Wrong keys give garbage, not the text.
    EXPECT_NE(RunCli(Args("decrypt", "8,3"), enc.out).out, plain);
}

TEST_F(CliTest, EmptyInputEncryptsTheSentinelOnly) {
    CliRun enc = RunCli(Args("encrypt", "1,1"), "");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(enc.out.find("UUA"), std::string::npos);
    CliRun dec = RunCli(Args("decrypt", "1,1"), enc.out);
    EXPECT_EQ(dec.exitCode, 0);
    EXPECT_EQ(dec.out, "");
}

TEST_F(CliTest, UsesTheUsersOwnKeysFromTheKeyStore) {
    const fs::path store = tmp_ / "store";
    WriteBytes(tmp_ / "settings.ini", "[set]\r\nKeyChar=" + store.string() + "\r\n");
    WriteBytes(store / "mxsw" / "encrypt" / "chat.mx", "12UGA34\r\n");
    CliRun enc = RunCli(Args("encrypt", ""), "abc");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    EXPECT_EQ(RunCli(Args("decrypt", "12,34"), enc.out).out, "abc");
    EXPECT_EQ(RunCli(Args("decrypt", ""), enc.out).out, "abc");
}

TEST_F(CliTest, FailsWithoutAKeyPair) {
    WriteBytes(tmp_ / "settings.ini", "[set]\r\nKeyChar=" + (tmp_ / "empty").string() + "\r\n");
    CliRun r = RunCli(Args("encrypt", ""), "abc");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no key pair"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, RefusesBadInput) {
    CliRun r = RunCli(Args("encrypt"), "bad \xFF utf-8");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("UTF-8"), std::string::npos);

    r = RunCli(Args("encrypt"), std::string(32767, 'a'));
    EXPECT_EQ(r.exitCode, 1);  // with the sentinel it would be 32,768
    EXPECT_NE(r.err.find("32,767"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(RunCli(Args("encrypt"), std::string(32766, 'a')).exitCode, 0);

    r = RunCli(Args("decrypt"), "no second line");
    EXPECT_EQ(r.exitCode, 1);
    r = RunCli(Args("encrypt", "0,5"), "abc");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(CliTest, DecryptNeedsACodeTable) {
    // An encryption always makes one, if only for the end marker.
    for (const std::string& input : {std::string("{~UUA{~\n"), std::string("{~UUA{~\n\n"),
                                     std::string("{~UUA{~\r\n\r\nmore"), std::string("{~")}) {
        CliRun r = RunCli(Args("decrypt"), input);
        EXPECT_EQ(r.exitCode, 1) << input;
        EXPECT_NE(r.err.find("code table"), std::string::npos) << input;
        EXPECT_TRUE(r.out.empty()) << input;
    }
}

TEST_F(CliTest, ReadsOnlyWhatItNeedsFromStandardInput) {
    const std::string huge(8 << 20, 'a');
    // Three bytes per character settle that a text is too long.
    CliRun r = RunCli(Args("encrypt"), huge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("32,767"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_LT(r.inputTaken, huge.size());
    // Just over the bytes read: still refused, by the count of characters.
    r = RunCli(Args("encrypt"), std::string(3 * 32767, 'a'));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("32,767"), std::string::npos);

    // A line beyond 1 MiB is no cipher text or code table.
    r = RunCli(Args("decrypt"), huge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("longer than"), std::string::npos);
    EXPECT_LT(r.inputTaken, huge.size());
    r = RunCli(Args("decrypt"), "~~UUA~~\n" + huge + "\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("longer than"), std::string::npos);
    EXPECT_LT(r.inputTaken, huge.size());
    // A line of exactly 1 MiB is still read (and decodes to garbage).
    r = RunCli(Args("decrypt"), std::string(1 << 20, '~') + "\n~\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"encrypt", "--keys"},
                                                                  {"encrypt", "--keys", "1"},
                                                                  {"encrypt", "--keys", "1,x"},
                                                                  {"encrypt", "--keys", "1,99999"},
                                                                  {"encrypt", "decrypt"},
                                                                  {"encrypt", "--verbose"}}) {
        CliRun r = RunCli(args, "");
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    CliRun help = RunCli({"--help"}, "");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("velotan-cli encrypt"), std::string::npos);
}
