#include "frmAbout.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "Version.h"
#include "app/App.h"
#include "app/QtText.h"
#include "app/Twips.h"
#include "platform/AnsiTextFile.h"

namespace velotan::windows {
namespace {

using app::TwipsRect;

constexpr int kRotationInterval = 1000;

using app::Q;

}  // namespace

frmAbout::frmAbout(app::App& app) : WindowFrame(app, "frmAbout") {
    setFixedSize(app::TwipsSize(5775, 3090));

    auto* Frame1 = new QGroupBox(Q(kProgramTitle), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(TwipsRect(240, 120, 5295, 2415));

    SkinLabel1 =
        new app::SkinLabel(QStringLiteral("版本信息："), QStringLiteral("SkinLabel1"), Frame1);
    SkinLabel1->setGeometry(TwipsRect(120, 240, 5000, 255));
    auto* SkinLabel2 =
        new app::SkinLabel(QStringLiteral("版权信息："), QStringLiteral("SkinLabel2"), Frame1);
    SkinLabel2->setGeometry(TwipsRect(120, 480, 5000, 255));
    SkinLabel3 = new app::SkinLabel(QString(), QStringLiteral("SkinLabel3"), Frame1);
    SkinLabel3->setGeometry(TwipsRect(120, 720, 5000, 255));

    auto infoFrame = [Frame1](const char16_t* caption, const char* frameName, const char* labelName,
                              int top) {
        auto* frame = new QGroupBox(Q(caption), Frame1);
        frame->setObjectName(QString::fromLatin1(frameName));
        // Qt would name a frame inside a frame after the outer one.
        frame->setAccessibleName(Q(caption));
        frame->setGeometry(TwipsRect(120, top, 5055, 615));
        auto* label = new app::SkinLabel(QString(), QString::fromLatin1(labelName), frame);
        label->setGeometry(TwipsRect(120, 240, 4815, 255));
        // The files' lines are shown as they stand, never as markup.
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    lblControlInfo = infoFrame(u"控件信息", "Frame2", "lblControlInfo", 960);
    lblThanksfor = infoFrame(u"算法信息", "Frame3", "lblThanksfor", 1680);
    controls_.label = lblControlInfo;
    algorithm_.label = lblThanksfor;

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kRotationInterval);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwipsRect(4125, 2625, 1500, 345));
    cmdOK->setDefault(true);

    connect(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

void frmAbout::Form_Load() {
    ApplySkin();
    setWindowTitle(QStringLiteral("关于 ") + Q(kProgramTitle));
    SkinLabel1->setText(QStringLiteral("版本信息：%1.%2.%3")
                            .arg(kVersionMajor)
                            .arg(kVersionMinor)
                            .arg(kVersionRevision));
    SkinLabel3->setText(Q(kMakerLine));
    Load(controls_, kControlsInfoFile);
    Load(algorithm_, kAlgorithmInfoFile);
    Timer1->start();
}

void frmAbout::Load(Rotation& rotation, const char* fileName) {
    rotation.lines.clear();
    // A missing or unreadable file is an empty one: the label stays blank.
    if (auto lines = platform::ReadAnsiLines(app_.ProgramFolder() / fileName)) {
        for (const std::u16string& line : *lines)
            rotation.lines.append(QString::fromStdU16String(line));
    }
    // The index starts past the end, so the first tick only resets it.
    rotation.index = rotation.lines.size();
    rotation.label->setText(rotation.lines.isEmpty() ? QString() : Q(kLoadingText));
}

void frmAbout::Tick(Rotation& rotation) {
    if (rotation.index >= rotation.lines.size()) {
        rotation.index = 0;
        return;
    }
    rotation.label->setText(rotation.lines[rotation.index]);
    ++rotation.index;
}

void frmAbout::Timer1_Timer() {
    Tick(controls_);
    Tick(algorithm_);
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // cmdOK is both the default and the cancel button.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            cmdOK->click();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void frmAbout::Form_Unload() {
    Timer1->stop();
}

}  // namespace velotan::windows
