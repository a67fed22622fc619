// The class object of MyPLed, handed out by DllGetClassObject.
#pragma once

#include "VxLedControl/VxLedControl.h"

namespace vxled {

class MyPLedClassFactory final : public IClassFactory {
  public:
    static MyPLedClassFactory& instance();

    HResult CreateInstance(QWidget* parent, const Guid& iid, void** object) override;
    HResult LockServer(bool lock) override;

    // S_OK when no control is alive and nobody holds a lock.
    static HResult canUnloadNow();

  private:
    MyPLedClassFactory() = default;
};

}  // namespace vxled
