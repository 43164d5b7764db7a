#include "resources/resources.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Anything that has the name, a dangling link too, is left as it is: the
    // file is made only where nothing is, never through a link.
    const QByteArray path = QFile::encodeName(target);
    struct stat st;
    if (::lstat(path.constData(), &st) == 0)
        return true;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile src(":/lumrik/" + name);
    if (!src.open(QIODevice::ReadOnly))
        return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST;
    QFile dst;
    if (!dst.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    const QByteArray bytes = src.readAll();
    return dst.write(bytes) == bytes.size();
}

}
