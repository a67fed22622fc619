#pragma once
// The login password database: DataBase/Lc_Addlist.mdb under the program
// folder, an SQLCipher file keyed with the database password, holding table
// LcUser with the text column 口令 (the Base64 form of the password).

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace velotan::passworddb {

inline constexpr const char* kDatabaseFolder = "DataBase";
inline constexpr const char* kDatabaseFileName = "Lc_Addlist.mdb";
inline constexpr const char* kDatabasePassword = "ojojooojjj444";

// The database file of a program (or data) folder.
inline std::filesystem::path DatabaseFile(const std::filesystem::path& folder) {
    return folder / kDatabaseFolder / kDatabaseFileName;
}

class PasswordDatabase {
  public:
    PasswordDatabase();
    ~PasswordDatabase();
    PasswordDatabase(const PasswordDatabase&) = delete;
    PasswordDatabase& operator=(const PasswordDatabase&) = delete;

    // Opens an existing database file and proves the key by reading its
    // schema. False, with a reason, when the file is missing, not a database
    // or keyed differently.
    bool Open(const std::filesystem::path& file, std::string_view key, std::string* error);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    // 口令 of the first row (UTF-8). A missing row or a NULL value reads as
    // "", which means no password is set. False when the query fails.
    bool ReadFirstPassword(std::string& value, std::string* error);

    // update LcUser set 口令=<newValue> where 口令=<oldValue>; `changed` gets
    // the number of rows it changed.
    bool UpdatePassword(std::string_view newValue, std::string_view oldValue, int& changed,
                        std::string* error);

    // delete from LcUser, then insert the one row, as one transaction: a
    // failure keeps the rows that were there.
    bool ReplacePassword(std::string_view value, std::string* error);

    // A new database at `file` (replacing any file there) with table LcUser
    // and one row whose 口令 is empty: what the program ships with.
    static bool Create(const std::filesystem::path& file, std::string_view key, std::string* error);

  private:
    bool Execute(const char* sql, std::string* error);
    bool Fail(std::string* error) const;

    sqlite3* db_ = nullptr;
};

}  // namespace velotan::passworddb
