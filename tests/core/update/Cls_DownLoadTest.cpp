#include "update/Cls_DownLoad.h"

#include "platform/AnsiTextFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/LoopbackServer.h"
#include "common/TempDir.h"

namespace velotan::update::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Field;
using velotan::testing::ReadBytes;
using velotan::testing::TempDir;
using velotan::testing::WriteBytes;

struct Progress {
    std::string url;
    int32_t done;
    int32_t size;
    int32_t speed;
};

// Listens to a downloader and writes down everything it raises.
struct Listener {
    explicit Listener(Cls_DownLoad& d) {
        d.entDLFileStatus = [this](int32_t s) { statuses.push_back(s); };
        d.entDLFileDowning = [this](const std::string& url, int32_t done, int32_t size,
                                    int32_t speed) {
            events.push_back({url, done, size, speed});
            trace += 'P';
            if (onProgress)
                onProgress(events.back());
        };
        d.pumpEvents = [this] {
            ++pumps;
            trace += 'U';
            if (onPump)
                onPump();
        };
    }
    std::vector<int32_t> statuses;
    std::vector<Progress> events;
    std::function<void(const Progress&)> onProgress;
    std::function<void()> onPump;
    int pumps = 0;
    std::string trace;  // 'P' a progress event, 'U' a pump

    // The trace from the first progress event on, with runs of pumps as one.
    std::string PumpsAfterChunks() const {
        std::string out;
        for (char c : trace.substr(std::min(trace.find('P'), trace.size())))
            if (out.empty() || c != 'U' || out.back() != 'U')
                out += c;
        return out;
    }

    std::vector<int32_t> Done() const {
        std::vector<int32_t> out;
        for (const auto& e : events)
            out.push_back(e.done);
        return out;
    }
};

std::string Body(size_t n) {
    std::string body(n, '\0');
    for (size_t i = 0; i < n; ++i)
        body[i] = static_cast<char>('a' + i % 26);
    return body;
}

class DownloadTest : public ::testing::Test {
  protected:
    std::filesystem::path Local() const { return dir_ / "update.lst"; }
    // The folder holds exactly the local file, or nothing: no staged leftovers.
    void ExpectOnlyLocalFile(bool present) {
        if (present)
            EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("update.lst"));
        else
            EXPECT_TRUE(FolderEntries(dir_.path()).empty());
    }

    TempDir dir_;
    LoopbackServer server_;
    Cls_DownLoad cdf_;
    Listener listener_{cdf_};
};

TEST_F(DownloadTest, KnownLengthGivesOneEventPer512BytesAndTheWholeFile) {
    const std::string body = Body(1300);
    server_.ServeBytes("/sns/update.lst", body);
    server_.Start();
    cdf_.SetClock([] { return 100.2; });  // all within the first second

    const int32_t got = cdf_.DLFile(server_.Url("/sns/update.lst"), Local(), 5000);

    EXPECT_EQ(got, 1300);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_THAT(listener_.Done(), ElementsAre(512, 1024, 1300));
    EXPECT_THAT(listener_.events, Each(Field(&Progress::size, 1300)));
    EXPECT_THAT(listener_.events, Each(Field(&Progress::speed, 1025)));
    EXPECT_THAT(listener_.events, Each(Field(&Progress::url, server_.Url("/sns/update.lst"))));
    EXPECT_EQ(ReadBytes(Local()), body);
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Complete);
    EXPECT_TRUE(cdf_.LastResult().replaced);
    EXPECT_EQ(cdf_.LastResult().httpStatus, 200);
    EXPECT_TRUE(cdf_.LastResult().secureOrigin);        // loopback
    EXPECT_EQ(listener_.PumpsAfterChunks(), "PUPUPU");  // after every chunk
    ExpectOnlyLocalFile(true);
}

TEST_F(DownloadTest, RequestIdentifiesItselfAndBypassesCaches) {
    server_.ServeBytes("/f", "x");
    server_.Start();
    cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(server_.LastHeader("User-Agent"), "VB Http");
    EXPECT_EQ(server_.LastHeader("Cache-Control"), "no-cache");
    EXPECT_EQ(server_.LastHeader("Pragma"), "no-cache");
}

TEST_F(DownloadTest, SpeedComesFromTheClockInWholeSeconds) {
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    // Start at 99.6 (rounds to 100), then one second more for every reading.
    double now = 98.6;
    cdf_.SetClock([&] { return now += 1.0; });
    cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    std::vector<int32_t> speeds;
    for (const auto& e : listener_.events)
        speeds.push_back(e.speed);
    // 512 / 1, 1024 / 2, 1300 / 3 = 433.33
    EXPECT_THAT(speeds, ElementsAre(512, 512, 433));
}

TEST(AverageSpeedTest, WholeSecondsAndRoundHalfToEven) {
    EXPECT_EQ(AverageSpeed(4000, 10.4, 10.49), Cls_DownLoad::kFirstSecondSpeed);
    EXPECT_EQ(AverageSpeed(1300, 10.4, 10.6), 1300);  // 10 to 11: one second
    EXPECT_EQ(AverageSpeed(5, 0, 2), 2);              // 2.5 to even
    EXPECT_EQ(AverageSpeed(7, 0, 2), 4);              // 3.5 to even
    EXPECT_EQ(AverageSpeed(INT32_MAX, 0, 1), INT32_MAX);
    // A clock that went backwards reads as the first second, not as nonsense.
    EXPECT_EQ(AverageSpeed(1000, 86399.0, 3.0), Cls_DownLoad::kFirstSecondSpeed);
}

TEST_F(DownloadTest, ChunkedBodyWithoutLengthReportsSizeZero) {
    const std::string body = Body(2000);
    server_.ServeChunked("/f", body);
    server_.Start();
    const int32_t got = cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(got, 2000);
    ASSERT_FALSE(listener_.events.empty());
    EXPECT_THAT(listener_.events, Each(Field(&Progress::size, 0)));
    EXPECT_EQ(listener_.events.back().done, 2000);
    int32_t before = 0;
    for (const auto& e : listener_.events) {
        EXPECT_GT(e.done, before);
        EXPECT_LE(e.done - before, 512);
        before = e.done;
    }
    EXPECT_EQ(ReadBytes(Local()), body);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
}

TEST_F(DownloadTest, EmptyBodyReplacesTheFileWithAnEmptyOne) {
    WriteBytes(Local(), "old");
    server_.ServeBytes("/f", "");
    server_.Start();
    EXPECT_EQ(cdf_.DLFile(server_.Url("/f"), Local(), 5000), 0);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_TRUE(listener_.events.empty());
    EXPECT_TRUE(cdf_.LastResult().replaced);
    EXPECT_EQ(ReadBytes(Local()), "");
}

TEST_F(DownloadTest, RedirectIsFollowed) {
    server_.ServeRedirect("/old", "/new");
    server_.ServeBytes("/new", Body(600));
    server_.Start();
    EXPECT_EQ(cdf_.DLFile(server_.Url("/old"), Local(), 5000), 600);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_EQ(ReadBytes(Local()), Body(600));
    EXPECT_EQ(server_.Hits("/new"), 1);
}

// libcurl follows every 3xx that names a Location; what arrives at its end
// is the file, never the redirect's own page.
TEST_F(DownloadTest, EveryRedirectWithALocationIsFollowed) {
    for (int code : {300, 301, 303, 307, 308}) {
        const std::string path = "/r" + std::to_string(code);
        server_.Routes().Get(path, [code](const httplib::Request&, httplib::Response& res) {
            res.status = code;
            res.set_header("Location", "/new");
            res.set_content("redirect page", "text/html");
        });
    }
    server_.ServeBytes("/new", Body(600));
    server_.Start();
    for (int code : {300, 301, 303, 307, 308}) {
        listener_.statuses.clear();
        WriteBytes(Local(), "old");
        EXPECT_EQ(cdf_.DLFile(server_.Url("/r" + std::to_string(code)), Local(), 5000), 600)
            << code;
        EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6)) << code;
        EXPECT_EQ(cdf_.LastResult().httpStatus, 200) << code;
        EXPECT_EQ(ReadBytes(Local()), Body(600)) << code;
    }
}

TEST_F(DownloadTest, ShorterFileOverALongerOneLeavesExactlyTheNewBytes) {
    WriteBytes(Local(), std::string(5000, 'O'));
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(std::filesystem::file_size(Local()), 1300u);
    EXPECT_EQ(ReadBytes(Local()), Body(1300));
}

// Faults: the URL cannot be opened. Each ends in 8, 6 with result 0 and
// the local file as it was.
class NotOpenedTest : public DownloadTest {
  protected:
    void Expect(const std::string& url) {
        const std::string old = "1.0\r\nold list\r\n";
        WriteBytes(Local(), old);
        EXPECT_EQ(cdf_.DLFile(url, Local(), 5000), 0);
        EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 8, 6));
        EXPECT_TRUE(listener_.events.empty());
        EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::NotOpened);
        EXPECT_FALSE(cdf_.LastResult().replaced);
        EXPECT_FALSE(cdf_.LastResult().error.empty());
        EXPECT_EQ(ReadBytes(Local()), old);
        ExpectOnlyLocalFile(true);
    }
};

TEST_F(NotOpenedTest, RefusedConnection) {
    RefusingPort port;
    Expect(port.Url("/sns/update.lst"));
}

TEST_F(NotOpenedTest, RefusedConnectionCreatesNoFile) {
    RefusingPort port;
    EXPECT_EQ(cdf_.DLFile(port.Url("/f"), Local(), 5000), 0);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 8, 6));
    ExpectOnlyLocalFile(false);
}

TEST_F(NotOpenedTest, NotFound404) {
    server_.ServeStatus("/sns/update.lst", 404, "<html>Not Found</html>");
    server_.Start();
    Expect(server_.Url("/sns/update.lst"));
    EXPECT_EQ(cdf_.LastResult().httpStatus, 404);
}

TEST_F(NotOpenedTest, ServerError500) {
    server_.ServeStatus("/sns/update.lst", 500, "<html>Internal Server Error</html>");
    server_.Start();
    Expect(server_.Url("/sns/update.lst"));
    EXPECT_EQ(cdf_.LastResult().httpStatus, 500);
}

TEST_F(NotOpenedTest, RedirectLoop) {
    server_.ServeRedirect("/loop", "/loop");
    server_.Start();
    Expect(server_.Url("/loop"));
    EXPECT_GT(server_.Hits("/loop"), 1);
}

TEST_F(NotOpenedTest, SchemeOtherThanHttp) {
    TempDir other;
    WriteBytes(other / "secret", "s");
    Expect("file://" + (other / "secret").string());
}

// Only a 2xx answer with content is the file. An answer without content, an
// interim answer that nothing follows, or a redirect that leads nowhere is
// "not opened", and the file stays.
struct NotTheFile {
    const char* name;
    const char* response;
};

class NotTheFileTest : public NotOpenedTest, public ::testing::WithParamInterface<NotTheFile> {};

TEST_P(NotTheFileTest, LeavesTheFileAsItWas) {
    RawServer raw(GetParam().response);
    Expect(raw.Url("/sns/update.lst"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NotTheFileTest,
    ::testing::Values(
        NotTheFile{"NoContent204", "HTTP/1.1 204 No Content\r\n\r\n"},
        NotTheFile{"ResetContent205", "HTTP/1.1 205 Reset Content\r\nContent-Length: 0\r\n\r\n"},
        NotTheFile{"Continue100Alone", "HTTP/1.1 100 Continue\r\n\r\n"},
        NotTheFile{"Interim199Alone", "HTTP/1.1 199 Odd\r\n\r\n9.9 not a list"},
        NotTheFile{"SwitchingProtocols101",
                   "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\nConnection: Upgrade\r\n\r\n"
                   "9.9 not a list"},
        NotTheFile{"Found302WithoutLocation",
                   "HTTP/1.1 302 Found\r\nContent-Length: 12\r\n\r\n9.9 not here"},
        NotTheFile{"MultipleChoices300WithoutLocation",
                   "HTTP/1.1 300 Multiple Choices\r\nContent-Length: 3\r\n\r\n9.9"},
        NotTheFile{"NotModified304", "HTTP/1.1 304 Not Modified\r\n\r\n"}),
    [](const ::testing::TestParamInfo<NotTheFile>& info) { return std::string(info.param.name); });

// A stop reaches a transfer at its next quiet moment whatever it waits for:
// the connection, the answer's headers, or the next bytes of the body. The
// test asks for it from the pump hook, where a window's stop button is
// clicked, once the transfer is in the phase, and counts the rounds of
// events that follow: none of the transfer's own waiting (connect time-out,
// idle time-out) may come first. How fast that is in milliseconds is
// measured by bench_update (BM_StopLatency).
class StopInEveryPhaseTest : public DownloadTest {
  protected:
    void ExpectPromptStop(const std::string& url, const std::vector<int32_t>& statuses,
                          const std::function<bool()>& inPhase) {
        const std::string old = "1.0\r\nold list\r\n";
        WriteBytes(Local(), old);
        // Neither may end the transfer before the stop does.
        cdf_.SetIdleTimeout(std::chrono::minutes(5));
        bool asked = false;
        int roundsAfterTheStop = 0;
        listener_.onPump = [&] {
            if (asked) {
                ++roundsAfterTheStop;
            } else if (inPhase()) {
                asked = true;
                cdf_.DLFileStop();
            }
        };
        cdf_.DLFile(url, Local(), 300000);
        EXPECT_TRUE(asked);
        // The stop is seen right after the round that asked for it, or,
        // asked for after a chunk, at the next quiet moment.
        EXPECT_LE(roundsAfterTheStop, 1);
        EXPECT_EQ(listener_.statuses, statuses);
        EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Stopped);
        EXPECT_FALSE(cdf_.LastResult().replaced);
        EXPECT_FALSE(cdf_.StopPending());
        EXPECT_EQ(ReadBytes(Local()), old);
        ExpectOnlyLocalFile(true);
    }
};

TEST_F(StopInEveryPhaseTest, WhileConnecting) {
    FullBacklogPort port;
    ExpectPromptStop(port.Url("/sns/update.lst"), {1, 2, 5, 6}, [this] {
        return listener_.statuses == std::vector<int32_t>{1, 2};
    });
}

TEST_F(StopInEveryPhaseTest, WhileWaitingForTheAnswer) {
    SilentServer silent;
    ExpectPromptStop(silent.Url("/sns/update.lst"), {1, 2, 5, 6},
                     [&silent] { return silent.Accepted() == 1; });
    EXPECT_EQ(silent.Accepted(), 1);
}

TEST_F(StopInEveryPhaseTest, WhileTheBodyPauses) {
    server_.ServeStall("/sns/update.lst", 1300, 512);
    server_.Start();
    ExpectPromptStop(server_.Url("/sns/update.lst"), {1, 2, 3, 4, 5, 6},
                     [this] { return !listener_.Done().empty(); });
    EXPECT_THAT(listener_.Done(), ElementsAre(512));
}

// Faults in the middle of a transfer: 9, 6, the bytes counted, the old file
// kept.
TEST_F(DownloadTest, TruncatedBodyKeepsTheOldFile) {
    const std::string old = "1.0\r\n";
    WriteBytes(Local(), old);
    server_.ServeTruncated("/sns/update.lst", 1300, 600);
    server_.Start();
    const int32_t got = cdf_.DLFile(server_.Url("/sns/update.lst"), Local(), 5000);
    EXPECT_EQ(got, 600);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_THAT(listener_.Done(), ElementsAre(512, 600));
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Incomplete);
    EXPECT_FALSE(cdf_.LastResult().replaced);
    EXPECT_EQ(ReadBytes(Local()), old);
    ExpectOnlyLocalFile(true);
}

TEST_F(DownloadTest, StalledServerHitsTheIdleTimeout) {
    const std::string old = "1.0\r\n";
    WriteBytes(Local(), old);
    server_.ServeStall("/sns/update.lst", 1300, 512);
    server_.Start();
    // The short idle time-out starts once the first bytes are in, so that a
    // slow start on a loaded machine is not taken for the stall.
    listener_.onProgress = [this](const Progress&) {
        cdf_.SetIdleTimeout(std::chrono::milliseconds(300));
    };
    const int32_t got = cdf_.DLFile(server_.Url("/sns/update.lst"), Local(), 5000);
    EXPECT_EQ(got, 512);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Incomplete);
    EXPECT_THAT(cdf_.LastResult().error, ::testing::HasSubstr("300 ms"));
    EXPECT_EQ(ReadBytes(Local()), old);
    ExpectOnlyLocalFile(true);
    // The window keeps getting its events while the server is quiet.
    EXPECT_GT(listener_.pumps, 1);
}

TEST_F(DownloadTest, StopDuringTransferEndsAfterTheCurrentChunk) {
    const std::string old = "1.0\r\n";
    WriteBytes(Local(), old);
    server_.ServeBytes("/f", Body(4000));
    server_.Start();
    listener_.onProgress = [this](const Progress& p) {
        if (p.done == 1024)
            cdf_.DLFileStop();
    };
    const int32_t got = cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(got, 1024);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 5, 6));
    EXPECT_THAT(listener_.Done(), ElementsAre(512, 1024));
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Stopped);
    EXPECT_FALSE(cdf_.StopPending());
    EXPECT_EQ(ReadBytes(Local()), old);
    ExpectOnlyLocalFile(true);
}

TEST_F(DownloadTest, StopWhileIdleStopsTheNextTransferAfterItsFirstChunk) {
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    EXPECT_EQ(cdf_.DLFileStop(), 0);
    EXPECT_TRUE(cdf_.StopPending());
    const int32_t got = cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(got, 512);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(listener_.events.size(), 1u);
    ExpectOnlyLocalFile(false);

    // Seen once, the stop is gone: the transfer after it runs through.
    listener_.statuses.clear();
    EXPECT_EQ(cdf_.DLFile(server_.Url("/f"), Local(), 5000), 1300);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
}

TEST_F(DownloadTest, UnwritableLocalFolderEndsWithAnError) {
    // As root no mode keeps us out; a folder that is a file does.
    WriteBytes(dir_ / "notafolder", "x");
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    const int32_t got = cdf_.DLFile(server_.Url("/f"), dir_ / "notafolder" / "update.lst", 5000);
    EXPECT_EQ(got, 0);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::LocalFileError);
    EXPECT_THAT(cdf_.LastResult().error, ::testing::HasSubstr("notafolder"));
    EXPECT_EQ(ReadBytes(dir_ / "notafolder"), "x");
    EXPECT_THAT(FolderEntries(dir_.path()), ElementsAre("notafolder"));
}

TEST_F(DownloadTest, TheNewNameIsSyncedAndAFailedSyncIsNoSuccess) {
    server_.ServeBytes("/f", Body(700));
    server_.Start();
    std::vector<std::filesystem::path> synced;
    platform::SetFolderSyncProbe([&](const std::filesystem::path& folder) {
        synced.push_back(folder);
        return true;
    });
    EXPECT_EQ(cdf_.DLFile(server_.Url("/f"), Local(), 5000), 700);
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Complete);
    EXPECT_THAT(synced, ElementsAre(Local().parent_path()));

    // A stick pulled out before the folder reached it: the download may be
    // lost, so it is not reported as saved.
    platform::SetFolderSyncProbe([](const std::filesystem::path&) { return false; });
    cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    platform::SetFolderSyncProbe({});
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::LocalFileError);
    EXPECT_FALSE(cdf_.LastResult().replaced);
    EXPECT_THAT(cdf_.LastResult().error, ::testing::HasSubstr("cannot sync the folder"));
}

TEST_F(DownloadTest, LocalPathThatIsAFolderKeepsTheFolder) {
    std::filesystem::create_directories(Local() / "inside");
    server_.ServeBytes("/f", Body(700));
    server_.Start();
    cdf_.DLFile(server_.Url("/f"), Local(), 5000);
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::LocalFileError);
    EXPECT_TRUE(std::filesystem::is_directory(Local() / "inside"));
    ExpectOnlyLocalFile(true);
}

TEST_F(DownloadTest, LengthBeyond32BitsCountsAsUnknown) {
    RawServer raw("HTTP/1.1 200 OK\r\nContent-Length: 4294967808\r\nConnection: close\r\n\r\n" +
                  Body(700));
    const int32_t got = cdf_.DLFile(raw.Url("/f"), Local(), 5000);
    EXPECT_EQ(got, 700);
    EXPECT_THAT(listener_.events, Each(Field(&Progress::size, 0)));
    // Far short of what was announced: nothing replaced.
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Incomplete);
    ExpectOnlyLocalFile(false);
}

TEST_F(DownloadTest, TransferStopsBeforeTheCountWouldPassItsLimit) {
    WriteBytes(Local(), "old");
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    cdf_.SetMaxBytes(1000);
    EXPECT_EQ(cdf_.DLFile(server_.Url("/f"), Local(), 5000), 512);
    EXPECT_THAT(listener_.statuses, ElementsAre(1, 2, 3, 4, 9, 6));
    EXPECT_EQ(cdf_.LastResult().outcome, DownloadOutcome::Incomplete);
    EXPECT_EQ(ReadBytes(Local()), "old");
}

TEST_F(DownloadTest, ListenerExceptionReachesTheCallerAndLeavesNothingBehind) {
    WriteBytes(Local(), "old");
    server_.ServeBytes("/f", Body(1300));
    server_.Start();
    listener_.onProgress = [](const Progress&) { throw std::runtime_error("listener failed"); };
    EXPECT_THROW(cdf_.DLFile(server_.Url("/f"), Local(), 5000), std::runtime_error);
    EXPECT_EQ(ReadBytes(Local()), "old");
    ExpectOnlyLocalFile(true);
}

TEST(SecureOriginTest, HttpsOrLoopbackServedFromLoopback) {
    EXPECT_TRUE(IsSecureOrigin("https://update.example.org/sns/up_velotan.exe", "203.0.113.5"));
    EXPECT_TRUE(IsSecureOrigin("HTTPS://update.example.org/", ""));
    EXPECT_TRUE(IsSecureOrigin("http://127.0.0.1:8080/sns/up_velotan.exe", "127.0.0.1"));
    EXPECT_TRUE(IsSecureOrigin("http://localhost/x", "::1"));
    EXPECT_TRUE(IsSecureOrigin("http://[::1]:80/x", "::1"));
    EXPECT_TRUE(IsSecureOrigin("http://user@127.0.0.2/x", "127.0.0.2"));
    // Plain http from the network.
    EXPECT_FALSE(IsSecureOrigin("http://update.example.org/sns/up_velotan.exe", "203.0.113.5"));
    // A loopback name answered from elsewhere (a proxy), or a network name
    // answered by a local proxy.
    EXPECT_FALSE(IsSecureOrigin("http://127.0.0.1/x", "10.0.0.1"));
    EXPECT_FALSE(IsSecureOrigin("http://update.example.org/x", "127.0.0.1"));
    EXPECT_FALSE(IsSecureOrigin("http://127.0.0.1.example.org/x", "127.0.0.1"));
    EXPECT_FALSE(IsSecureOrigin("http://127.0.0.1@evil.example/x", "127.0.0.1"));
    EXPECT_FALSE(IsSecureOrigin("ftp://127.0.0.1/x", "127.0.0.1"));
    EXPECT_FALSE(IsSecureOrigin("", ""));
}

}  // namespace
}  // namespace velotan::update::test
