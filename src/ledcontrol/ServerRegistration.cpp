#include "ServerRegistration.h"

#include "VxLedControl/RegistryFile.h"

namespace vxled {

namespace {

const QString kRoot = QStringLiteral("HKEY_CLASSES_ROOT\\");

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString progIdKey() {
    return kRoot + text(kProgId_MyPLed);
}
QString classKey() {
    return kRoot + QStringLiteral("CLSID\\") + CLSID_MyPLed.toString();
}
QString interfaceKey(const Guid& iid) {
    return kRoot + QStringLiteral("Interface\\") + iid.toString();
}
QString typeLibKey() {
    return kRoot + QStringLiteral("TypeLib\\") + LIBID_VxLedControl.toString();
}
QString typeLibVersionKey() {
    return typeLibKey() + QLatin1Char('\\') + text(kTypeLibVersion);
}

}  // namespace

HResult ServerRegistration::registerServer(const QString& libraryPath,
                                           const QString& registryPath) {
    RegistryFile registry;
    if (!registry.load(registryPath)) {
        return SELFREG_E_CLASS;
    }
    const QString clsid = CLSID_MyPLed.toString();
    const QString libid = LIBID_VxLedControl.toString();
    const QString version = text(kTypeLibVersion);

    registry.setValue(progIdKey(), {}, QStringLiteral("MyPLed"));
    registry.setValue(progIdKey() + QStringLiteral("\\CLSID"), {}, clsid);

    registry.setValue(classKey(), {}, QStringLiteral("MyPLed"));
    registry.setValue(classKey() + QStringLiteral("\\InprocServer32"), {}, libraryPath);
    registry.setValue(classKey() + QStringLiteral("\\ProgID"), {}, text(kProgId_MyPLed));
    registry.setValue(classKey() + QStringLiteral("\\TypeLib"), {}, libid);
    registry.setValue(classKey() + QStringLiteral("\\Version"), {}, version);
    registry.createKey(classKey() + QStringLiteral("\\Control"));

    const std::pair<Guid, std::string_view> interfaces[] = {
        {IID_MyPLed, kInterfaceName_MyPLed},
        {DIID_MyPLedEvents, kInterfaceName_MyPLedEvents},
    };
    for (const auto& [iid, name] : interfaces) {
        registry.setValue(interfaceKey(iid), {}, text(name));
        registry.setValue(interfaceKey(iid) + QStringLiteral("\\TypeLib"), {}, libid);
        registry.setValue(interfaceKey(iid) + QStringLiteral("\\TypeLib"),
                          QStringLiteral("Version"), version);
    }

    // The type library lives in the control library itself.
    registry.setValue(typeLibVersionKey(), {}, text(kTypeLibHelpString));
    registry.setValue(typeLibVersionKey() + QStringLiteral("\\0\\linux"), {}, libraryPath);

    return registry.save(registryPath) ? S_OK : SELFREG_E_CLASS;
}

HResult ServerRegistration::unregisterServer(const QString& registryPath) {
    RegistryFile registry;
    if (!registry.load(registryPath)) {
        return SELFREG_E_CLASS;
    }
    registry.removeTree(progIdKey());
    registry.removeTree(classKey());
    registry.removeTree(interfaceKey(IID_MyPLed));
    registry.removeTree(interfaceKey(DIID_MyPLedEvents));
    registry.removeTree(typeLibVersionKey());
    // Other versions of the type library may still be registered there.
    if (!registry.hasSubkeys(typeLibKey())) {
        registry.removeTree(typeLibKey());
    }
    return registry.save(registryPath) ? S_OK : SELFREG_E_CLASS;
}

}  // namespace vxled
