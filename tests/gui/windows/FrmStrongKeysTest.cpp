// 好友与强密钥: the own key masked until asked, copied, scanned and backed
// up on paper; new and imported own keys; friends added, given a new key
// and removed; a key held under another name refused.

#include <sys/stat.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include "WindowsFixture.h"
#include "common/QrReader.h"
#include "qrcode/QrCode.h"
#include "strong/StrongKey.h"
#include "windows/Form2.h"
#include "windows/FrmStrongKeys.h"
#include "windows/QrCodeView.h"

namespace velotan::windows::test {
namespace {

namespace fs = std::filesystem;
using app::test::Asked;
using platform::MsgResult;
using platform::MsgStyle;

QString KeyTextOf(const strong::StrongKey& key) {
    return QString::fromStdString(strong::KeyText(key));
}

class FrmStrongKeysTest : public WindowsFixture {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        WriteKeyFile("12UGA200");
    }
    // Opened as the user opens it: 多项设置, then 好友与强密钥.
    FrmStrongKeys* Open() {
        Main();
        Click(main_, "cmdSettings");
        ProcessEvents();
        auto* settings = OpenWindow<Form2>("Form2");
        if (!settings)
            return nullptr;
        // What the settings window said of its own (its LED panel) is not
        // this window's business.
        dialogs_.asked.clear();
        Click(settings, "cmdStrongKeys");
        ProcessEvents();
        window_ = OpenWindow<FrmStrongKeys>("FrmStrongKeys");
        return window_;
    }
    void AddFriend(const QString& name, const QString& keyText) {
        window_->txtFriendName->setText(name);
        window_->txtFriendKey->setText(keyText);
        Click(window_, "cmdAddFriend");
    }
    std::vector<std::string> FriendNames() const {
        std::vector<std::string> names;
        for (const strong::Friend& f : StoredRing().friends)
            names.push_back(f.name);
        return names;
    }
    QStringList Listed() const {
        QStringList names;
        for (int i = 0; i < window_->lstFriends->count(); ++i)
            names << window_->lstFriends->item(i)->text();
        return names;
    }

    QPointer<FrmStrongKeys> window_;
};

TEST_F(FrmStrongKeysTest, OpensFromTheSettingsWindowSaysKeysAreInClearAndEscapeCloses) {
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("好友与强密钥"));
    auto* note = Find<QLabel>(window_, "SkiInClear");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains(QStringLiteral("明文")));
    EXPECT_TRUE(note->isVisible());
    // No key yet: nothing to show, copy or back up; one to make.
    EXPECT_FALSE(window_->cmdShowKey->isEnabled());
    EXPECT_FALSE(window_->cmdCopyKey->isEnabled());
    EXPECT_FALSE(window_->cmdSaveBackup->isEnabled());
    EXPECT_EQ(window_->cmdNewKey->text(), QStringLiteral("生成密钥"));
    EXPECT_TRUE(dialogs_.asked.empty());

    // Friends' names and file names show in labels: never as markup.
    for (const QLabel* label : window_->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();

    QTest::keyClick(window_, Qt::Key_Escape);
    ProcessEvents();
    EXPECT_TRUE(window_.isNull());
}

TEST_F(FrmStrongKeysTest, TheFirstKeyIsMadeAtOnceAndShowsMaskedUntilAsked) {
    ASSERT_NE(Open(), nullptr);
    Click(window_, "cmdNewKey");
    EXPECT_TRUE(dialogs_.asked.empty());
    const strong::StrongKeyRing ring = StoredRing();
    ASSERT_TRUE(ring.own.has_value());
    EXPECT_TRUE(ring.ownEarlier.empty());
    struct stat st {};
    ASSERT_EQ(::stat((StrongFolder() / strong::kOwnKeysFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const QString keyText = KeyTextOf(*ring.own);
    EXPECT_EQ(window_->cmdNewKey->text(), QStringLiteral("生成新密钥"));
    EXPECT_EQ(window_->txtOwnKey->text(), keyText);
    EXPECT_EQ(window_->txtOwnKey->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(window_->picKeyQr->HasCode());
    EXPECT_FALSE(window_->KeyShown());

    Click(window_, "cmdShowKey");
    EXPECT_TRUE(window_->KeyShown());
    EXPECT_EQ(window_->txtOwnKey->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(window_->cmdShowKey->text(), QStringLiteral("隐藏密钥"));
    ASSERT_TRUE(window_->picKeyQr->HasCode());
    // What a friend's phone reads from the code is the key text.
    const fs::path shown = temp_.path() / "shown.png";
    ASSERT_TRUE(window_->picKeyQr->Picture(1).save(QPath(shown), "PNG"));
    EXPECT_EQ(velotan::testing::ReadQrCode(shown), keyText.toStdString());

    Click(window_, "cmdShowKey");
    EXPECT_EQ(window_->txtOwnKey->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(window_->picKeyQr->HasCode());
}

TEST_F(FrmStrongKeysTest, ANewKeyIsMadeOnlyAfterTheQuestionAndKeepsTheOldOne) {
    const strong::StrongKey old = GiveOwnStrongKey();
    ASSERT_NE(Open(), nullptr);
    dialogs_.msgAnswers = {MsgResult::No};
    Click(window_, "cmdNewKey");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked question = dialogs_.Messages()[0];
    EXPECT_EQ(question.style, MsgStyle::kYesNo | MsgStyle::kQuestion);
    EXPECT_TRUE(question.text.contains(QStringLiteral("好友")));
    EXPECT_EQ(StoredRing().own, old);

    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(window_, "cmdNewKey");
    const strong::StrongKeyRing ring = StoredRing();
    ASSERT_TRUE(ring.own.has_value());
    EXPECT_NE(*ring.own, old);
    EXPECT_EQ(ring.ownEarlier, std::vector<strong::StrongKey>{old});
    EXPECT_EQ(window_->txtOwnKey->text(), KeyTextOf(*ring.own));
}

TEST_F(FrmStrongKeysTest, CopyPutsTheKeyOnTheClipboard) {
    const strong::StrongKey key = GiveOwnStrongKey();
    ASSERT_NE(Open(), nullptr);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Click(window_, "cmdCopyKey");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), KeyTextOf(key));
    EXPECT_FALSE(window_->lblStatus->text().isEmpty());
}

TEST_F(FrmStrongKeysTest, ImportTakesAKeyOfOnesOwnAndRefusesAChangedOneNamingTheReason) {
    const strong::StrongKey old = GiveOwnStrongKey();
    const strong::StrongKey paper = strong::NewStrongKey();
    QString changed = KeyTextOf(paper);
    changed[10] = changed[10] == u'A' ? u'B' : u'A';
    ASSERT_NE(Open(), nullptr);

    dialogs_.inputAnswers = {changed};
    Click(window_, "cmdImportKey");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
    EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(QString::fromStdString(
        strong::KeyTextErrorMessage(strong::KeyTextError::ChecksumMismatch))));
    EXPECT_EQ(StoredRing().own, old);

    dialogs_.asked.clear();
    dialogs_.inputAnswers = {QStringLiteral("  ") + KeyTextOf(paper) + QStringLiteral("\n")};
    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(window_, "cmdImportKey");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].style, MsgStyle::kYesNo | MsgStyle::kQuestion);
    const strong::StrongKeyRing ring = StoredRing();
    EXPECT_EQ(ring.own, paper);
    EXPECT_EQ(ring.ownEarlier, std::vector<strong::StrongKey>{old});

    // Cancelled: nothing asked, nothing changed.
    dialogs_.asked.clear();
    dialogs_.inputAnswers = {std::nullopt};
    Click(window_, "cmdImportKey");
    EXPECT_TRUE(dialogs_.Messages().empty());
    EXPECT_EQ(StoredRing().own, paper);
}

TEST_F(FrmStrongKeysTest, FriendsAreAddedGivenANewKeyAndAKeyHeldElsewhereIsRefused) {
    const strong::StrongKey own = GiveOwnStrongKey();
    const strong::StrongKey ming = strong::NewStrongKey();
    ASSERT_NE(Open(), nullptr);

    AddFriend(QStringLiteral(" 小明 "), KeyTextOf(ming));
    EXPECT_TRUE(dialogs_.asked.empty());
    EXPECT_EQ(FriendNames(), std::vector<std::string>{"小明"});
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("小明")});
    EXPECT_TRUE(window_->txtFriendKey->text().isEmpty());

    // The same key under another name, or the user's own key: refused,
    // naming who holds it.
    const struct {
        QString key;
        QString holder;
    } held[] = {{KeyTextOf(ming), QStringLiteral("小明")},
                {KeyTextOf(own), QStringLiteral("自己")}};
    for (const auto& h : held) {
        dialogs_.asked.clear();
        AddFriend(QStringLiteral("小红"), h.key);
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << h.holder.toStdString();
        EXPECT_EQ(dialogs_.Messages()[0].title, QStringLiteral("错误"));
        EXPECT_TRUE(dialogs_.Messages()[0].text.contains(QStringLiteral("「") + h.holder +
                                                         QStringLiteral("」")))
            << dialogs_.Messages()[0].text.toStdString();
        EXPECT_EQ(FriendNames(), std::vector<std::string>{"小明"});
    }

    // A new key for 小明, after a question; the old one stays for old posts.
    const strong::StrongKey mingNew = strong::NewStrongKey();
    dialogs_.asked.clear();
    dialogs_.msgAnswers = {MsgResult::Yes};
    window_->lstFriends->setCurrentRow(0);
    EXPECT_EQ(window_->txtFriendName->text(), QStringLiteral("小明"));
    window_->txtFriendKey->setText(KeyTextOf(mingNew));
    Click(window_, "cmdAddFriend");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    EXPECT_EQ(dialogs_.Messages()[0].style, MsgStyle::kYesNo | MsgStyle::kQuestion);
    const strong::StrongKeyRing ring = StoredRing();
    ASSERT_EQ(ring.friends.size(), 1u);
    EXPECT_EQ(ring.friends[0].current, mingNew);
    EXPECT_EQ(ring.friends[0].earlier, std::vector<strong::StrongKey>{ming});
}

TEST_F(FrmStrongKeysTest, MissingOrBrokenFriendInputIsNamedAndNothingIsStored) {
    ASSERT_NE(Open(), nullptr);
    const struct {
        QString name;
        QString key;
        QString says;
    } cases[] = {
        {QString(), KeyTextOf(strong::NewStrongKey()), QStringLiteral("请输入好友的名字！")},
        {QStringLiteral("小明"), QStringLiteral("  "), QStringLiteral("请输入好友的强密钥！")},
        {QStringLiteral("小明"), QStringLiteral("QLK9:abc"),
         QString::fromStdString(strong::KeyTextErrorMessage(strong::KeyTextError::WrongPrefix))},
        {QStringLiteral("小明"), KeyTextOf(strong::NewStrongKey()).left(30),
         QString::fromStdString(strong::KeyTextErrorMessage(strong::KeyTextError::WrongLength))},
    };
    for (const auto& c : cases) {
        dialogs_.asked.clear();
        AddFriend(c.name, c.key);
        ASSERT_EQ(dialogs_.Messages().size(), 1u) << c.says.toStdString();
        EXPECT_TRUE(dialogs_.Messages()[0].text.startsWith(c.says))
            << dialogs_.Messages()[0].text.toStdString();
    }
    EXPECT_TRUE(FriendNames().empty());
    EXPECT_FALSE(fs::exists(StrongFolder() / strong::kFriendsFileName));
}

TEST_F(FrmStrongKeysTest, RemovingAFriendSaysOnlyANewOwnKeyShutsThemOut) {
    GiveFriend("小明");
    GiveFriend("小红");
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("小明"), QStringLiteral("小红")}));
    window_->lstFriends->setCurrentRow(0);

    dialogs_.msgAnswers = {MsgResult::No};
    Click(window_, "cmdRemoveFriend");
    ASSERT_EQ(dialogs_.Messages().size(), 1u);
    const Asked question = dialogs_.Messages()[0];
    EXPECT_EQ(question.style, MsgStyle::kYesNo | MsgStyle::kQuestion);
    EXPECT_TRUE(question.text.contains(QStringLiteral("「小明」")));
    EXPECT_TRUE(question.text.contains(QString::fromUtf16(kRemovedFriendNote)));
    EXPECT_EQ(FriendNames().size(), 2u);

    dialogs_.msgAnswers = {MsgResult::Yes};
    Click(window_, "cmdRemoveFriend");
    EXPECT_EQ(FriendNames(), std::vector<std::string>{"小红"});
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("小红")});
}

TEST_F(FrmStrongKeysTest, ThePaperBackupIsAPrivatePngWhoseCodeReadsAsTheKey) {
    const strong::StrongKey key = GiveOwnStrongKey();
    ASSERT_NE(Open(), nullptr);
    const fs::path paper = temp_.path() / "备份";
    dialogs_.fileAnswers = {QPath(paper)};
    Click(window_, "cmdSaveBackup");
    const fs::path written = temp_.path() / "备份.png";
    ASSERT_TRUE(fs::exists(written));
    struct stat st {};
    ASSERT_EQ(::stat(written.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(velotan::testing::ReadQrCode(written), strong::KeyText(key));
    EXPECT_TRUE(dialogs_.Messages().empty());
}

TEST_F(FrmStrongKeysTest, WithoutAKeyStoreNothingCanBeMadeAndTheWindowSaysWhy) {
    // No stick and no folder: the window tells once, and writes nothing.
    fs::remove(Folder() / "settings.ini");
    ASSERT_NE(Open(), nullptr);
    ASSERT_FALSE(dialogs_.Messages().empty());
    EXPECT_EQ(dialogs_.Messages().back().text, QString::fromUtf16(kNoKeyStoreMessage));
    EXPECT_FALSE(window_->cmdNewKey->isEnabled());
    EXPECT_FALSE(window_->cmdImportKey->isEnabled());
    EXPECT_FALSE(window_->cmdAddFriend->isEnabled());
}

}  // namespace
}  // namespace velotan::windows::test
