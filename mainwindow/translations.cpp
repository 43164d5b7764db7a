#include "mainwindow/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace lumrik {

namespace {
QTranslator *gQtCatalogue = nullptr;
QTranslator *gOwnCatalogue = nullptr;
}

bool installQtTranslations()
{
    if (gOwnCatalogue)
        return true;
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    gQtCatalogue = new QTranslator(app);
    if (gQtCatalogue->load(QStringLiteral("qt_sv"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(gQtCatalogue);
    // Installed last, so asked first: it also mends texts of Qt's catalogue.
    gOwnCatalogue = new QTranslator(app);
    // An installed program takes the catalogue installed beside it; else the built-in one.
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/" LUMRIK_TRANSLATIONS_FROM_BIN);
    const bool own = gOwnCatalogue->load(QStringLiteral("lumrik_sv"), installed)
        || gOwnCatalogue->load(QStringLiteral(":/lumrik/translations/lumrik_sv.qm"));
    if (own)
        QCoreApplication::installTranslator(gOwnCatalogue);
    return own;
}

void removeQtTranslations()
{
    for (QTranslator **t : {&gOwnCatalogue, &gQtCatalogue}) {
        if (*t) {
            QCoreApplication::removeTranslator(*t);
            delete *t;
            *t = nullptr;
        }
    }
}

}
