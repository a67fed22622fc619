#pragma once

#include "VxLedControl/VxLedControl.h"

#include <QString>

#include <memory>

namespace velotan::platform {

// One loaded in-process control library and its four entry points.
class ControlLibrary {
  public:
    // Loads the library at path; nothing and a reason when it is missing, not
    // a shared library, or lacks one of the entry points.
    static std::unique_ptr<ControlLibrary> open(const QString& path, QString* error);

    // Unloads only when the library says no control of it is alive; otherwise
    // it stays loaded for the rest of the run.
    ~ControlLibrary();
    ControlLibrary(const ControlLibrary&) = delete;
    ControlLibrary& operator=(const ControlLibrary&) = delete;

    const QString& path() const { return path_; }

    vxled::HResult registerServer() const { return register_(); }
    vxled::HResult unregisterServer() const { return unregister_(); }
    vxled::HResult canUnloadNow() const { return canUnloadNow_(); }
    vxled::HResult getClassObject(const vxled::Guid& clsid, const vxled::Guid& iid,
                                  void** object) const {
        return getClassObject_(&clsid, &iid, object);
    }

  private:
    ControlLibrary() = default;

    QString path_;
    void* handle_ = nullptr;
    vxled::DllRegisterServerFn register_ = nullptr;
    vxled::DllUnregisterServerFn unregister_ = nullptr;
    vxled::DllGetClassObjectFn getClassObject_ = nullptr;
    vxled::DllCanUnloadNowFn canUnloadNow_ = nullptr;
};

}  // namespace velotan::platform
