#include "documents/lineends.h"

#include "core/errors.h"
#include "core/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lumrik {

int lineEndTypeOf(QByteArrayView bytes)
{
    const QByteArrayView probe = bytes.first(std::min(bytes.size(), kLineEndProbeBytes));
    return probe.indexOf(QByteArrayView("\r\n")) >= 0 ? kLineEndCrLf : kLineEndLf;
}

static RkError fileError(const QFileDevice &f, const QString &path, long number)
{
    return RkError(number, QStringLiteral("%1: %2").arg(RkNativePath(path), f.errorString()));
}

int fileLineEndType(const QString &path)
{
    const QString p = RkNativePath(path);
    QFile f(p);
    if (!f.open(QIODevice::ReadOnly))
        throw fileError(f, p, f.exists() ? kErrIo : kErrFileNotFound);
    return lineEndTypeOf(f.read(kLineEndProbeBytes));
}

QByteArray convertLineEnds(QByteArrayView text, int type)
{
    const char *s = text.data();
    const qsizetype n = text.size();
    QByteArray out;
    if (type == kLineEndLf) {
        out.resize(n);
        char *o = out.data();
        for (qsizetype i = 0; i < n; ++i) {
            if (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n')
                continue; // the LF that follows is written alone
            *o++ = s[i];
        }
        out.truncate(o - out.data());
    } else {
        qsizetype extra = 0;
        for (qsizetype i = 0; i < n; ++i)
            if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r'))
                ++extra;
        out.resize(n + extra);
        char *o = out.data();
        for (qsizetype i = 0; i < n; ++i) {
            if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r'))
                *o++ = '\r';
            *o++ = s[i];
        }
    }
    return out;
}

QByteArray readFileBytes(const QString &path)
{
    const QString p = RkNativePath(path);
    QFile f(p);
    if (!f.open(QIODevice::ReadOnly))
        throw fileError(f, p, f.exists() ? kErrIo : kErrFileNotFound);
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw fileError(f, p, kErrIo);
    return bytes;
}

void writeFileAtomic(const QString &path, QByteArrayView bytes)
{
    const QString p = RkNativePath(path);
    const QFileInfo old(p);
    // The rename would replace a write-protected file; refuse it as opening it
    // for writing would be refused (also for a file nobody may write).
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (old.exists() && !old.isDir() && (!old.isWritable() || !(old.permissions() & anyWrite)))
        throw RkError(70, QStringLiteral("Åtkomst nekad: %1").arg(p));
    const QFileDevice::Permissions perms = old.exists() ? old.permissions() : QFileDevice::Permissions{};

    QSaveFile f(p);
    f.setDirectWriteFallback(false); // never write into the old file itself
    // Unbuffered, so that a short write (disk full, size limit) is seen here
    // and not lost in a flush that reports success.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw fileError(f, p, old.exists() ? kErrIo : kErrPathNotFound);
    if (f.write(bytes.data(), bytes.size()) != bytes.size() || f.size() != bytes.size()) {
        const RkError e(61, QStringLiteral("%1: Det gick inte att skriva hela filen (är disken full?)").arg(p));
        f.cancelWriting();
        throw e;
    }
    if (!f.commit())
        throw fileError(f, p, kErrIo);
    // The temporary file was made under the process's umask; give the file
    // back exactly the permissions it had.
    if (old.exists()) {
        const QString target = old.isSymLink() ? old.symLinkTarget() : p;
        if (QFileInfo(target).permissions() != perms)
            QFile::setPermissions(target, perms);
    }
}

}
