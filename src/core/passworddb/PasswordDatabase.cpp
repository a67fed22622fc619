#include "PasswordDatabase.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <system_error>

namespace velotan::passworddb {
namespace {

namespace fs = std::filesystem;

// A prepared statement that finalizes itself.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return rc_ == SQLITE_OK && stmt_ != nullptr; }
    bool Bind(int index, std::string_view text) {
        return sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    int Step() { return sqlite3_step(stmt_); }
    sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

}  // namespace

PasswordDatabase::PasswordDatabase() = default;

PasswordDatabase::~PasswordDatabase() {
    Close();
}

bool PasswordDatabase::Fail(std::string* error) const {
    if (error)
        *error = db_ ? sqlite3_errmsg(db_) : "database not open";
    return false;
}

bool PasswordDatabase::Execute(const char* sql, std::string* error) {
    Statement statement(db_, sql);
    if (!statement.Prepared())
        return Fail(error);
    if (statement.Step() != SQLITE_DONE)
        return Fail(error);
    return true;
}

bool PasswordDatabase::Open(const fs::path& file, std::string_view key, std::string* error) {
    Close();
    // SQLite would wait for ever on the first read of a named pipe; only a
    // regular file can be a database.
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        if (error)
            *error = file.string() + " is not a regular file";
        return false;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    db_ = db;
    if (rc != SQLITE_OK) {
        if (error)
            *error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        Close();
        return false;
    }
    if (sqlite3_key(db_, key.data(), static_cast<int>(key.size())) != SQLITE_OK) {
        Fail(error);
        Close();
        return false;
    }
    // The key is only checked when the first page is read.
    Statement probe(db_, "SELECT count(*) FROM sqlite_master");
    if (!probe.Prepared() || probe.Step() != SQLITE_ROW) {
        Fail(error);
        Close();
        return false;
    }
    return true;
}

void PasswordDatabase::Close() {
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool PasswordDatabase::ReadFirstPassword(std::string& value, std::string* error) {
    value.clear();
    Statement statement(db_, "SELECT 口令 FROM LcUser ORDER BY rowid LIMIT 1");
    if (!statement.Prepared())
        return Fail(error);
    const int rc = statement.Step();
    if (rc == SQLITE_DONE)
        return true;
    if (rc != SQLITE_ROW)
        return Fail(error);
    if (sqlite3_column_type(statement.get(), 0) == SQLITE_NULL)
        return true;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    const int size = sqlite3_column_bytes(statement.get(), 0);
    if (text)
        value.assign(text, static_cast<size_t>(size));
    return true;
}

bool PasswordDatabase::UpdatePassword(std::string_view newValue, std::string_view oldValue,
                                      int& changed, std::string* error) {
    changed = 0;
    Statement statement(db_, "UPDATE LcUser SET 口令 = ?1 WHERE 口令 = ?2");
    if (!statement.Prepared() || !statement.Bind(1, newValue) || !statement.Bind(2, oldValue)) {
        return Fail(error);
    }
    if (statement.Step() != SQLITE_DONE)
        return Fail(error);
    changed = sqlite3_changes(db_);
    return true;
}

bool PasswordDatabase::ReplacePassword(std::string_view value, std::string* error) {
    if (error)
        error->clear();
    if (!Execute("BEGIN IMMEDIATE", error))
        return false;
    Statement insert(db_, "INSERT INTO LcUser(口令) VALUES (?1)");
    const bool ok = Execute("DELETE FROM LcUser", error) && insert.Prepared() &&
                    insert.Bind(1, value) && insert.Step() == SQLITE_DONE;
    // Whatever fails, the transaction ends here: a connection left inside it
    // would fail every later try at BEGIN.
    if (!ok || !Execute("COMMIT", error)) {
        if (error && error->empty())
            Fail(error);
        if (!sqlite3_get_autocommit(db_)) {
            std::string ignored;
            Execute("ROLLBACK", &ignored);
        }
        return false;
    }
    return true;
}

bool PasswordDatabase::Create(const fs::path& file, std::string_view key, std::string* error) {
    std::error_code ec;
    fs::remove(file, ec);
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    PasswordDatabase database;
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    database.db_ = db;
    if (rc != SQLITE_OK)
        return database.Fail(error);
    if (sqlite3_key(db, key.data(), static_cast<int>(key.size())) != SQLITE_OK) {
        return database.Fail(error);
    }
    return database.Execute("CREATE TABLE LcUser (口令 TEXT)", error) &&
           database.Execute("INSERT INTO LcUser(口令) VALUES ('')", error);
}

}  // namespace velotan::passworddb
