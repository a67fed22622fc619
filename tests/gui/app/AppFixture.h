#pragma once
// A fresh program folder per test (database, symbol table, key store) and an
// App on the offscreen platform, answered by ScriptedDialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ScriptedDialogs.h"
#include "app/App.h"
#include "common/TempDir.h"

namespace velotan::app::test {

// One QApplication for the whole test program, on the offscreen platform.
QApplication& QtApp();

// Lets deleteLater() and pending events run.
void ProcessEvents();

// A folder that disappears with the test, and whole files in and out.
using TempFolder = velotan::testing::TempDir;
using velotan::testing::ReadBytes;
using velotan::testing::WriteBytes;

QString QPath(const std::filesystem::path& path);

template <typename T>
T* Find(QWidget* root, const char* name) {
    return root ? root->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder as installed: database with one empty row and the
    // shipped symbolhandle.ini; a key store configured in settings.ini.
    std::filesystem::path Folder() const { return temp_.path() / "program"; }
    std::filesystem::path Store() const { return temp_.path() / "store"; }
    std::filesystem::path DatabaseFile() const;
    std::filesystem::path KeyFile() const;
    void ConfigureKeyStore();
    void WriteKeyFile(const std::string& line);
    // Sets the stored 口令 value (already Base64) as the only row.
    void SetStoredValue(const std::string& value);
    std::string StoredValue();
    int RowCount();
    void ExecSql(const std::string& sql);

    App& MakeApp();

    TempFolder temp_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<App> app_;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

}  // namespace velotan::app::test
