#pragma once
// What every window renderer of scripts/screenshots shares: a temporary
// program folder, dialogs that ask nothing, and saving a window's picture.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>

#include "app/Dialogs.h"

namespace velotan::app::render {

// A program folder as installed, as far as a renderer's windows read it: the
// named files shipped in the source tree's data folder, copied into a
// temporary folder that goes with the object.
class TempProgramFolder {
  public:
    explicit TempProgramFolder(std::initializer_list<const char*> shippedFiles)
        : path_(QFile::encodeName(temp_.path()).toStdString()) {
        for (const char* file : shippedFiles)
            std::filesystem::copy_file(std::filesystem::path(VELOTAN_DATA_DIR) / file,
                                       path_ / file);
    }
    const std::filesystem::path& Path() const { return path_; }

    // A key store inside the folder holding `keyLine` (such as "12UGA200"),
    // named in settings.ini: keys stored nowhere could not encrypt.
    void StoreKeys(const char* keyLine) const {
        const std::filesystem::path store = path_ / "store";
        std::filesystem::create_directories(store / "mxsw" / "encrypt");
        std::ofstream(store / "mxsw" / "encrypt" / "chat.mx", std::ios::binary)
            << keyLine << "\r\n";
        std::ofstream(path_ / "settings.ini", std::ios::binary)
            << "[set]\r\nKeyChar=" << store.string() << "\r\n";
    }

  private:
    QTemporaryDir temp_;
    std::filesystem::path path_;
};

// Nothing is asked while rendering; anything said is printed.
class SilentDialogs : public Dialogs {
  public:
    platform::MsgResult MsgBox(const std::u16string& prompt, int,
                               const std::u16string& title) override {
        std::fprintf(stderr, "message: %s: %s\n",
                     QString::fromStdU16String(title).toUtf8().constData(),
                     QString::fromStdU16String(prompt).toUtf8().constData());
        return platform::MsgResult::Ok;
    }
    std::optional<QString> InputBox(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString ShowOpen(const FileDialogRequest&) override { return {}; }
    QString ShowSave(const FileDialogRequest&) override { return {}; }
    std::optional<FontChoice> ShowFont(const FontChoice&) override { return std::nullopt; }
    std::optional<int32_t> ShowColor(int32_t) override { return std::nullopt; }
};

// The output folder named by a renderer's one argument, made if need be;
// nullopt (with the usage printed) when the call is wrong.
inline std::optional<QDir> OutputFolder(int argc, char** argv, const char* program) {
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", program);
        return std::nullopt;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));
    return out;
}

// The frame of a renderer's main(): the application, the output folder from
// the one argument (exit 2 when the call is wrong), then `render`, which
// returns the exit code.
template <typename Render>
int RunRenderer(int argc, char** argv, const char* program, Render render) {
    QApplication application(argc, argv);
    const std::optional<QDir> out = OutputFolder(argc, argv, program);
    if (!out)
        return 2;
    return render(*out);
}

// Writes `window` as <out>/<name>.png once pending events have run.
inline bool Save(QWidget* window, const QDir& out, const char* name) {
    QApplication::processEvents();
    const QString file = out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!window || !window->grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", file.toUtf8().constData());
        return false;
    }
    std::printf("%s\n", file.toUtf8().constData());
    return true;
}

}  // namespace velotan::app::render
