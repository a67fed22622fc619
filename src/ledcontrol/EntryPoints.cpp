// The four functions the library exports; everything else stays hidden.

#include "MyPLedClassFactory.h"
#include "ServerRegistration.h"
#include "VxLedControl/RegistryFile.h"
#include "VxLedControl/VxLedControl.h"

#include <QFileInfo>

#include <dlfcn.h>

#define VXLED_EXPORT __attribute__((visibility("default")))

extern "C" {
VXLED_EXPORT vxled::HResult DllRegisterServer();
VXLED_EXPORT vxled::HResult DllUnregisterServer();
VXLED_EXPORT vxled::HResult DllGetClassObject(const vxled::Guid* clsid, const vxled::Guid* iid,
                                              void** object);
VXLED_EXPORT vxled::HResult DllCanUnloadNow();
}

namespace {

// The path this very library was loaded from, made absolute.
QString ownPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

}  // namespace

vxled::HResult DllRegisterServer() {
    const QString path = ownPath();
    if (path.isEmpty()) {
        return vxled::SELFREG_E_CLASS;
    }
    return vxled::ServerRegistration::registerServer(path, vxled::RegistryFile::defaultPath());
}

vxled::HResult DllUnregisterServer() {
    return vxled::ServerRegistration::unregisterServer(vxled::RegistryFile::defaultPath());
}

vxled::HResult DllGetClassObject(const vxled::Guid* clsid, const vxled::Guid* iid, void** object) {
    if (clsid == nullptr || iid == nullptr || object == nullptr) {
        return vxled::E_POINTER;
    }
    *object = nullptr;
    if (*clsid != vxled::CLSID_MyPLed) {
        return vxled::CLASS_E_CLASSNOTAVAILABLE;
    }
    if (*iid != vxled::IID_IClassFactory && *iid != vxled::IID_IUnknown) {
        return vxled::E_NOINTERFACE;
    }
    *object = static_cast<vxled::IClassFactory*>(&vxled::MyPLedClassFactory::instance());
    return vxled::S_OK;
}

vxled::HResult DllCanUnloadNow() {
    return vxled::MyPLedClassFactory::canUnloadNow();
}
