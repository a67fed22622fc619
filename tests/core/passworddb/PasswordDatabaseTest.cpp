// The password database's writes, against a real SQLCipher file.

#include <gtest/gtest.h>
#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <cstring>

#include "common/FifoGuard.h"
#include "common/TempDir.h"
#include "passworddb/PasswordDatabase.h"

namespace velotan::passworddb::test {
namespace {

namespace fs = std::filesystem;

class PasswordDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = temp_.path() / "Lc_Addlist.mdb";
        std::string error;
        ASSERT_TRUE(PasswordDatabase::Create(file_, kDatabasePassword, &error)) << error;
        ASSERT_TRUE(db_.Open(file_, kDatabasePassword, &error)) << error;
    }
    // A second connection, as another program would hold one.
    sqlite3* Other() {
        sqlite3* other = nullptr;
        sqlite3_open_v2(file_.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_key(other, kDatabasePassword, static_cast<int>(std::strlen(kDatabasePassword)));
        return other;
    }
    static void Exec(sqlite3* db, const char* sql) {
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
    std::string Stored() {
        std::string value, error;
        EXPECT_TRUE(db_.ReadFirstPassword(value, &error)) << error;
        return value;
    }

    velotan::testing::TempDir temp_;
    fs::path file_;
    PasswordDatabase db_;
};

}  // namespace

TEST_F(PasswordDatabaseTest, FailedInsertRollsBackAndTheNextTryWorks) {
    ASSERT_TRUE(db_.ReplacePassword("b2xk", nullptr));
    sqlite3* other = Other();
    Exec(other,
         "CREATE TRIGGER refuse BEFORE INSERT ON LcUser "
         "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    std::string error;
    EXPECT_FALSE(db_.ReplacePassword("bmV3", &error));
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    // The delete before the insert was undone.
    EXPECT_EQ(Stored(), "b2xk");

    Exec(other, "DROP TRIGGER refuse");
    sqlite3_close_v2(other);
    EXPECT_TRUE(db_.ReplacePassword("bmV3", &error)) << error;
    EXPECT_EQ(Stored(), "bmV3");
}

TEST_F(PasswordDatabaseTest, FailedCommitRollsBackAndTheNextTryWorks) {
    ASSERT_TRUE(db_.ReplacePassword("b2xk", nullptr));
    // A reader in the middle of its query keeps the commit from writing.
    sqlite3* other = Other();
    sqlite3_stmt* reading = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(other, "SELECT * FROM LcUser", -1, &reading, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);
    std::string error;
    EXPECT_FALSE(db_.ReplacePassword("bmV3", &error));
    EXPECT_FALSE(error.empty());
    sqlite3_finalize(reading);
    sqlite3_close_v2(other);

    EXPECT_EQ(Stored(), "b2xk");
    EXPECT_TRUE(db_.ReplacePassword("bmV3", &error)) << error;
    EXPECT_EQ(Stored(), "bmV3");
}

TEST(PasswordDatabaseFaults, ANamedPipeIsNoDatabase) {
    // SQLite would wait on the first read of it for ever.
    velotan::testing::TempDir temp;
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(temp.path() / "Lc_Addlist.mdb"));
    PasswordDatabase db;
    std::string error;
    EXPECT_FALSE(db.Open(temp.path() / "Lc_Addlist.mdb", kDatabasePassword, &error));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(pipes.Stop()) << "the database waited for a writer on a named pipe";
}

}  // namespace velotan::passworddb::test
