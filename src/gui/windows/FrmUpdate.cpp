#include "FrmUpdate.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

#include "Version.h"
#include "app/App.h"
#include "app/QtText.h"
#include "app/Twips.h"
#include "platform/Launcher.h"
#include "windows/EventPump.h"

namespace velotan::update {

namespace fs = std::filesystem;
using app::SkinLabel;
using app::TwipsRect;
using platform::MsgStyle;

namespace {

using app::PathText;
using app::Q;

// A number as the window writes sizes and speeds: shortest form, at most 15
// significant digits, independent of the locale.
QString ShortestNumber(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

// Percent of the known size, rounded half to even; 0 when the size is unknown.
int64_t Percent(int32_t downloaded, int32_t fileSize) {
    if (fileSize <= 0)
        return 0;
    return static_cast<int64_t>(
        std::nearbyint(static_cast<double>(downloaded) / static_cast<double>(fileSize) * 100.0));
}

}  // namespace

FrmUpdate::FrmUpdate(app::App& app)
    : WindowFrame(app, "FrmUpdate"), launcher(platform::StartProgram) {
    setWindowTitle(Q(kUpdateCaption));

    SkinLabel3 = new SkinLabel(Q(u"以下是您计算机上安装的澄川过滤专家的相关版本信息："),
                               QStringLiteral("SkinLabel3"), this);
    SkinLabel3->setGeometry(TwipsRect(120, 0, 4575, 255));
    LblProgramVer = new SkinLabel(QString(), QStringLiteral("LblProgramVer"), this);
    LblProgramVer->setGeometry(TwipsRect(120, 240, 3975, 255));
    LblHostver = new SkinLabel(QString(), QStringLiteral("LblHostver"), this);
    LblHostver->setGeometry(TwipsRect(120, 480, 3975, 255));
    SkinLabel7 = new SkinLabel(Q(u"以下是官方网站上澄川过滤专家的相关版本信息："),
                               QStringLiteral("SkinLabel7"), this);
    SkinLabel7->setGeometry(TwipsRect(120, 720, 4095, 255));
    LblWebProgramVer = new SkinLabel(QString(), QStringLiteral("LblWebProgramVer"), this);
    LblWebProgramVer->setGeometry(TwipsRect(120, 960, 4095, 255));
    SkinLabel1 = new SkinLabel(Q(u"连接状态："), QStringLiteral("SkinLabel1"), this);
    SkinLabel1->setGeometry(TwipsRect(0, 1440, 4335, 255));
    SkinLabel2 = new SkinLabel(Q(u"准备："), QStringLiteral("SkinLabel2"), this);
    SkinLabel2->setGeometry(TwipsRect(0, 1800, 4335, 615));
    SkinLabel2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The three progress lines get the room their font needs, should it be
    // taller than the designed one; the bar and the window follow.
    QRect progressLines = TwipsRect(0, 1800, 4335, 615);
    const QRect needed =
        QFontMetrics(SkinLabel2->font())
            .boundingRect(QRect(0, 0, progressLines.width(), 1000), Qt::AlignLeft | Qt::AlignTop,
                          ProgressText(1300, 1300, 1025).replace(u'\r', u' '));
    progressLines.setHeight(std::max(progressLines.height(), needed.height() + 2));
    SkinLabel2->setGeometry(progressLines);
    const int barTop = std::max(progressLines.bottom() + 4, app::Twips(2460));

    prgDownload = new QProgressBar(this);
    prgDownload->setObjectName(QStringLiteral("prgDownload"));
    prgDownload->setGeometry(0, barTop, app::Twips(4335), app::Twips(255));
    prgDownload->setRange(0, 100);
    prgDownload->setValue(0);
    prgDownload->setAccessibleName(Q(u"下载进度"));

    // Designed to lie behind Command2: made first, so the button covers it.
    LblImportantUpdate = new QLabel(this);
    LblImportantUpdate->setObjectName(QStringLiteral("LblImportantUpdate"));
    LblImportantUpdate->setGeometry(TwipsRect(4680, 1560, 1095, 375));
    // The list comes unsigned from the server: shown as the characters it
    // holds, never read as markup (an <img> would make Qt open any file).
    LblImportantUpdate->setTextFormat(Qt::PlainText);

    auto button = [this](const char16_t* caption, const char* name, int top, int height) {
        auto* b = new QPushButton(Q(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(TwipsRect(4440, top, 1500, height));
        return b;
    };
    Command1 = button(u"开始更新", "Command1", 1080, 360);
    Command2 = button(u"停止更新", "Command2", 1560, 360);
    Command3 = button(u"返回主界面", "Command3", 2040, 375);
    // A stop is only offered while there is something to stop.
    Command2->setEnabled(false);

    setFixedSize(app::Twips(6090),
                 std::max(app::Twips(2880), prgDownload->geometry().bottom() + 12));

    connect(Command1, &QPushButton::clicked, this, &FrmUpdate::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmUpdate::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmUpdate::Command3_Click);
    SetEscapeButton(Command3);
}

FrmUpdate* FrmUpdate::Open(app::App& app) {
    auto* window = new FrmUpdate(app);
    window->Form_Load();
    window->show();
    window->raise();
    return window;
}

void FrmUpdate::Form_Load() {
    ApplySkin();
    Cdf.entDLFileStatus = [this](int32_t state) { Cdf_entDLFileStatus(state); };
    Cdf.entDLFileDowning = [this](const std::string& url, int32_t done, int32_t size,
                                  int32_t speed) { Cdf_entDLFileDowning(url, done, size, speed); };
    Cdf.pumpEvents = WindowEventPump();
    LblProgramVer->setText(QStringLiteral("%1.%2.%3")
                               .arg(velotan::kVersionMajor)
                               .arg(velotan::kVersionMinor)
                               .arg(velotan::kVersionRevision));
}

QString FrmUpdate::StatusText(int32_t TmpState) {
    const char16_t* text = u"更新被中止";
    switch (TmpState) {
        case kConnecting:
            text = u"连接服务器...";
            break;
        case kRequesting:
            text = u"发送请求...";
            break;
        case kQueryingSize:
            text = u"获取远程文件信息...";
            break;
        case kReceiving:
            text = u"下载数据...";
            break;
        case kStopped:
            text = u"停止下载";
            break;
        case kFinished:
            text = u"下载完成";
            break;
        case kNoSession:
            text = u"连接服务器失败";
            break;
        case kNotOpened:
            text = u"发送请求失败";
            break;
        case kEndOfData:
            text = u"连接服务器";
            break;
        default:
            break;
    }
    return Q(kStatusPrefix) + Q(text);
}

QString FrmUpdate::ProgressText(int32_t lDownLoaded, int32_t lFilesize, int32_t lSpeed) {
    if (lSpeed == 0)
        lSpeed = 10;
    const int64_t percent = Percent(lDownLoaded, lFilesize);
    return Q(u"下载进度： ") + QString::number(percent) + QStringLiteral(".0 %\r\n") +
           Q(u"下载大小： ") + ShortestNumber(lDownLoaded / 1024.0) + QStringLiteral("\r\n") +
           Q(u"下载速度： ") + ShortestNumber(lSpeed / 1024.0);
}

void FrmUpdate::Cdf_entDLFileStatus(int32_t TmpState) {
    SkinLabel1->setText(StatusText(TmpState));
    if (TmpState == kConnecting) {
        prgDownload->setRange(0, 100);
        prgDownload->setValue(0);
    } else if (prgDownload->maximum() == 0 && TmpState != kReceiving) {
        // The busy bar of an unknown size ends with its transfer, at the
        // "0.0 %" the progress line shows for it.
        prgDownload->setRange(0, 100);
        prgDownload->setValue(0);
    }
}

void FrmUpdate::Cdf_entDLFileDowning(const std::string& sRemoteURL, int32_t lDownLoaded,
                                     int32_t lFilesize, int32_t lSpeed) {
    (void)sRemoteURL;
    SkinLabel2->setText(ProgressText(lDownLoaded, lFilesize, lSpeed));
    if (lFilesize > 0) {
        prgDownload->setRange(0, 100);
        prgDownload->setValue(
            static_cast<int>(std::clamp<int64_t>(Percent(lDownLoaded, lFilesize), 0, 100)));
    } else {
        prgDownload->setRange(0, 0);  // busy: the size is not known
    }
}

void FrmUpdate::Command1_Click() {
    if (checking_)
        return;
    SetChecking(true);
    try {
        RunCheck();
    } catch (const std::exception&) {
        // As designed, a failing step never takes the window down; the
        // status line says the update did not go through.
        ShowOutcome(StatusText(0));
    }
    if (!checking_)
        return;  // the program is ending
    SetChecking(false);
    // No stop request may outlive the check it was meant for.
    Cdf.ClearPendingStop();
    if (closeRequested_)
        close();
}

void FrmUpdate::RunCheck() {
    UpdateCheck check(UpdateCheck::Through(Cdf), launcher);
    check.onListArrived = [this] { SkinLabel1->setText(Q(kListDoneText)); };
    check.onListText = [this](const std::u16string& joined) {
        LblImportantUpdate->setText(QString::fromStdU16String(joined));
    };
    check.onDownloadingInstaller = [this] { SkinLabel1->setText(Q(kDownloadingUpdateText)); };
    check.onInstallerReady = [this](const fs::path&) {
        app_.Dlg().Show(Q(kInstallerReadyMessage), MsgStyle::kOkOnly, Q(kProgramTitle));
    };
    const CheckResult result = check.Run(app_.DataFolder(), app_.ProgramFolder());
    if (result.outcome == CheckOutcome::InstallerStarted) {
        SetChecking(false);
        app_.EndProgram();
        return;
    }
    if (result.outcome == CheckOutcome::InstallerNotStarted) {
        const QString text = Q(kInstallerStartFailedText) + PathText(result.file) +
                             QStringLiteral("\r\n") + QString::fromLocal8Bit(result.error);
        app_.Dlg().Show(text, MsgStyle::kCritical, QStringLiteral("错误"));
    }
    ShowOutcome(OutcomeText(result));
}

QString FrmUpdate::OutcomeText(const CheckResult& result) {
    const QString note = result.earlierList ? Q(kEarlierListNote) : QString();
    switch (result.outcome) {
        case CheckOutcome::Busy:
            return Q(kCheckBusyText);
        case CheckOutcome::NoServer:
            return Q(kNoServerText);
        case CheckOutcome::ListNotSaved:
        case CheckOutcome::InstallerNotSaved:
            return Q(kLocalFileErrorText) + PathText(result.file);
        case CheckOutcome::Stopped:
            return Q(kCheckStoppedText);
        case CheckOutcome::ListUnreadable:
            return Q(kListUnreadableText);
        case CheckOutcome::ListWithoutVersion:
            return Q(kListWithoutVersionText) + note;
        case CheckOutcome::UpToDate:
            return Q(kUpToDateText) + note;
        case CheckOutcome::InstallerIncomplete:
            return Q(kInstallerIncompleteText);
        case CheckOutcome::InstallerInsecure:
            return Q(kInstallerInsecureText);
        case CheckOutcome::NoPublicKey:
            return Q(kNoPublicKeyText);
        case CheckOutcome::BadPublicKey:
            return Q(kBadPublicKeyText);
        case CheckOutcome::SignatureMissing:
            return Q(kSignatureMissingText);
        case CheckOutcome::SignatureMalformed:
            return Q(kSignatureMalformedText);
        case CheckOutcome::SignatureOtherKey:
            return Q(kSignatureOtherKeyText);
        case CheckOutcome::SignatureMismatch:
            return Q(kSignatureMismatchText);
        case CheckOutcome::SignatureCommentChanged:
            return Q(kSignatureCommentText);
        case CheckOutcome::SignatureUnchecked:
            return Q(kSignatureUncheckedText);
        case CheckOutcome::SignatureLegacy:
            return Q(kSignatureLegacyText);
        case CheckOutcome::SignatureOtherVersion:
            return Q(kSignatureOtherVersionText);
        case CheckOutcome::InstallerFolderShared:
            return Q(kInstallerFolderSharedText) + PathText(result.file);
        case CheckOutcome::InstallerNotStarted:
            return Q(kInstallerStartFailedText) + PathText(result.file);
        case CheckOutcome::InstallerStarted:
            break;
    }
    return QString();
}

void FrmUpdate::Command2_Click() {
    Cdf.DLFileStop();
}

void FrmUpdate::Command3_Click() {
    app_.ShowMainWindow();
    close();
}

void FrmUpdate::SetChecking(bool checking) {
    checking_ = checking;
    if (checking)
        SkinLabel1->setToolTip(QString());
    // A second check must not start inside the first, nor the window leave
    // under it; a stop makes sense only while one runs.
    Command1->setEnabled(!checking);
    Command3->setEnabled(!checking);
    Command2->setEnabled(checking);
}

void FrmUpdate::ShowOutcome(const QString& text) {
    SkinLabel1->setText(text);
    // A path in the text may run past the line; the whole text stays at hand.
    SkinLabel1->setToolTip(app::PlainToolTip(text));
}

void FrmUpdate::closeEvent(QCloseEvent* event) {
    if (checking_) {
        // The check runs inside this window's click handler: the window
        // goes once it has stopped.
        closeRequested_ = true;
        Cdf.DLFileStop();
        event->ignore();
        return;
    }
    WindowFrame::closeEvent(event);
}

}  // namespace velotan::update
