#pragma once

#include "controlhost/ControlLibrary.h"

#include <QString>

#include <memory>
#include <vector>

class QWidget;

namespace velotan::platform {

// A control created by ControlHost. The control is a widget owned by the
// parent it was created with (or by the caller when there was none).
struct HostedControl {
    vxled::IMyPLed* control = nullptr;
    QString libraryPath;  // where the control's library was loaded from
    QString error;        // why there is no control

    explicit operator bool() const { return control != nullptr; }
};

// Creates controls by programmatic identifier, the way the settings window
// gets its LED panel: look the ProgID up in the per-user class registry, load
// the library, ask it for the class object and create an instance.
class ControlHost {
  public:
    // fallbackFolder: where to look for the control library when the ProgID is
    // not registered, or its registered library cannot be loaded. Normally the
    // program folder, so that a copied program folder works at once.
    ControlHost();
    explicit ControlHost(QString fallbackFolder);
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    HostedControl createControl(const QString& progId, QWidget* parent);

  private:
    ControlLibrary* load(const QString& path, QString* error);
    HostedControl create(ControlLibrary& library, const vxled::Guid& clsid, QWidget* parent);

    QString fallbackFolder_;
    std::vector<std::unique_ptr<ControlLibrary>> libraries_;
};

}  // namespace velotan::platform
