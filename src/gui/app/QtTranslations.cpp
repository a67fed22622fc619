#include "QtTranslations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>

namespace velotan::app {

QTranslator* LoadQtTranslations(const std::filesystem::path& programFolder) {
    // One translator for the run; it lives as long as the application.
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString file = QString::fromLatin1(kQtTranslationFile);
    const QString shipped =
        QFile::decodeName((programFolder / kTranslationFolder).string().c_str());
    if (!translator->load(file, shipped) &&
        !translator->load(file, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

}  // namespace velotan::app
