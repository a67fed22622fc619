// Renders the update window into PNG files, for a person to look at:
//   velotan-update-screens <output folder>
// idle after its load, in the middle of a real download from a loopback
// server, and after that download was stopped.

#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "RenderSupport.h"
#include "app/App.h"
#include "windows/FrmUpdate.h"

using velotan::app::render::Save;
using velotan::app::render::SilentDialogs;
using velotan::app::render::TempProgramFolder;

namespace {

namespace fs = std::filesystem;
using namespace velotan::app;
using velotan::update::FrmUpdate;

constexpr size_t kInstallerBytes = 1536000;
// A well-formed publisher key: the installer's download, which the pictures
// show, starts only with one. The download is stopped before any signature
// is needed.
constexpr const char* kPublicKey = "RWS29NihKuodlYoVWjBDEcL09OAdc7ZEVxhkPAwU5rqkseJUWbRgK4te";

}  // namespace

int main(int argc, char** argv) {
    return velotan::app::render::RunRenderer(
        argc, argv, "velotan-update-screens", [&](const QDir& out) {
            // The update server: a newer list and an installer that trickles in.
            httplib::Server server;
            server.Get("/sns/update.lst", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("1.2\r\n", "text/plain");
            });
            server.Get("/sns/up_velotan.exe", [](const httplib::Request&, httplib::Response& res) {
                res.set_content_provider(
                    kInstallerBytes, "application/octet-stream",
                    [](size_t offset, size_t length, httplib::DataSink& sink) {
                        const std::string block(std::min<size_t>(length, 16384), 'x');
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                        (void)offset;
                        return sink.write(block.data(), block.size());
                    });
            });
            const int port = server.bind_to_any_port("127.0.0.1");
            if (port <= 0) {
                std::fprintf(stderr, "cannot start the loopback server\n");
                return 1;
            }
            std::thread serving([&server] { server.listen_after_bind(); });
            // stop() only reaches a server whose accept loop runs.
            while (!server.is_running())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));

            const TempProgramFolder program({"Main.skn"});
            const fs::path& folder = program.Path();
            std::ofstream(folder / "update.ini", std::ios::binary)
                << "[update]\r\nServer=http://127.0.0.1:" << port << "\r\nPublicKey=" << kPublicKey
                << "\r\n";

            SilentDialogs dialogs;
            bool ok = true;
            {
                App app(folder, dialogs, [] { return velotan::platform::DriveMap(); });
                FrmUpdate* window = FrmUpdate::Open(app);
                ok &= Save(window, out, "update-idle");

                // Caught in the middle of the installer's download, then stopped.
                auto show = window->Cdf.entDLFileDowning;
                bool caught = false;
                window->Cdf.entDLFileDowning = [&](const std::string& url, int32_t done,
                                                   int32_t size, int32_t speed) {
                    show(url, done, size, speed);
                    if (!caught && url.ends_with("/up_velotan.exe") && done >= size * 2 / 5) {
                        caught = true;
                        ok &= Save(window, out, "update-downloading");
                        window->Command2->click();
                    }
                };
                window->Command1->click();
                ok &= caught;
                ok &= Save(window, out, "update-stopped");
                window->close();
            }
            server.stop();
            serving.join();
            return ok ? 0 : 1;
        });
}
