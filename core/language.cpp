#include "core/language.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "core/settings.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

namespace lumrik {

namespace {
// The language file is read once and kept while it stays unchanged on disk.
const IniFile &languageIni(const QString &path)
{
    static QString cachedPath;
    static QDateTime cachedTime;
    static qint64 cachedSize = -1;
    static IniFile ini;
    QFileInfo fi(path);
    if (path != cachedPath || fi.lastModified() != cachedTime || fi.size() != cachedSize) {
        ini = IniFile();
        ini.load(path);
        cachedPath = path;
        cachedTime = fi.lastModified();
        cachedSize = fi.size();
    }
    return ini;
}

QString lookupTag(const QString &tag)
{
    auto id = toInt16(tag);
    if (!id)
        throw RkError(kErrTypeMismatch, QStringLiteral("Typmatchningsfel (text-id \"%1\")").arg(tag));
    return RkGetLanguage(*id);
}
}

QString RkGetLanguage(const QString &id, QString &file)
{
    return RkGuard("RkGetLanguage()", [&]() -> QString {
        if (file.size() < 2)
            file = gsLanguageFile;
        const QString def = QStringLiteral("str") + id;
        const QString path = findFileNoCase(RkNativePath(file));
        if (path.isEmpty() || !QFileInfo::exists(path))
            return def;
        return languageIni(path).value(QStringLiteral("LANGUAGE"), id, def);
    });
}

QString RkGetLanguage(int id)
{
    QString file;
    return RkGetLanguage(QString::number(id), file);
}

QString RkText(int id, const QString &swedish)
{
    return gbNotSwedish ? RkGetLanguage(id) : swedish;
}

void setTag(QObject *object, const QString &tag) { object->setProperty("tag", tag); }
void setTag(QObject *object, int id) { object->setProperty("tag", QString::number(id)); }
QString tagOf(const QObject *object) { return object->property("tag").toString(); }

void SetLanguage(QWidget *window)
{
    RkGuard("SetLanguage()", [&] {
        if (!gbNotSwedish || !window)
            return;
        window->setWindowTitle(lookupTag(tagOf(window)).toUpper());
        const auto children = window->findChildren<QWidget *>();
        for (QWidget *w : children) {
            const QString tag = tagOf(w);
            if (auto *box = qobject_cast<QGroupBox *>(w)) {
                if (!tag.isEmpty()) box->setTitle(lookupTag(tag));
            } else if (auto *label = qobject_cast<QLabel *>(w)) {
                if (!tag.isEmpty()) label->setText(lookupTag(tag));
            } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
                if (!tag.isEmpty()) button->setText(lookupTag(tag));
            } else if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
                static const QMap<QString, QList<int>> tabIds = {
                    {"300", {370, 371, 372, 373, 374, 378}},
                    {"1701", {1702, 1703}},
                    {"399", {440, 441, 442, 377}},
                };
                const auto it = tabIds.find(tag);
                if (it == tabIds.end()) continue;
                for (int i = 0; i < it->size() && i < tabs->count(); ++i)
                    tabs->setTabText(i, RkGetLanguage(it->at(i)));
            } else if (tag == "1510") {
                const QList<int> ids = {1511, 1512, 1513};
                if (auto *tree = qobject_cast<QTreeWidget *>(w)) {
                    for (int i = 0; i < 3 && i < tree->columnCount(); ++i)
                        tree->headerItem()->setText(i, RkGetLanguage(ids[i]));
                } else if (auto *table = qobject_cast<QTableWidget *>(w)) {
                    for (int i = 0; i < 3 && i < table->columnCount(); ++i)
                        table->setHorizontalHeaderItem(i, new QTableWidgetItem(RkGetLanguage(ids[i])));
                }
            }
        }
    });
}

QString RkShortDate(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

QString RkShortDateTime(const QDateTime &time)
{
    return RkShortDate(time.date()) + QStringLiteral("  ") + time.time().toString(QStringLiteral("HH:mm"));
}

QString RkGeneralDate(const QDateTime &time)
{
    return RkShortDate(time.date()) + QLatin1Char(' ') + time.time().toString(QStringLiteral("HH:mm:ss"));
}

}
