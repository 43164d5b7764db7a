#include "core/atomicfile.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/paths.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace lumrik {

namespace {
// Why a new file cannot be made in the folder of `path`: the folder is asked
// first, so that the answer names the real obstacle; else the error of the
// failed call.
int creationError(const QString &path, int callError)
{
    const QString dir = QFileInfo(path).absolutePath();
    const QByteArray d = QFile::encodeName(dir);
    if (::access(d.constData(), F_OK) != 0)
        return ENOENT;
    if (!QFileInfo(dir).isDir())
        return ENOTDIR;
    if (::access(d.constData(), W_OK | X_OK) != 0)
        return errno;
    return callError;
}

bool folderWritable(const QString &path)
{
    const QByteArray d = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::access(d.constData(), W_OK | X_OK) == 0;
}

RkError folderFailure(long number, const QString &path, int err)
{
    return RkError(number, QStringLiteral("%1: Filen kan inte skapas i mappen %2: %3")
                               .arg(path, QFileInfo(path).absolutePath(), RkSystemErrorText(err)));
}
}

void writeFileAtomic(const QString &path, QByteArrayView bytes)
{
    if (RkHasKeptBytes(path)) {
        RkWriteKeptNameAtomic(path, bytes); // a name Qt's file routines cannot reach
        return;
    }
    const QString p = RkNativePath(path);
    // Asked once, before the write: QFileInfo does not cache existence, and a
    // new file must keep the permissions it was made with.
    const QFileInfo old(p);
    const bool existed = old.exists();
    // The rename would replace a write-protected file; refuse it as opening it
    // for writing would be refused (also for a file nobody may write).
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (existed && !old.isDir() && (!old.isWritable() || !(old.permissions() & anyWrite)))
        throw RkError(kErrPermissionDenied, QStringLiteral("%1: %2").arg(p, RkSystemErrorText(EACCES)));
    const QFileDevice::Permissions perms = existed ? old.permissions() : QFileDevice::Permissions{};
    const QString target = existed && old.isSymLink() ? old.symLinkTarget() : p;

    QSaveFile f(p);
    // A folder that may not be written in, holding a file that may: the file
    // is written in place, as the user could do with any other program.
    f.setDirectWriteFallback(existed);
    const auto failure = [&](long number, int errnum) {
        return RkError(number, QStringLiteral("%1: %2").arg(p, RkSystemErrorText(errnum)));
    };
    // Unbuffered, so that a short write (disk full, size limit) is seen here
    // and not lost in a flush that reports success.
    errno = 0;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int err = creationError(p, errno);
        const long number =
            err == ENOENT ? kErrPathNotFound : err == EACCES || err == EPERM ? kErrPermissionDenied : kErrIo;
        if (!existed && err != ENOENT && err != ENOTDIR && !folderWritable(p))
            throw folderFailure(number, p, err); // the folder is the obstacle, not the new file
        throw failure(number, err);
    }
    const bool inPlace = existed && !folderWritable(p);
    errno = 0;
    if (f.write(bytes.data(), bytes.size()) != bytes.size() || f.size() != bytes.size()) {
        const int err = errno;
        const RkError e(kErrDiskFull,
                        QStringLiteral("%1: %2").arg(p, err != 0 && err != ENOSPC && err != EFBIG
                                                            ? RkSystemErrorText(err)
                                                            : QStringLiteral("Det gick inte att skriva hela filen "
                                                                             "(är disken full?)")));
        f.cancelWriting();
        throw e;
    }
    errno = 0;
    if (!f.commit()) {
        const int err = errno;
        throw failure(kErrIo, inPlace ? err : creationError(p, err));
    }
    // The temporary file was made under the process's umask; give the file
    // back exactly the permissions it had.
    if (existed && QFileInfo(target).permissions() != perms)
        QFile::setPermissions(target, perms);
}

}
