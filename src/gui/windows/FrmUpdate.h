#pragma once
// The online update window: checks the update server's version list and,
// when it names a newer version, downloads the installer, starts it and ends
// the program. The transfers are Cdf's (Cls_DownLoad); this window turns its
// events into the status line, the progress lines and the progress bar.

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/WindowFrame.h"
#include "update/Cls_DownLoad.h"

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
inline constexpr const char16_t* kInstallerIncompleteText = u"安装包未能完整下载，未安装更新。";
inline constexpr const char16_t* kInstallerInsecureText = u"安装包并非经 https 下载，未运行。";
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

    // "连接状态： " and the text for a downloader status.
    static QString StatusText(int32_t TmpState);
    // The three progress lines, joined by CR LF.
    static QString ProgressText(int32_t lDownLoaded, int32_t lFilesize, int32_t lSpeed);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void RunCheck();
    void SetChecking(bool checking);
    void ShowOutcome(const QString& text);
    bool StartInstaller(const std::filesystem::path& installer);

    bool checking_ = false;
    bool closeRequested_ = false;
};

}  // namespace velotan::update
