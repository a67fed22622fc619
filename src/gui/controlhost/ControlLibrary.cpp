#include "controlhost/ControlLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace velotan::platform {

namespace {

QString lastDlError() {
    const char* message = dlerror();
    return message ? QString::fromLocal8Bit(message) : QStringLiteral("unknown error");
}

template <typename Fn>
bool resolve(void* handle, const char* name, Fn* out, QString* error) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        if (error) {
            *error = QStringLiteral("%1 does not export %2").arg(lastDlError(), name);
        }
        return false;
    }
    *out = reinterpret_cast<Fn>(symbol);
    return true;
}

}  // namespace

std::unique_ptr<ControlLibrary> ControlLibrary::open(const QString& path, QString* error) {
    // dlopen() would wait for ever on a named pipe: only a file is loaded.
    const QFileInfo info(path);
    if (!info.isFile()) {
        if (error) {
            *error = info.exists() ? QStringLiteral("%1: not a regular file").arg(path)
                                   : QStringLiteral("%1: no such file").arg(path);
        }
        return nullptr;
    }
    // RTLD_LOCAL: each copy of a control library keeps its own symbols.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (error) {
            *error = lastDlError();
        }
        return nullptr;
    }
    std::unique_ptr<ControlLibrary> library(new ControlLibrary);
    library->path_ = path;
    library->handle_ = handle;
    QString missing;
    if (!resolve(handle, vxled::kDllRegisterServer, &library->register_, &missing) ||
        !resolve(handle, vxled::kDllUnregisterServer, &library->unregister_, &missing) ||
        !resolve(handle, vxled::kDllGetClassObject, &library->getClassObject_, &missing) ||
        !resolve(handle, vxled::kDllCanUnloadNow, &library->canUnloadNow_, &missing)) {
        if (error) {
            *error = missing;
        }
        library->canUnloadNow_ = nullptr;  // nothing of it can be alive
        return nullptr;
    }
    return library;
}

ControlLibrary::~ControlLibrary() {
    if (handle_ == nullptr) {
        return;
    }
    if (canUnloadNow_ == nullptr || canUnloadNow_() == vxled::S_OK) {
        dlclose(handle_);
    }
}

}  // namespace velotan::platform
