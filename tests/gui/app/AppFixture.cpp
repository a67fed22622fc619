#include "AppFixture.h"

#include <QFile>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <iterator>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include "passworddb/PasswordDatabase.h"

namespace velotan::app::test {

namespace fs = std::filesystem;

QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* application = [] {
        auto* a = new QApplication(argc, argv);
        // Tests end windows themselves; no window closing may stop anything.
        QApplication::setQuitOnLastWindowClosed(false);
        return a;
    }();
    return *application;
}

void ProcessEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString QPath(const fs::path& path) {
    return QFile::decodeName(path.string().c_str());
}

void AppFixture::SetUp() {
    QtApp();
    // Whatever a test starts (the program's own code, velotan-cli) keeps its
    // per-user files and drive letters in the test's folder, never in the
    // home folder of whoever runs the tests.
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        const char* value = std::getenv(name);
        savedEnvironment_.emplace_back(name,
                                       value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("XDG_DATA_HOME", (temp_.path() / "xdg-data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (temp_.path() / "xdg-state").c_str(), 1);
    fs::create_directories(Folder());
    std::string error;
    ASSERT_TRUE(
        passworddb::PasswordDatabase::Create(DatabaseFile(), passworddb::kDatabasePassword, &error))
        << error;
    fs::copy_file(fs::path(VELOTAN_DATA_DIR) / "symbolhandle.ini", Folder() / "symbolhandle.ini");
}

void AppFixture::TearDown() {
    const bool ended = app_ && app_->Ended();
    app_.reset();
    ProcessEvents();
    if (ended) {
        // QCoreApplication::exit leaves a flag that makes every later local
        // event loop (QSignalSpy::wait) return at once; only the end of an
        // exec() clears it, so the next test in this process gets a clean one.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    for (const auto& [name, value] : savedEnvironment_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    savedEnvironment_.clear();
}

fs::path AppFixture::DatabaseFile() const {
    return passworddb::DatabaseFile(Folder());
}

fs::path AppFixture::KeyFile() const {
    return Store() / "mxsw" / "encrypt" / "chat.mx";
}

void AppFixture::ConfigureKeyStore() {
    std::filesystem::create_directories(Store());  // the folder the user chose
    WriteBytes(Folder() / "settings.ini", "[set]\r\nKeyChar=" + Store().string() + "\r\n");
}

void AppFixture::WriteKeyFile(const std::string& line) {
    ConfigureKeyStore();
    WriteBytes(KeyFile(), line + "\r\n");
}

namespace {

// Direct access to the database file, to set up and check what the login
// window reads and writes.
struct RawDb {
    explicit RawDb(const fs::path& file) {
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_key(db, passworddb::kDatabasePassword,
                    static_cast<int>(std::string(passworddb::kDatabasePassword).size()));
    }
    ~RawDb() { sqlite3_close_v2(db); }
    void Exec(const std::string& sql) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }
    std::string Text(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string out = "<no row>";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(stmt, 0);
            out = text ? reinterpret_cast<const char*>(text) : "<null>";
        }
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3* db = nullptr;
};

}  // namespace

void AppFixture::SetStoredValue(const std::string& value) {
    RawDb db(DatabaseFile());
    db.Exec("DELETE FROM LcUser");
    db.Exec("INSERT INTO LcUser(口令) VALUES ('" + value + "')");
}

std::string AppFixture::StoredValue() {
    return RawDb(DatabaseFile()).Text("SELECT 口令 FROM LcUser ORDER BY rowid LIMIT 1");
}

void AppFixture::ExecSql(const std::string& sql) {
    RawDb(DatabaseFile()).Exec(sql);
}

int AppFixture::RowCount() {
    return std::stoi(RawDb(DatabaseFile()).Text("SELECT count(*) FROM LcUser"));
}

App& AppFixture::MakeApp() {
    // No real drives: a test's key store is the folder in settings.ini.
    app_ = std::make_unique<App>(Folder(), dialogs_, [] { return platform::DriveMap(); });
    app_->SetUrlOpener([](const std::string&) { return true; });
    return *app_;
}

}  // namespace velotan::app::test
