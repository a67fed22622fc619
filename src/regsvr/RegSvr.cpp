// Registers a control library in the per-user class registry, or removes it:
//   velotan-regsvr [-u] LIBRARY
// It loads the library and calls its DllRegisterServer (DllUnregisterServer
// with -u), like the system tool that registers controls. Exit code 0 on
// success, 1 otherwise.

#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <string_view>

#include "controlhost/ControlLibrary.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: velotan-regsvr [-u] LIBRARY\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    QString library;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-u" && !unregister) {
            unregister = true;
        } else if (arg == "--") {
            if (i + 2 != argc || !library.isEmpty())
                return Usage();
            library = QFile::decodeName(argv[i + 1]);
            break;
        } else if (!arg.empty() && arg.front() == '-') {
            return Usage();
        } else if (library.isEmpty()) {
            library = QFile::decodeName(argv[i]);
        } else {
            return Usage();
        }
    }
    if (library.isEmpty())
        return Usage();

    // A bare file name must mean the file here, not one dlopen would find on
    // its search path; the library records the path it was loaded from.
    const QString path = QFileInfo(library).absoluteFilePath();
    QString error;
    auto control = velotan::platform::ControlLibrary::open(path, &error);
    if (!control) {
        std::fprintf(stderr, "velotan-regsvr: cannot load %s: %s\n", qPrintable(path),
                     qPrintable(error));
        return 1;
    }
    const char* entry = unregister ? vxled::kDllUnregisterServer : vxled::kDllRegisterServer;
    const vxled::HResult hr = unregister ? control->unregisterServer() : control->registerServer();
    if (vxled::Failed(hr)) {
        std::fprintf(stderr, "velotan-regsvr: %s in %s failed (0x%08X)\n", entry, qPrintable(path),
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("velotan-regsvr: %s in %s succeeded.\n", entry, qPrintable(path));
    return 0;
}
