#pragma once
// The online update window: runs the update check (UpdateCheck) and ends the
// program once the check has started a newer version's installer. The
// transfers are Cdf's (Cls_DownLoad); this window turns its events and the
// check's steps into the status line, the progress lines and the progress bar.

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/WindowFrame.h"
#include "update/Cls_DownLoad.h"
#include "update/UpdateCheck.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velotan::app {
class App;
}

namespace velotan::update {

inline constexpr const char16_t* kUpdateCaption = u"澄川过滤专家升级";
inline constexpr const char16_t* kStatusPrefix = u"连接状态： ";
inline constexpr const char16_t* kListDoneText = u"下载最新版本列表完成";
inline constexpr const char16_t* kDownloadingUpdateText = u"链接状态：下载更新...";
inline constexpr const char16_t* kInstallerReadyMessage = u"安装包下载完成，现在请关闭程序。";
// What the window says where the check ends without an installer: short
// enough for the status line, which also carries the text as its tool tip.
inline constexpr const char16_t* kNoServerText = u"未设置升级服务器（update.ini 的 Server）。";
inline constexpr const char16_t* kListUnreadableText = u"无法取得版本列表，请稍后再试。";
inline constexpr const char16_t* kListWithoutVersionText = u"版本列表没有版本号。";
inline constexpr const char16_t* kUpToDateText = u"已是最新版本，无需更新。";
inline constexpr const char16_t* kEarlierListNote = u"（以前下载的列表）";
inline constexpr const char16_t* kCheckStoppedText = u"已停止更新。";
inline constexpr const char16_t* kCheckBusyText = u"另一个更新检查正在进行。";
inline constexpr const char16_t* kInstallerIncompleteText = u"安装包未能完整下载，未安装更新。";
inline constexpr const char16_t* kInstallerInsecureText = u"安装包并非经 https 下载，未运行。";
inline constexpr const char16_t* kNoPublicKeyText = u"未设置公钥（update.ini 的 PublicKey）。";
inline constexpr const char16_t* kBadPublicKeyText = u"update.ini 的 PublicKey 不是公钥。";
inline constexpr const char16_t* kSignatureMissingText = u"安装包没有签名，未运行。";
inline constexpr const char16_t* kSignatureMalformedText = u"安装包的签名无法识别，未运行。";
inline constexpr const char16_t* kSignatureOtherKeyText = u"安装包不是用设定的公钥签名的，未运行。";
inline constexpr const char16_t* kSignatureMismatchText = u"安装包与签名不符，未运行。";
inline constexpr const char16_t* kSignatureCommentText = u"签名的可信注释被改动，未运行。";
inline constexpr const char16_t* kSignatureUncheckedText = u"无法检查安装包的签名，未运行。";
inline constexpr const char16_t* kSignatureLegacyText = u"安装包的签名是旧的 Ed 形式，未运行。";
inline constexpr const char16_t* kSignatureOtherVersionText = u"签名不是为所列的版本做的，未运行。";
inline constexpr const char16_t* kInstallerFolderSharedText =
    u"别人也能写入安装包的文件夹，未运行：";
inline constexpr const char16_t* kLocalFileErrorText = u"无法保存下载的文件：";
inline constexpr const char16_t* kInstallerStartFailedText = u"无法启动安装包：";

class FrmUpdate : public app::WindowFrame {
    Q_OBJECT
  public:
    explicit FrmUpdate(app::App& app);

    // Creates the window, runs its load and shows it, as the main window's
    // update button does.
    static FrmUpdate* Open(app::App& app);

    Cls_DownLoad Cdf;
    // Starts the checked installer (platform::StartProgram); tests watch
    // what it is given.
    UpdateCheck::Launcher launcher;

    app::SkinLabel* SkinLabel3 = nullptr;
    app::SkinLabel* LblProgramVer = nullptr;
    app::SkinLabel* LblHostver = nullptr;
    app::SkinLabel* SkinLabel7 = nullptr;
    app::SkinLabel* LblWebProgramVer = nullptr;
    app::SkinLabel* SkinLabel1 = nullptr;
    app::SkinLabel* SkinLabel2 = nullptr;
    QLabel* LblImportantUpdate = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QProgressBar* prgDownload = nullptr;

    // Event handlers.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Cdf_entDLFileStatus(int32_t TmpState);
    void Cdf_entDLFileDowning(const std::string& sRemoteURL, int32_t lDownLoaded, int32_t lFilesize,
                              int32_t lSpeed);

    // True while a check (list and installer transfers) runs.
    bool Checking() const { return checking_; }
    // True once the window has closed.

    // "连接状态： " and the text for a downloader status.
    static QString StatusText(int32_t TmpState);
    // The three progress lines, joined by CR LF.
    static QString ProgressText(int32_t lDownLoaded, int32_t lFilesize, int32_t lSpeed);
    // What the status line says at the end of a check (empty once the
    // installer runs: the program ends).
    static QString OutcomeText(const CheckResult& result);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void RunCheck();
    void SetChecking(bool checking);
    void ShowOutcome(const QString& text);

    bool checking_ = false;
    bool closeRequested_ = false;
};

}  // namespace velotan::update
