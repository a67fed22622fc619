// Self-registration of the control library in the per-user class registry.
#pragma once

#include "VxLedControl/VxLedControl.h"

#include <QString>

namespace vxled {

class ServerRegistration {
  public:
    // Records the ProgID, the class, both interfaces and the type library,
    // with libraryPath as the class's in-process server.
    static HResult registerServer(const QString& libraryPath, const QString& registryPath);
    // Removes exactly the entries registerServer writes; other entries stay.
    static HResult unregisterServer(const QString& registryPath);
};

}  // namespace vxled
