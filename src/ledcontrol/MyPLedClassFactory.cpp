#include "MyPLedClassFactory.h"

#include "MyPLed.h"

#include <atomic>

namespace vxled {

namespace {
std::atomic<int> g_locks{0};
}

MyPLedClassFactory& MyPLedClassFactory::instance() {
    static MyPLedClassFactory factory;
    return factory;
}

HResult MyPLedClassFactory::CreateInstance(QWidget* parent, const Guid& iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    // Check the interface first so that a refused request creates nothing.
    if (iid != IID_MyPLed && iid != IID_IUnknown && iid != IID_IDispatch) {
        return E_NOINTERFACE;
    }
    auto* control = new MyPLed(parent);
    if (iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(control);
    } else {
        *object = static_cast<IMyPLed*>(control);
    }
    return S_OK;
}

HResult MyPLedClassFactory::LockServer(bool lock) {
    if (lock) {
        ++g_locks;
    } else if (g_locks.load() > 0) {
        --g_locks;
    }
    return S_OK;
}

HResult MyPLedClassFactory::canUnloadNow() {
    return MyPLed::liveInstances() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

}  // namespace vxled
