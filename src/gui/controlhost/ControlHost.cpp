#include "controlhost/ControlHost.h"

#include "VxLedControl/RegistryFile.h"
#include "platform/ProgramFolder.h"

#include <QFile>

namespace velotan::platform {

namespace {

const QString kRoot = QStringLiteral("HKEY_CLASSES_ROOT\\");

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Libraries that a program folder ships, by the ProgID they serve.
struct ShippedControl {
    std::string_view progId;
    std::string_view fileName;
    vxled::Guid clsid;
};
constexpr ShippedControl kShipped[] = {
    {vxled::kProgId_MyPLed, vxled::kLibraryFileName, vxled::CLSID_MyPLed},
};

}  // namespace

ControlHost::ControlHost() : ControlHost(QFile::decodeName(ProgramFolder().c_str())) {}

ControlHost::ControlHost(QString fallbackFolder) : fallbackFolder_(std::move(fallbackFolder)) {}

// Libraries go in reverse order of loading; each stays loaded while a
// control of it is alive.
ControlHost::~ControlHost() {
    while (!libraries_.empty()) {
        libraries_.pop_back();
    }
}

ControlLibrary* ControlHost::load(const QString& path, QString* error) {
    for (const auto& library : libraries_) {
        if (library->path() == path) {
            return library.get();
        }
    }
    std::unique_ptr<ControlLibrary> library = ControlLibrary::open(path, error);
    if (!library) {
        return nullptr;
    }
    libraries_.push_back(std::move(library));
    return libraries_.back().get();
}

HostedControl ControlHost::create(ControlLibrary& library, const vxled::Guid& clsid,
                                  QWidget* parent) {
    HostedControl result;
    result.libraryPath = library.path();
    void* object = nullptr;
    vxled::HResult hr = library.getClassObject(clsid, vxled::IID_IClassFactory, &object);
    if (vxled::Failed(hr) || object == nullptr) {
        result.error = QStringLiteral("%1 has no class object for %2 (0x%3)")
                           .arg(library.path(), clsid.toString())
                           .arg(static_cast<quint32>(hr), 8, 16, QLatin1Char('0'));
        return result;
    }
    auto* factory = static_cast<vxled::IClassFactory*>(object);
    object = nullptr;
    hr = factory->CreateInstance(parent, vxled::IID_MyPLed, &object);
    if (vxled::Failed(hr) || object == nullptr) {
        result.error = QStringLiteral("%1 could not create %2 (0x%3)")
                           .arg(library.path(), clsid.toString())
                           .arg(static_cast<quint32>(hr), 8, 16, QLatin1Char('0'));
        return result;
    }
    result.control = static_cast<vxled::IMyPLed*>(object);
    return result;
}

HostedControl ControlHost::createControl(const QString& progId, QWidget* parent) {
    QStringList reasons;

    vxled::RegistryFile registry;
    QString readError;
    if (!registry.load(vxled::RegistryFile::defaultPath(), &readError)) {
        reasons << QStringLiteral("registry %1 unreadable: %2")
                       .arg(vxled::RegistryFile::defaultPath(), readError);
    }
    const std::optional<QString> clsidText =
        registry.value(kRoot + progId + QStringLiteral("\\CLSID"));
    const std::optional<vxled::Guid> clsid =
        clsidText ? vxled::Guid::parse(*clsidText) : std::nullopt;
    if (clsid) {
        const std::optional<QString> path =
            registry.value(kRoot + QStringLiteral("CLSID\\") + clsid->toString() +
                           QStringLiteral("\\InprocServer32"));
        if (path && !path->isEmpty()) {
            QString error;
            if (ControlLibrary* library = load(*path, &error)) {
                HostedControl hosted = create(*library, *clsid, parent);
                if (hosted) {
                    return hosted;
                }
                // A registration of another build or class: the copy beside
                // the program may still serve.
                reasons << QStringLiteral("registered library failed: %1").arg(hosted.error);
            } else {
                reasons << QStringLiteral("registered library cannot be loaded: %1").arg(error);
            }
        } else {
            reasons << QStringLiteral("%1 has no registered library").arg(progId);
        }
    } else {
        reasons << QStringLiteral("%1 is not registered").arg(progId);
    }

    // A program folder carries its own copy: use it, and register it so the
    // next lookup finds it directly.
    for (const ShippedControl& shipped : kShipped) {
        if (progId.compare(text(shipped.progId), Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QString path = fallbackFolder_ + QLatin1Char('/') + text(shipped.fileName);
        QString error;
        ControlLibrary* library = load(path, &error);
        if (library == nullptr) {
            reasons << QStringLiteral("no usable library beside the program: %1").arg(error);
            break;
        }
        // Registration only saves the next lookup; the control works without it.
        library->registerServer();
        return create(*library, shipped.clsid, parent);
    }

    HostedControl result;
    result.error =
        QStringLiteral("cannot create %1: %2").arg(progId, reasons.join(QStringLiteral("; ")));
    return result;
}

}  // namespace velotan::platform
