// Document pairs travel between the program and velotan-cli in both
// directions: what one writes, the other reads back to the very text.

#include <QPushButton>
#include <QTest>

#include "AppFixture.h"
#include "app/Form1.h"
#include "app/TextBox.h"
#include "common/ChildProcess.h"

namespace velotan::app::test {
namespace {

namespace fs = std::filesystem;
using velotan::testing::ProgramRun;
using velotan::testing::RunProgram;

// CR LF line breaks and the Chinese punctuation that travels as placeholders.
const QString kMood = QStringLiteral("心情：今天“很好”，真的吗？（是的！）\r\n第二行……《完》");

class DocumentExchangeTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        WriteKeyFile("12UGA7");
        MakeApp();
        window_ = app_->ShowMainWindow();
        ASSERT_NE(window_, nullptr);
    }
    TextBox* Editor() { return Find<TextBox>(window_, "txtText1"); }
    void Click(const char* name) {
        QTest::mouseClick(Find<QPushButton>(window_, name), Qt::LeftButton);
    }
    // The CLI on the same program folder, with the user's own keys.
    ProgramRun Cli(const std::string& command, const fs::path& document,
                   const std::string& input = {}) {
        return RunProgram({VELOTAN_CLI, command, "--document", document.string(),
                           "--program-folder", Folder().string()},
                          input);
    }

    Form1* window_ = nullptr;
};

TEST_F(DocumentExchangeTest, ProgramWritesAndTheCliReads) {
    const fs::path document = temp_.path() / "docs" / "心情.mxe";
    fs::create_directories(document.parent_path());
    Editor()->SetText(kMood);
    Click("cmdEncrypt");
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdSave");
    ASSERT_TRUE(dialogs_.Messages().empty());

    ProgramRun run = Cli("decrypt", document);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(QString::fromStdString(run.out), kMood);

    // A pair split by hand over several lines, with empty lines and mixed
    // line ends, reads the same in both.
    std::string cipher = ReadBytes(document);
    std::string table = ReadBytes(temp_.path() / "docs" / "心情.mxr");
    cipher.erase(cipher.size() - 2);
    table.erase(table.size() - 2);
    const size_t cut = cipher.find("UUA") + 3;
    WriteBytes(document, "\r\n" + cipher.substr(0, cut) + "\r\n\r\n" + cipher.substr(cut) + "\n");
    WriteBytes(temp_.path() / "docs" / "心情.mxr",
               table.substr(0, 5) + "\r\n\r\n" + table.substr(5) + "\r");
    run = Cli("decrypt", document);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QString fromCli = QString::fromStdString(run.out);
    Click("cmdClear");
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_EQ(Editor()->Text(), fromCli);
    // The line joined back where it was cut: the same cipher text, the same
    // elements, only a line break more in the text.
    EXPECT_TRUE(fromCli.endsWith(QStringLiteral("第二行……《完》"))) << fromCli.toStdString();
}

TEST_F(DocumentExchangeTest, CliWritesAndTheProgramReads) {
    const fs::path document = temp_.path() / "docs" / "mood.MXE";
    fs::create_directories(document.parent_path());
    ProgramRun run = Cli("encrypt", document, kMood.toStdString());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // The same format as the program's save: one CR LF line each, the
    // companion beside it with the extension's letter case kept.
    const std::string cipher = ReadBytes(document);
    const std::string table = ReadBytes(temp_.path() / "docs" / "mood.MXR");
    ASSERT_GE(cipher.size(), 2u);
    EXPECT_EQ(cipher.find("\r\n"), cipher.size() - 2);
    EXPECT_EQ(table.find("\r\n"), table.size() - 2);

    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_EQ(Editor()->Text(), kMood);

    // Written again over the old pair, atomically: no staging file stays.
    run = Cli("encrypt", document, "second");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(document.parent_path()))
        ++files;
    EXPECT_EQ(files, 2u);
    Click("cmdLoad");  // the open dialog answers cancel now
    dialogs_.fileAnswers = {QPath(document)};
    Click("cmdLoad");
    EXPECT_EQ(Editor()->Text(), QStringLiteral("second"));
}

}  // namespace
}  // namespace velotan::app::test
