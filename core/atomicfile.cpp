#include "core/atomicfile.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/paths.h"

#include <QFileInfo>
#include <QSaveFile>

namespace lumrik {

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
        throw RkError(kErrPermissionDenied, QStringLiteral("Åtkomst nekad: %1").arg(p));
    const QFileDevice::Permissions perms = existed ? old.permissions() : QFileDevice::Permissions{};
    const QString target = existed && old.isSymLink() ? old.symLinkTarget() : p;

    QSaveFile f(p);
    f.setDirectWriteFallback(false); // never write into the old file itself
    const auto failure = [&](long number) {
        return RkError(number, QStringLiteral("%1: %2").arg(p, f.errorString()));
    };
    // Unbuffered, so that a short write (disk full, size limit) is seen here
    // and not lost in a flush that reports success.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw failure(existed ? kErrIo : kErrPathNotFound);
    if (f.write(bytes.data(), bytes.size()) != bytes.size() || f.size() != bytes.size()) {
        const RkError e(kErrDiskFull, QStringLiteral("%1: Det gick inte att skriva hela filen (är disken full?)").arg(p));
        f.cancelWriting();
        throw e;
    }
    if (!f.commit())
        throw failure(kErrIo);
    // The temporary file was made under the process's umask; give the file
    // back exactly the permissions it had.
    if (existed && QFileInfo(target).permissions() != perms)
        QFile::setPermissions(target, perms);
}

}
