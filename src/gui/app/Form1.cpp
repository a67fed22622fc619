#include "Form1.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <string>
#include <utility>

#include "App.h"
#include "OleColor.h"
#include "TextBox.h"
#include "Twips.h"
#include "WebSites.h"
#include "app/QtText.h"
#include "cipher/Cipher.h"
#include "cipher/DocumentFiles.h"
#include "cipher/ModEncrypt.h"
#include "cipher/ProgramSettings.h"
#include "cipher/SymbolSubstitution.h"
#include "platform/AnsiTextFile.h"

namespace velotan::app {
namespace {

namespace fs = std::filesystem;
using platform::MsgStyle;

constexpr int kTimerInterval = 60000;

fs::path PathOf(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

}  // namespace

Form1::Form1(App& app) : WindowFrame(app, "Form1"), state_(app.MainState()) {
    setWindowTitle(Q(kForm1Caption));
    setFixedSize(TwipsSize(11160, 6450));

    // The button column, from the top.
    auto* cmdLoad = AddButton(u"载入文档(&O)", "cmdLoad", 240, 360);
    auto* cmdEncrypt = AddButton(u"加密文档(&E)", "cmdEncrypt", 600, 360);
    auto* cmdSave = AddButton(u"保存文档(&S)", "cmdSave", 960, 360);
    auto* cmdEncoding = AddButton(u"解码他人文件", "cmdEncoding", 1320, 360);
    auto* Command1 = AddButton(u"分享心情(&F)", "Command1", 1680, 375);
    auto* cmdClear = AddButton(u"清空文本(&C)", "cmdClear", 2040, 360);
    auto* cmdSettings = AddButton(u"多项设置(&P)", "cmdSettings", 2400, 360);
    auto* cmdAbout = AddButton(u"关于程序(&A)", "cmdAbout", 2760, 360);
    auto* cmdGetHelp = AddButton(u"获得帮助(&H)", "cmdGetHelp", 3120, 360);
    auto* Command2 = AddButton(u"升级程序(&U)", "Command2", 3480, 375);
    auto* cmdSubmit = AddButton(u"提出建议", "cmdSubmit", 3840, 360);

    FrameWork = new QGroupBox(Q(kFrameCaption), this);
    FrameWork->setObjectName(QStringLiteral("FrameWork"));
    FrameWork->setGeometry(TwipsRect(1440, 120, 9615, 6255));

    txtText1 = new TextBox(FrameWork);
    txtText1->setObjectName(QStringLiteral("txtText1"));
    txtText1->setGeometry(TwipsRect(120, 240, 9375, 5415));

    SkiW = new SkinLabel(Q(kCountCaption), QStringLiteral("SkiW"), FrameWork);
    SkiW->setGeometry(TwipsRect(120, 5640, 8895, 255));
    lblV = new SkinLabel(Q(kSpeedCaption), QStringLiteral("lblV"), FrameWork);
    lblV->setGeometry(TwipsRect(120, 5880, 5415, 255));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);

    connect(cmdLoad, &QPushButton::clicked, this, &Form1::cmdLoad_Click);
    connect(cmdEncrypt, &QPushButton::clicked, this, &Form1::cmdEncrypt_Click);
    connect(cmdSave, &QPushButton::clicked, this, &Form1::cmdSave_Click);
    connect(cmdClear, &QPushButton::clicked, this, &Form1::cmdClear_Click);
    connect(cmdGetHelp, &QPushButton::clicked, this, &Form1::cmdGetHelp_Click);
    connect(cmdSubmit, &QPushButton::clicked, this, &Form1::cmdSubmit_Click);
    connect(cmdEncoding, &QPushButton::clicked, this, [this] { OpenBeside(AppWindow::Decode); });
    connect(Command1, &QPushButton::clicked, this, [this] { OpenBeside(AppWindow::Share); });
    connect(cmdAbout, &QPushButton::clicked, this, [this] { OpenBeside(AppWindow::About); });
    connect(cmdSettings, &QPushButton::clicked, this, [this] { OpenInstead(AppWindow::Settings); });
    connect(Command2, &QPushButton::clicked, this, [this] { OpenInstead(AppWindow::Update); });
    connect(txtText1, &QPlainTextEdit::textChanged, this, &Form1::txtText1_Change);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&app_.EditorFont(), &EditorFontSettings::Changed, this, &Form1::ApplyEditorFont);
    Timer1->start();
}

QPushButton* Form1::AddButton(const char16_t* caption, const char* name, int top, int height) {
    auto* button = new QPushButton(Q(caption), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(120, top, 1215, height));
    return button;
}

void Form1::Form_Load() {
    ApplySkin();

    // The configured key store is read before the first-run keys are made, so
    // that they land in it rather than wherever the drive scan points.
    const std::u16string keyChar = cipher::ReadKeyChar(app_.DataFolder());
    if (!keyChar.empty())
        state_.USBNAME = keyChar;

    app_.Cipher().CheckFirstRun(state_.USBNAME);
    app_.Cipher().LoadKeys(state_.USBNAME);
    LoadFontSettings();
    state_.LastLength = 0;

    // What was typed before a visit to the settings or update window.
    if (!state_.KeptEditorText.empty())
        txtText1->SetText16(std::exchange(state_.KeptEditorText, {}));
    // Typing goes into the editor from the start.
    txtText1->setFocus();
}

void Form1::LoadFontSettings() {
    // The change reaches the editor through ApplyEditorFont.
    app_.EditorFont().Load(app_.DataFolder());
}

void Form1::ApplyEditorFont() {
    const EditorFontSettings& settings = app_.EditorFont();
    txtText1->setFont(settings.Font());
    if (const auto color = settings.Color()) {
        QPalette palette = txtText1->palette();
        palette.setColor(QPalette::Text, FromOleColor(*color));
        txtText1->setPalette(palette);
    } else {
        txtText1->setPalette(QPalette());  // the designed colour: nothing of its own
    }
}

void Form1::NoKeyStore(const char16_t* message) {
    Error(Q(message) + QStringLiteral("\r\n") + Q(kKeyStoreHowTo));
}

bool Form1::AcceptUnsupportedCharacters(const std::u16string& text) {
    const cipher::UnsupportedScan scan = cipher::FindUnsupportedCharacters(text, 10);
    if (scan.characters.empty())
        return true;
    const QString question = QStringLiteral("文本中有本程序无法加密的字符：\r\n") +
                             QString::fromStdU16String(cipher::UnsupportedList(scan)) +
                             QStringLiteral(
                                 "\r\n加密后它们将变成“?”，收到的人看不到它们。"
                                 "\r\n是否继续加密？");
    return app_.Dlg().Show(question, MsgStyle::kYesNo | MsgStyle::kQuestion,
                           QStringLiteral("请确认！")) == platform::MsgResult::Yes;
}

std::u16string Form1::EditorText() const {
    return txtText1->Text16();
}

void Form1::SetEditorText(const std::u16string& text) {
    txtText1->SetText16(text);
}

void Form1::cmdEncrypt_Click() {
    cipher::ModEncrypt& engine = app_.Cipher();
    // Keys of 0 give a cipher text nobody can ever decrypt.
    if (engine.FirstKey == 0) {
        Error(Q(kNoKeysMessage));
        return;
    }
    if (!engine.KeysStored()) {
        NoKeyStore(kUnstoredKeysMessage);
        return;
    }
    // An emoji would arrive as "?": the writer decides, before anything
    // changes.
    if (!AcceptUnsupportedCharacters(txtText1->Text16()))
        return;
    // The punctuation travels as placeholders; the editor itself keeps the
    // text as typed.
    state_.SavedEditorText = txtText1->Text16();
    const std::u16string substituted =
        cipher::ReplaceSymbols(state_.SavedEditorText, engine.SymbolFile());
    state_.ArticleContent = substituted + u"F";
    if (!engine.EncryptText(state_.ArticleContent)) {
        Error(Q(kTooLongMessage));
        return;
    }
    state_.EncryptedEditorText = state_.SavedEditorText;
}

void Form1::cmdSave_Click() {
    cipher::ModEncrypt& engine = app_.Cipher();
    // Only the result of an encryption is a document; after a load or a
    // decode ResultText holds plain text, which must not be saved as one.
    if (!engine.HoldsCipherText()) {
        Error(Q(kNothingToSaveMessage));
        return;
    }
    if (!engine.KeysStored()) {
        NoKeyStore(kUnstoredKeysMessage);
        return;
    }
    CommonDialog1& dialog = app_.CommonDialog();
    dialog.DialogTitle = Q(kSaveDialogTitle);
    dialog.Filter = Q(kDocumentFilter);
    // A program folder shared by every user is no place for documents: it
    // cannot be written, so the dialog starts in the user's home folder.
    dialog.InitDir = app_.DataFolder() == app_.ProgramFolder() ? PathText(app_.ProgramFolder())
                                                               : QDir::homePath();
    dialog.ShowSave();
    if (dialog.FileName.isEmpty())
        return;

    const fs::path document = PathOf(dialog.FileName);
    std::string error;
    if (!cipher::WriteDocument(document, engine.ResultText, engine.CodeTable, &error)) {
        Error(QStringLiteral("无法保存加密文档：\r\n") + dialog.FileName + QStringLiteral("\r\n") +
              ReasonText(error));
        return;
    }
    state_.ArticleTitle = dialog.FileTitle.toStdU16String();
    state_.ArticlePath = dialog.FileName.toStdU16String();
    // The text that was encrypted is now kept in a document.
    app_.SettleEditorText(state_.EncryptedEditorText);
}

void Form1::cmdLoad_Click() {
    // Without keys the decryption would fill the editor with garbage.
    if (app_.Cipher().FirstKey == 0) {
        NoKeyStore(kNoKeysToLoadMessage);
        return;
    }
    const Form1State before = state_;
    state_.ArticleContent.clear();
    state_.RndNumList.clear();

    CommonDialog1& dialog = app_.CommonDialog();
    dialog.Filter = Q(kDocumentFilter);
    dialog.ShowOpen();
    state_.ArticleTitle = dialog.FileTitle.toStdU16String();
    state_.ArticlePath = dialog.FileName.toStdU16String();
    if (state_.ArticlePath.empty())
        return;

    std::string error;
    auto document = cipher::ReadDocument(PathOf(dialog.FileName), &error);
    if (!document) {
        state_ = before;
        Error(QStringLiteral("无法读取加密文档：\r\n") + dialog.FileName + QStringLiteral("\r\n") +
              ReasonText(error));
        return;
    }
    // Nothing changes until the document is known to open with these keys
    // (or the user takes the garbage) and unsaved text may go.
    if (!AcceptDocumentKeys(document->codeTable) || !app_.ConfirmReplaceEditorText()) {
        state_ = before;
        return;
    }
    FrameWork->setTitle(Q(kFrameCaption) + QStringLiteral(" 当前编辑《") + dialog.FileTitle +
                        QStringLiteral("》"));
    state_.ArticleContent = std::move(document->cipherText);
    state_.RndNumList = std::move(document->codeTable);
    app_.Cipher().DecryptText(state_.ArticleContent, state_.RndNumList);
    txtText1->SetText16(app_.Cipher().ResultText);
    app_.SettleEditorText(EditorText());
}

bool Form1::AcceptDocumentKeys(const std::u16string& codeTable) {
    const cipher::ModEncrypt& engine = app_.Cipher();
    if (cipher::KeysFitCodeTable(codeTable, engine.FirstKey, engine.SecondKey))
        return true;
    return app_.Dlg().ConfirmRisky(Q(kDocumentKeysQuestion));
}

void Form1::cmdClear_Click() {
    if (!app_.ConfirmReplaceEditorText())
        return;
    FrameWork->setTitle(Q(kFrameCaption));
    txtText1->SetText(QString());
}

void Form1::txtText1_Change() {
    SkiW->setText(Q(kCountCaption) + QString::number(txtText1->Text().size()));
}

void Form1::Timer1_Timer() {
    // The lengths are 16-bit; a longer editor counts as the largest length.
    const qsizetype length = txtText1->Text().size();
    state_.CurrentLength = static_cast<int16_t>(std::min<qsizetype>(length, INT16_MAX));
    lblV->setText(Q(kSpeedCaption) +
                  QString::number(int(state_.CurrentLength) - int(state_.LastLength)));
    state_.LastLength = state_.CurrentLength;
}

void Form1::OpenWebPage(const char* path) {
    const std::string url = std::string(kMakerSite) + path;
    if (!app_.OpenUrl(url)) {
        Error(QStringLiteral("无法打开网页：") + QString::fromStdString(url));
    }
}

void Form1::cmdGetHelp_Click() {
    OpenWebPage(kHomePagePath);
}

void Form1::cmdSubmit_Click() {
    OpenWebPage(kSuggestionPagePath);
}

void Form1::Form_Unload() {
    Timer1->stop();
}

void Form1::OpenBeside(AppWindow window) {
    app_.OpenWindow(window);
}

void Form1::OpenInstead(AppWindow window) {
    // The settings and update windows take this window's place; what was
    // typed waits for its return.
    QWidget* standIn = app_.OpenWindow(window);
    if (!standIn)
        return;
    state_.KeptEditorText = EditorText();
    app_.SetStandIn(standIn);
    close();
}

}  // namespace velotan::app
