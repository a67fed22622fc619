// Registration of the real shared library and creation by ProgID, in a
// temporary XDG data folder.

#include "LedTestSupport.h"
#include "VxLedControl/RegistryFile.h"
#include "controlhost/ControlHost.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include "common/FifoGuard.h"

namespace velotan::platform {
namespace {

const QString kProgId = QStringLiteral("VxLedControl.MyPLed");
const QString kClsid = QStringLiteral("{78FB632C-F8D8-475F-963C-D788EDC377FD}");
const QString kRoot = QStringLiteral("HKEY_CLASSES_ROOT\\");
const QString kBuiltLibrary = QFileInfo(QStringLiteral(VXLED_LIBRARY_PATH)).absoluteFilePath();

class ControlRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        vxled::ensureApplication();
        ASSERT_TRUE(xdg_.isValid());
        ASSERT_TRUE(programFolder_.isValid());
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(xdg_.path()));
        ASSERT_EQ(vxled::RegistryFile::defaultPath(), registryPath());
    }
    void TearDown() override {
        if (hadXdg_) {
            qputenv("XDG_DATA_HOME", oldXdg_);
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
    }

    QString registryPath() const { return xdg_.path() + QStringLiteral("/velotan/registry.reg"); }

    vxled::RegistryFile registry() const {
        vxled::RegistryFile file;
        EXPECT_TRUE(file.load(registryPath()));
        return file;
    }

    std::optional<QString> registeredLibrary() const {
        return registry().value(kRoot + QStringLiteral("CLSID\\") + kClsid +
                                QStringLiteral("\\InprocServer32"));
    }

    // A program folder with its own copy of the library.
    QString shipLibrary() {
        const QString path = programFolder_.path() + QStringLiteral("/libVxLedControl.so");
        EXPECT_TRUE(QFile::copy(kBuiltLibrary, path));
        return path;
    }

    QTemporaryDir xdg_;
    QTemporaryDir programFolder_;
    bool hadXdg_ = false;
    QByteArray oldXdg_;
};

// ---- the library's own registration --------------------------------------------------

TEST_F(ControlRegistry, RegisterServerRecordsProgIdClassInterfacesAndPath) {
    QString error;
    auto library = ControlLibrary::open(kBuiltLibrary, &error);
    ASSERT_TRUE(library) << error.toStdString();
    ASSERT_EQ(library->registerServer(), vxled::S_OK);

    const vxled::RegistryFile file = registry();
    EXPECT_EQ(file.value(kRoot + kProgId + QStringLiteral("\\CLSID")), kClsid);
    EXPECT_EQ(registeredLibrary(), kBuiltLibrary);
    EXPECT_EQ(file.value(kRoot + QStringLiteral("CLSID\\") + kClsid + QStringLiteral("\\ProgID")),
              kProgId);
    EXPECT_EQ(
        file.value(kRoot + QStringLiteral("Interface\\{476CE14C-1160-4174-B7F3-51D57F9418AB}")),
        QStringLiteral("_MyPLed"));
    EXPECT_EQ(
        file.value(kRoot + QStringLiteral("Interface\\{99EE5A33-FF7E-4671-B182-31102E4089F8}")),
        QStringLiteral("__MyPLed"));
    EXPECT_EQ(
        file.value(kRoot + QStringLiteral("TypeLib\\{5C48AA00-06E3-4119-8A5C-296F21FCF357}\\1.0")),
        QStringLiteral("VxLedControl"));
}

TEST_F(ControlRegistry, UnregisterServerRemovesExactlyItsEntries) {
    vxled::RegistryFile other;
    other.setValue(kRoot + QStringLiteral("Other.Control\\CLSID"), {}, QStringLiteral("{X}"));
    other.setValue(kRoot + QStringLiteral("CLSID\\{78FB632C-F8D8-475F-963C-D788EDC377FE}"), {},
                   QStringLiteral("neighbour"));
    ASSERT_TRUE(other.save(registryPath()));

    auto library = ControlLibrary::open(kBuiltLibrary, nullptr);
    ASSERT_TRUE(library);
    ASSERT_EQ(library->registerServer(), vxled::S_OK);
    ASSERT_EQ(library->unregisterServer(), vxled::S_OK);

    const vxled::RegistryFile file = registry();
    EXPECT_EQ(
        file.keyPaths(),
        (QStringList{kRoot + QStringLiteral("Other.Control\\CLSID"),
                     kRoot + QStringLiteral("CLSID\\{78FB632C-F8D8-475F-963C-D788EDC377FE}")}));
}

TEST_F(ControlRegistry, ClassObjectOnlyForItsClassAndInterface) {
    auto library = ControlLibrary::open(kBuiltLibrary, nullptr);
    ASSERT_TRUE(library);
    void* object = nullptr;
    EXPECT_EQ(library->getClassObject(vxled::LIBID_VxLedControl, vxled::IID_IClassFactory, &object),
              vxled::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(library->getClassObject(vxled::CLSID_MyPLed, vxled::IID_MyPLed, &object),
              vxled::E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(library->getClassObject(vxled::CLSID_MyPLed, vxled::IID_IClassFactory, &object),
              vxled::S_OK);
    EXPECT_NE(object, nullptr);
}

// ---- creation by ProgID ----------------------------------------------------------------

TEST_F(ControlRegistry, CreatesTheRegisteredControlAsAChildWidget) {
    auto library = ControlLibrary::open(kBuiltLibrary, nullptr);
    ASSERT_TRUE(library);
    ASSERT_EQ(library->registerServer(), vxled::S_OK);

    ControlHost host(programFolder_.path());  // an empty program folder
    QWidget window;
    const HostedControl hosted = host.createControl(kProgId, &window);
    ASSERT_TRUE(hosted) << hosted.error.toStdString();
    EXPECT_EQ(hosted.libraryPath, kBuiltLibrary);
    EXPECT_EQ(hosted.control->widget()->parentWidget(), &window);
    EXPECT_NE(hosted.control->widget()->findChild<QWidget*>(QStringLiteral("Picture1")), nullptr);

    // The settings window writes its key pair by dispatch identifier.
    EXPECT_EQ(hosted.control->PutProperty(0x68030003, QStringLiteral("39.17")), vxled::S_OK);
    vxled::Variant caption;
    EXPECT_EQ(hosted.control->GetProperty(0x68030003, &caption), vxled::S_OK);
    EXPECT_EQ(caption, vxled::Variant(QStringLiteral("39.17")));

    // While the control lives the library must stay; afterwards it may go.
    EXPECT_EQ(library->canUnloadNow(), vxled::S_FALSE);
    delete hosted.control->widget();
    EXPECT_EQ(library->canUnloadNow(), vxled::S_OK);
}

TEST_F(ControlRegistry, LibraryPanelSpeaksItsCaptionAndItsLibraryCanGo) {
    const QString shipped = shipLibrary();
    {
        ControlHost host(programFolder_.path());
        QWidget window;
        const HostedControl hosted = host.createControl(kProgId, &window);
        ASSERT_TRUE(hosted) << hosted.error.toStdString();
        ASSERT_EQ(hosted.control->PutProperty(0x68030003, QStringLiteral("12.200")), vxled::S_OK);
        // Every host gets the panel's accessibility from the library itself.
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(hosted.control->widget());
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::StaticText);
        EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("12.200"));
        delete hosted.control->widget();
    }
    // The host is gone and with it the library...
    EXPECT_EQ(dlopen(QFile::encodeName(shipped).constData(), RTLD_LAZY | RTLD_NOLOAD), nullptr);
    // ...and what it had given Qt: a factory left behind would be called
    // for every object asked about from now on.
    QWidget other;
    EXPECT_NE(QAccessible::queryAccessibleInterface(&other), nullptr);
}

TEST_F(ControlRegistry, UnregisteredControlComesFromTheProgramFolderWhichIsThenRegistered) {
    const QString shipped = shipLibrary();
    ControlHost host(programFolder_.path());
    QWidget window;
    const HostedControl hosted = host.createControl(kProgId, &window);
    ASSERT_TRUE(hosted) << hosted.error.toStdString();
    EXPECT_EQ(hosted.libraryPath, shipped);
    EXPECT_EQ(registeredLibrary(), QFileInfo(shipped).absoluteFilePath());

    // The next host finds it through the registry alone.
    ControlHost second(xdg_.path());
    const HostedControl again = second.createControl(kProgId, &window);
    ASSERT_TRUE(again) << again.error.toStdString();
    EXPECT_EQ(again.libraryPath, QFileInfo(shipped).absoluteFilePath());
}

TEST_F(ControlRegistry, StaleRegistrationFallsBackToTheProgramFolder) {
    vxled::RegistryFile stale;
    stale.setValue(kRoot + kProgId + QStringLiteral("\\CLSID"), {}, kClsid);
    stale.setValue(kRoot + QStringLiteral("CLSID\\") + kClsid + QStringLiteral("\\InprocServer32"),
                   {}, QStringLiteral("/nonexistent/old-folder/libVxLedControl.so"));
    ASSERT_TRUE(stale.save(registryPath()));

    const QString shipped = shipLibrary();
    ControlHost host(programFolder_.path());
    QWidget window;
    const HostedControl hosted = host.createControl(kProgId, &window);
    ASSERT_TRUE(hosted) << hosted.error.toStdString();
    EXPECT_EQ(registeredLibrary(), QFileInfo(shipped).absoluteFilePath());
}

TEST_F(ControlRegistry, RegisteredLibraryThatCannotCreateFallsBackToTheProgramFolder) {
    // The registered library loads, but knows no class of the registered id.
    const QString otherClsid = QStringLiteral("{00000000-0000-0000-0000-0000000000AB}");
    vxled::RegistryFile other;
    other.setValue(kRoot + kProgId + QStringLiteral("\\CLSID"), {}, otherClsid);
    other.setValue(
        kRoot + QStringLiteral("CLSID\\") + otherClsid + QStringLiteral("\\InprocServer32"), {},
        kBuiltLibrary);
    ASSERT_TRUE(other.save(registryPath()));

    const QString shipped = shipLibrary();
    ControlHost host(programFolder_.path());
    QWidget window;
    const HostedControl hosted = host.createControl(kProgId, &window);
    ASSERT_TRUE(hosted) << hosted.error.toStdString();
    EXPECT_EQ(hosted.libraryPath, shipped);
    EXPECT_EQ(registeredLibrary(), QFileInfo(shipped).absoluteFilePath());
}

TEST_F(ControlRegistry, MissingLibraryIsAnErrorNotACrash) {
    ControlHost host(programFolder_.path());
    QWidget window;
    const HostedControl hosted = host.createControl(kProgId, &window);
    EXPECT_FALSE(hosted);
    EXPECT_EQ(hosted.control, nullptr);
    EXPECT_TRUE(hosted.error.contains(kProgId)) << hosted.error.toStdString();
    EXPECT_TRUE(
        hosted.error.contains(programFolder_.path() + QStringLiteral("/libVxLedControl.so")))
        << hosted.error.toStdString();
    EXPECT_TRUE(window.children().isEmpty());
}

TEST_F(ControlRegistry, FileThatIsNoLibraryIsAnError) {
    QFile fake(programFolder_.path() + QStringLiteral("/libVxLedControl.so"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a shared library");
    fake.close();
    ControlHost host(programFolder_.path());
    const HostedControl hosted = host.createControl(kProgId, nullptr);
    EXPECT_FALSE(hosted);
    EXPECT_FALSE(hosted.error.isEmpty());
}

TEST_F(ControlRegistry, NamedPipesInPlaceOfTheRegistryAndTheLibraryAreNotWaitedFor) {
    // dlopen() and the registry would wait for a writer for ever.
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(registryPath().toStdString()));
    ASSERT_TRUE(
        pipes.Add((programFolder_.path() + QStringLiteral("/libVxLedControl.so")).toStdString()));
    ControlHost host(programFolder_.path());
    const HostedControl hosted = host.createControl(kProgId, nullptr);
    EXPECT_FALSE(hosted);
    EXPECT_TRUE(hosted.error.contains(QStringLiteral("not a regular file")))
        << hosted.error.toStdString();
    EXPECT_FALSE(pipes.Stop()) << "the control host waited for a writer on a named pipe";
}

TEST_F(ControlRegistry, UnknownProgIdIsNotRegistered) {
    shipLibrary();
    ControlHost host(programFolder_.path());
    const HostedControl hosted = host.createControl(QStringLiteral("Other.Control"), nullptr);
    EXPECT_FALSE(hosted);
    EXPECT_TRUE(hosted.error.contains(QStringLiteral("Other.Control is not registered")))
        << hosted.error.toStdString();
    EXPECT_FALSE(QFile::exists(registryPath()));
}

}  // namespace
}  // namespace velotan::platform
