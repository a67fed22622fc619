// velotan-regsvr as a user runs it: its own process, a temporary XDG data
// folder, the real control library from the build tree.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "AppFixture.h"
#include "VxLedControl/RegistryFile.h"

namespace velotan::windows {
namespace {

const QString kLibrary = QFileInfo(QStringLiteral(VXLED_LIBRARY_PATH)).absoluteFilePath();
const QString kRoot = QStringLiteral("HKEY_CLASSES_ROOT\\");
const QString kClsidKey = kRoot + QStringLiteral("VxLedControl.MyPLed\\CLSID");
const QString kServerKey =
    kRoot + QStringLiteral("CLSID\\{78FB632C-F8D8-475F-963C-D788EDC377FD}\\InprocServer32");

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class RegSvrTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app::test::QtApp();
        ASSERT_TRUE(xdg_.isValid());
    }

    ToolRun Start(const QStringList& arguments, const QString& workingFolder = {}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), xdg_.path());
        process.setProcessEnvironment(env);
        if (!workingFolder.isEmpty())
            process.setWorkingDirectory(workingFolder);
        process.start(QStringLiteral(VELOTAN_REGSVR_PATH), arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    vxled::RegistryFile Registry() const {
        vxled::RegistryFile file;
        EXPECT_TRUE(file.load(xdg_.path() + QStringLiteral("/velotan/registry.reg")));
        return file;
    }

    QTemporaryDir xdg_;
};

TEST_F(RegSvrTest, RegistersThenUnregisters) {
    const ToolRun registered = Start({kLibrary});
    EXPECT_EQ(registered.exitCode, 0) << registered.err.toStdString();
    EXPECT_TRUE(registered.out.contains(QStringLiteral("DllRegisterServer")));
    EXPECT_TRUE(registered.out.contains(QStringLiteral("succeeded")));
    EXPECT_EQ(Registry().value(kClsidKey),
              QStringLiteral("{78FB632C-F8D8-475F-963C-D788EDC377FD}"));
    EXPECT_EQ(Registry().value(kServerKey), kLibrary);

    const ToolRun unregistered = Start({QStringLiteral("-u"), kLibrary});
    EXPECT_EQ(unregistered.exitCode, 0) << unregistered.err.toStdString();
    EXPECT_TRUE(unregistered.out.contains(QStringLiteral("DllUnregisterServer")));
    EXPECT_FALSE(Registry().value(kClsidKey).has_value());
    EXPECT_FALSE(Registry().value(kServerKey).has_value());
}

TEST_F(RegSvrTest, ABareFileNameMeansTheFileInTheWorkingFolder) {
    const QFileInfo library(kLibrary);
    const ToolRun run = Start({library.fileName()}, library.absolutePath());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Registry().value(kServerKey), kLibrary);
}

TEST_F(RegSvrTest, FailuresExitWithOne) {
    QTemporaryDir folder;
    // Missing library, a file that is no library, no argument, unknown option.
    const ToolRun missing = Start({folder.path() + QStringLiteral("/libVxLedControl.so")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());

    app::test::WriteBytes(folder.path().toStdString() + "/fake.so", "not a library");
    EXPECT_EQ(Start({folder.path() + QStringLiteral("/fake.so")}).exitCode, 1);

    const ToolRun usage = Start({});
    EXPECT_EQ(usage.exitCode, 1);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("usage")));
    EXPECT_EQ(Start({QStringLiteral("-x"), kLibrary}).exitCode, 1);
    EXPECT_EQ(Start({kLibrary, kLibrary}).exitCode, 1);
    EXPECT_FALSE(Registry().value(kClsidKey).has_value());
}

}  // namespace
}  // namespace velotan::windows
