#include "LedTestSupport.h"
#include "VxLedControl/RegistryFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/FifoGuard.h"

namespace vxled {
namespace {

TEST(Guid, IdentifiersReadBackAsWritten) {
    EXPECT_EQ(CLSID_MyPLed.toString(), QStringLiteral("{78FB632C-F8D8-475F-963C-D788EDC377FD}"));
    EXPECT_EQ(IID_MyPLed.toString(), QStringLiteral("{476CE14C-1160-4174-B7F3-51D57F9418AB}"));
    EXPECT_EQ(DIID_MyPLedEvents.toString(),
              QStringLiteral("{99EE5A33-FF7E-4671-B182-31102E4089F8}"));
    EXPECT_EQ(GUID_AlignmentKinds.toString(),
              QStringLiteral("{11246ADB-503A-4835-8707-B3F784253B69}"));
    EXPECT_EQ(LIBID_VxLedControl.toString(),
              QStringLiteral("{5C48AA00-06E3-4119-8A5C-296F21FCF357}"));
    EXPECT_EQ(IID_IClassFactory.toString(),
              QStringLiteral("{00000001-0000-0000-C000-000000000046}"));
}

TEST(Guid, ParsesEitherCaseAndRejectsMalformedText) {
    EXPECT_EQ(Guid::parse(QStringLiteral("{78fb632c-f8d8-475f-963c-d788edc377fd}")), CLSID_MyPLed);
    for (const QString& bad :
         {QStringLiteral("78FB632C-F8D8-475F-963C-D788EDC377FD"),
          QStringLiteral("{78FB632C-F8D8-475F-963C-D788EDC377F}"),
          QStringLiteral("{78FB632C-F8D8-475F-963CD-788EDC377FD}"),
          QStringLiteral("{78FB632G-F8D8-475F-963C-D788EDC377FD}"), QString()}) {
        EXPECT_FALSE(Guid::parse(bad).has_value()) << bad.toStdString();
    }
}

class RegistryFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path() const { return dir_.path() + QStringLiteral("/sub/registry.reg"); }
    QTemporaryDir dir_;
};

TEST_F(RegistryFileTest, SavesAndLoadsValuesWithQuotesAndBackslashes) {
    RegistryFile out;
    out.setValue(QStringLiteral("Root\\A"), {}, QStringLiteral("C:\\dir\\\"q\" 中"));
    out.setValue(QStringLiteral("Root\\A"), QStringLiteral("Version"), QStringLiteral("1.0"));
    out.createKey(QStringLiteral("Root\\A\\Empty"));
    ASSERT_TRUE(out.save(path()));

    RegistryFile in;
    ASSERT_TRUE(in.load(path()));
    EXPECT_EQ(in.value(QStringLiteral("root\\a")), QStringLiteral("C:\\dir\\\"q\" 中"));
    EXPECT_EQ(in.value(QStringLiteral("Root\\A"), QStringLiteral("VERSION")),
              QStringLiteral("1.0"));
    EXPECT_TRUE(in.hasKey(QStringLiteral("Root\\A\\Empty")));
    EXPECT_FALSE(in.value(QStringLiteral("Root\\A\\Empty")).has_value());
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyRegistry) {
    RegistryFile file;
    EXPECT_TRUE(file.load(path()));
    EXPECT_TRUE(file.keyPaths().isEmpty());
}

TEST_F(RegistryFileTest, ANamedPipeIsNoRegistryAndIsNotWaitedFor) {
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(path().toStdString()));
    RegistryFile file;
    QString error;
    EXPECT_FALSE(file.load(path(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("not a regular file"))) << error.toStdString();
    EXPECT_TRUE(file.keyPaths().isEmpty());
    EXPECT_FALSE(pipes.Stop()) << "the registry waited for a writer on a named pipe";
}

TEST_F(RegistryFileTest, RemovingATreeSparesKeysThatOnlyShareAPrefix) {
    RegistryFile file;
    file.createKey(QStringLiteral("R\\Key"));
    file.createKey(QStringLiteral("R\\Key\\Sub"));
    file.createKey(QStringLiteral("R\\Keyboard"));
    EXPECT_EQ(file.removeTree(QStringLiteral("r\\key")), 2);
    EXPECT_EQ(file.keyPaths(), QStringList{QStringLiteral("R\\Keyboard")});
}

TEST(RegistryFileLocation, FollowsTheXdgDataFolderRules) {
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QString home = qEnvironmentVariable("HOME", QDir::homePath());

    qputenv("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(RegistryFile::defaultPath(), QStringLiteral("/data/home/velotan/registry.reg"));
    // Relative and empty values are ignored.
    qputenv("XDG_DATA_HOME", "relative/dir");
    EXPECT_EQ(RegistryFile::defaultPath(),
              home + QStringLiteral("/.local/share/velotan/registry.reg"));
    qputenv("XDG_DATA_HOME", "");
    EXPECT_EQ(RegistryFile::defaultPath(),
              home + QStringLiteral("/.local/share/velotan/registry.reg"));

    if (hadXdg) {
        qputenv("XDG_DATA_HOME", oldXdg);
    } else {
        qunsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
}  // namespace vxled
