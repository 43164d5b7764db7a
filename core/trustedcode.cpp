#include "core/trustedcode.h"

#include "core/filenames.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

// An absolute path without "." and ".." parts or doubled separators (".."
// taken by the name: the links on the way are looked at one by one below).
QByteArray absoluteBytes(const QString &path)
{
    QByteArray raw = RkPathBytes(path);
    if (!raw.startsWith('/'))
        raw = QFile::encodeName(QDir::currentPath()) + '/' + raw;
    QList<QByteArray> parts;
    for (const QByteArray &part : raw.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    QByteArray out;
    for (const QByteArray &part : std::as_const(parts))
        out += '/' + part;
    return out.isEmpty() ? QByteArray("/") : out;
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QString folderWhat(const QByteArray &folder)
{
    return QStringLiteral("mappen %1").arg(RkShownName(RkDecodeName(folder)));
}

// Owner and mode of one file or folder.
QString statReason(const struct stat &st, const QString &what)
{
    if (st.st_uid != 0 && st.st_uid != ::geteuid())
        return what + QStringLiteral(" ägs av en annan användare");
    const bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !sticky)
        return what + QStringLiteral(" kan ändras av andra användare än ägaren");
    return {};
}

// Every folder from `folder` up to "/"; a link on the way is judged by the
// folder it lies in here and by its target in realChainReason.
QString folderChainReason(QByteArray folder)
{
    for (;;) {
        struct stat st;
        if (::lstat(folder.constData(), &st) != 0)
            return folderWhat(folder) + QStringLiteral(" kan inte läsas");
        if (!S_ISLNK(st.st_mode)) {
            const QString why = statReason(st, folderWhat(folder));
            if (!why.isEmpty())
                return why;
        }
        if (folder == "/")
            return {};
        folder = parentOf(folder);
    }
}

// Where a path leads with every link followed, or "" when it leads nowhere.
QByteArray realBytes(const QByteArray &path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.constData(), buffer) ? QByteArray(buffer) : QByteArray();
}

}

QString untrustedFolderReason(const QString &folder)
{
    const QByteArray path = absoluteBytes(folder);
    QString why = folderChainReason(path);
    if (!why.isEmpty())
        return why;
    const QByteArray real = realBytes(path);
    if (real.isEmpty())
        return folderWhat(path) + QStringLiteral(" kan inte läsas");
    return real == path ? QString() : folderChainReason(real);
}

QString untrustedCodeReason(const QString &path)
{
    const QByteArray file = absoluteBytes(path);
    struct stat st;
    if (::lstat(file.constData(), &st) != 0)
        return QStringLiteral("filen kan inte läsas");
    if (!S_ISLNK(st.st_mode)) {
        const QString why = statReason(st, QStringLiteral("filen"));
        if (!why.isEmpty())
            return why;
    }
    QString why = folderChainReason(parentOf(file));
    if (!why.isEmpty())
        return why;
    const QByteArray real = realBytes(file);
    if (real.isEmpty() || ::stat(real.constData(), &st) != 0)
        return QStringLiteral("filen kan inte läsas");
    if (real == file)
        return {};
    why = statReason(st, QStringLiteral("filen"));
    return why.isEmpty() ? folderChainReason(parentOf(real)) : why;
}

QString untrustedOpenFileReason(int fd, const QString &path)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return QStringLiteral("filen kan inte läsas");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("är ingen vanlig fil");
    QString why = statReason(st, QStringLiteral("filen"));
    if (!why.isEmpty())
        return why;
    why = folderChainReason(parentOf(absoluteBytes(path)));
    if (!why.isEmpty())
        return why;
    // Where the opened file lies (a link's target), as the system tells it.
    char buffer[PATH_MAX];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(self.constData(), buffer, sizeof buffer);
    if (n <= 0 || n >= ssize_t(sizeof buffer) || buffer[0] != '/')
        return QStringLiteral("filen kan inte läsas");
    const QByteArray real(buffer, n);
    if (real.endsWith(" (deleted)"))
        return QStringLiteral("filen togs bort medan den lästes");
    return folderChainReason(parentOf(real));
}

QString untrustedProgramText(const QString &program, const QString &reason)
{
    return QStringLiteral("%1 startas inte: %2.\r\nEtt program startas bara när bara du själv eller root kan ändra "
                          "det och mapparna det ligger i.")
        .arg(RkShownName(program), reason);
}

}
