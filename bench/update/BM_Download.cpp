// A 20 MB body from a loopback server, fetched two ways: by Cls_DownLoad,
// with its 512-byte progress events and the window's pump hook, and by a
// plain libcurl transfer straight into a file. Both write into the same
// folder (a memory file system when there is one, so the disk does not
// decide the figures).

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "update/Cls_DownLoad.h"
#include "windows/EventPump.h"

namespace {

namespace fs = std::filesystem;
using velotan::update::Cls_DownLoad;

constexpr size_t kBodyBytes = 20 * 1024 * 1024;

struct Fixture {
    Fixture() {
        body.assign(kBodyBytes, '\0');
        for (size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>(i * 131 % 251);
        server.Get("/sns/up_velotan.exe", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/octet-stream");
        });
        // 512 of 1300 bytes, then a pause the client ends by going away.
        server.Get("/sns/stall", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(
                1300, "application/octet-stream",
                [](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < 512) {
                        const std::string part(512 - offset, 'S');
                        return sink.write(part.data(), part.size());
                    }
                    for (int i = 0; i < 100 && sink.is_writable(); ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    return false;
                });
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "velotan-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
    }
    ~Fixture() {
        server.stop();
        thread.join();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string Url(const char* path = "/sns/up_velotan.exe") const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    std::string body;
    httplib::Server server;
    int port = 0;
    std::thread thread;
    fs::path folder;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void RunDLFile(benchmark::State& state, std::function<void()> pump) {
    Fixture& f = Shared();
    Cls_DownLoad cdf;
    int64_t events = 0;
    cdf.entDLFileDowning = [&](const std::string&, int32_t, int32_t, int32_t) { ++events; };
    cdf.entDLFileStatus = [](int32_t) {};
    cdf.pumpEvents = std::move(pump);
    const fs::path local = f.folder / "upvelotan.exe";
    for (auto _ : state) {
        const int32_t got = cdf.DLFile(f.Url(), local, 5000);
        if (got != static_cast<int32_t>(kBodyBytes) || !cdf.LastResult().replaced)
            state.SkipWithError("incomplete download");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBodyBytes));
    state.counters["events"] =
        benchmark::Counter(static_cast<double>(events) / static_cast<double>(state.iterations()));
}

void BM_Download_DLFile(benchmark::State& state) {
    RunDLFile(state, velotan::update::WindowEventPump());
}

// For comparison: no pump at all.
void BM_Download_DLFileNoPump(benchmark::State& state) {
    RunDLFile(state, nullptr);
}

// For comparison: the event loop run after every single chunk.
void BM_Download_DLFilePumpEveryChunk(benchmark::State& state) {
    RunDLFile(state, [] { QCoreApplication::processEvents(); });
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

bool PlainTransfer(const std::string& url, const fs::path& local) {
    FILE* file = std::fopen(local.c_str(), "wb");
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    std::fclose(file);
    return rc == CURLE_OK;
}

void BM_Download_PlainCurl(benchmark::State& state) {
    Fixture& f = Shared();
    const fs::path local = f.folder / "plain.bin";
    const std::string url = f.Url();
    for (auto _ : state) {
        if (!PlainTransfer(url, local))
            state.SkipWithError("plain transfer failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBodyBytes));
}

// How long a stop takes to end a transfer whose body has paused: from the
// DLFileStop that a window's stop button makes in the pump hook to DLFile's
// return. The downloader promises well under 100 ms (it looks every 20 ms);
// the tests check the order of events, this measures the time.
void BM_StopLatency(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Fixture& f = Shared();
    Cls_DownLoad cdf;
    bool bytesIn = false;
    bool asked = false;
    Clock::time_point stopAt;
    cdf.entDLFileDowning = [&](const std::string&, int32_t, int32_t, int32_t) { bytesIn = true; };
    cdf.entDLFileStatus = [](int32_t) {};
    cdf.pumpEvents = [&] {
        if (bytesIn && !asked) {
            asked = true;
            stopAt = Clock::now();
            cdf.DLFileStop();
        }
    };
    const fs::path local = f.folder / "stalled.lst";
    double worst = 0;
    for (auto _ : state) {
        bytesIn = asked = false;
        cdf.DLFile(f.Url("/sns/stall"), local, 5000);
        const double seconds = std::chrono::duration<double>(Clock::now() - stopAt).count();
        if (!asked || cdf.LastResult().outcome != velotan::update::DownloadOutcome::Stopped)
            state.SkipWithError("the transfer did not end by the stop");
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["worst_ms"] = worst * 1000;
}

BENCHMARK(BM_StopLatency)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Download_DLFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download_DLFileNoPump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download_DLFilePumpEveryChunk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download_PlainCurl)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The pump hook runs a real (if idle) event loop.
    QCoreApplication application(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // The body and the server exist before anything is timed, and a few
    // untimed transfers of both kinds warm them up: the first 20 MB answers
    // of a fresh process are much slower, which would otherwise land on
    // whichever benchmark runs first.
    Fixture& f = Shared();
    Cls_DownLoad warmup;
    for (int i = 0; i < 5; ++i) {
        PlainTransfer(f.Url(), f.folder / "warmup.bin");
        warmup.DLFile(f.Url(), f.folder / "warmup.bin", 5000);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
