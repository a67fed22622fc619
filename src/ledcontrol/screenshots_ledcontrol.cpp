// Renders the LED panel as the program shows it into PNG files:
//   screenshots_ledcontrol [output folder]
// The settings window's panel with a key pair, and a freshly placed control.
// Next to each true-size picture goes an enlarged copy, since the real dots
// are only a few pixels wide.

#include "MyPLed.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>

#include <cstdio>

namespace {

constexpr int kEnlargement = 6;

bool save(const QImage& image, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    const QString large = folder.filePath(name + QStringLiteral("-x6.png"));
    const QImage enlarged =
        image.scaled(image.size() * kEnlargement, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!image.save(path) || !enlarged.save(large)) {
        std::fprintf(stderr, "screenshots_ledcontrol: cannot write %s\n",
                     qPrintable(QDir::toNativeSeparators(path)));
        return false;
    }
    std::printf("%s\n%s\n", qPrintable(path), qPrintable(large));
    return true;
}

QImage render(vxled::MyPLed& control, int widthTwips, int heightTwips) {
    const double tpp = 1440.0 / control.logicalDpiX();
    control.resize(qRound(widthTwips / tpp), qRound(heightTwips / tpp));
    control.show();
    QApplication::processEvents();
    return control.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QDir folder(args.size() > 1 ? args.at(1) : QStringLiteral("build/screenshots"));
    if (!QDir().mkpath(folder.absolutePath())) {
        std::fprintf(stderr, "screenshots_ledcontrol: cannot create %s\n",
                     qPrintable(folder.absolutePath()));
        return 1;
    }

    bool ok = true;
    {
        // The settings window's panel: 2175 x 375 twips, designed colours.
        vxled::MyPLed panel;
        panel.setObjectName(QStringLiteral("lblChar"));
        panel.put_Caption(QStringLiteral("12.200"));
        ok = save(render(panel, 2175, 375), folder, QStringLiteral("ledcontrol-settings-panel")) &&
             ok;
    }
    {
        // A new control keeps its initial caption.
        vxled::MyPLed fresh;
        ok = save(render(fresh, 2880, 375), folder, QStringLiteral("ledcontrol-new-control")) && ok;
    }
    return ok ? 0 : 1;
}
