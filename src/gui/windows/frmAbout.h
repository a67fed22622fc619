#pragma once
// frmAbout, the about box: tells what the program is, its version and who made it.

#include <QStringList>

#include "Version.h"
#include "app/WindowFrame.h"

class QGroupBox;
class QPushButton;
class QTimer;

namespace velotan::app {
class App;
}

namespace velotan::windows {

inline constexpr const char16_t* kMakerLine = u"Powered By Orvan From Mirelsoftware.";
inline constexpr const char16_t* kLoadingText = u"Loading...Please wait...";
inline constexpr const char* kControlsInfoFile = "controlsinfo.txt";
inline constexpr const char* kAlgorithmInfoFile = "algorithm.txt";

// Two lines rotate once a second through controlsinfo.txt and algorithm.txt
// from the program folder.
class frmAbout : public app::WindowFrame {
    Q_OBJECT
  public:
    explicit frmAbout(app::App& app);

    app::SkinLabel* SkinLabel1 = nullptr;
    app::SkinLabel* SkinLabel3 = nullptr;
    app::SkinLabel* lblControlInfo = nullptr;
    app::SkinLabel* lblThanksfor = nullptr;
    QTimer* Timer1 = nullptr;
    QPushButton* cmdOK = nullptr;

    void Form_Load();
    void Timer1_Timer();
    void cmdOK_Click();

  protected:
    void Form_Unload() override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // One rotating label: its file's lines and the next line to show.
    struct Rotation {
        QStringList lines;
        qsizetype index = 0;
        app::SkinLabel* label = nullptr;
    };
    void Load(Rotation& rotation, const char* fileName);
    static void Tick(Rotation& rotation);

    Rotation controls_;
    Rotation algorithm_;
};

}  // namespace velotan::windows
