#include "resources/resources.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace lumrik::resources {

QStringList shippedFiles()
{
    QStringList out;
    QDirIterator it(":/lumrik", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString p = it.next();
        out << p.mid(QStringLiteral(":/lumrik/").size());
    }
    out.sort();
    return out;
}

bool installShippedFile(const QString &name, const QString &target)
{
    if (QFileInfo::exists(target))
        return true;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile src(":/lumrik/" + name);
    if (!src.open(QIODevice::ReadOnly))
        return false;
    QFile dst(target);
    if (!dst.open(QIODevice::WriteOnly))
        return false;
    dst.write(src.readAll());
    dst.close();
    dst.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

}
