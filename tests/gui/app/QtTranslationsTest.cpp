// Qt's own dialogs speak Chinese inside the Chinese program, from the
// translation shipped in the program folder.

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "AppFixture.h"
#include "app/QtTranslations.h"
#include "common/FifoGuard.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;

class QtTranslationsTest : public ::testing::Test {
  protected:
    void SetUp() override { QtApp(); }
    void TearDown() override {
        if (translator_) {
            QCoreApplication::removeTranslator(translator_);
            delete translator_;
        }
    }
    // A program folder that ships the translation, as installed.
    fs::path ProgramFolder() {
        const fs::path source =
            fs::path(QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()) /
            kQtTranslationFile;
        if (!fs::exists(source))
            return {};
        fs::create_directories(temp_.path() / kTranslationFolder);
        fs::copy_file(source, temp_.path() / kTranslationFolder / kQtTranslationFile);
        return temp_.path();
    }

    TempFolder temp_;
    QTranslator* translator_ = nullptr;
};

TEST_F(QtTranslationsTest, DialogButtonsAndLabelsReadChinese) {
    const fs::path folder = ProgramFolder();
    if (folder.empty())
        GTEST_SKIP() << "qtbase_zh_CN.qm is not installed (qt6-translations-l10n)";
    translator_ = LoadQtTranslations(folder);
    ASSERT_NE(translator_, nullptr);
    // It came from the program folder, so a copied folder keeps it.
    EXPECT_EQ(fs::path(translator_->filePath().toStdString()),
              folder / kTranslationFolder / kQtTranslationFile);

    QMessageBox box(QMessageBox::Information, QStringLiteral("信息"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    auto* lookIn = files.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* fileName = files.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(lookIn, nullptr);
    ASSERT_NE(fileName, nullptr);
    EXPECT_TRUE(lookIn->text().startsWith(QStringLiteral("查找范围")))
        << lookIn->text().toStdString();
    EXPECT_TRUE(fileName->text().startsWith(QStringLiteral("文件名")))
        << fileName->text().toStdString();
}

TEST_F(QtTranslationsTest, MissingTranslationLeavesQtInEnglish) {
    // An empty program folder falls back to Qt's folder; only when neither
    // has the file is nothing installed.
    QTranslator* found = LoadQtTranslations(temp_.path());
    const bool inQtFolder =
        fs::exists(fs::path(QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()) /
                   kQtTranslationFile);
    EXPECT_EQ(found != nullptr, inQtFolder);
    translator_ = found;
}

TEST_F(QtTranslationsTest, ANamedPipeInPlaceOfTheTranslationIsNoTranslation) {
    // As without the file: Qt's own folder, and no wait for a writer.
    velotan::testing::FifoGuard pipes;
    ASSERT_TRUE(pipes.Add(temp_.path() / kTranslationFolder / kQtTranslationFile));
    translator_ = LoadQtTranslations(temp_.path());
    if (translator_) {
        EXPECT_NE(fs::path(translator_->filePath().toStdString()),
                  temp_.path() / kTranslationFolder / kQtTranslationFile);
    }
    EXPECT_FALSE(pipes.Stop()) << "the translation waited for a writer on a named pipe";
}

}  // namespace
}  // namespace velotan::app::test
