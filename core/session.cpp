#include "core/session.h"

#include "core/atomicfile.h"
#include "core/filenames.h"
#include "core/globals.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {
// Names that are not UTF-8 cannot be told to the rest of the program.
bool isUtf8Name(const QByteArray &name)
{
    return QString::fromUtf8(name).toUtf8() == name;
}
}

QString sessionDisplay()
{
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return QStringLiteral("wayland-") + QFileInfo(wayland).fileName();
    QString x = qEnvironmentVariable("DISPLAY");
    // The screen number does not make another session: ":0.1" is display ":0".
    const qsizetype colon = x.lastIndexOf(':');
    if (colon >= 0) {
        const qsizetype dot = x.indexOf('.', colon);
        if (dot > colon)
            x.truncate(dot);
    }
    return x;
}

QString sessionTag()
{
    QString d = sessionDisplay();
    if (d.isEmpty())
        return QStringLiteral("ingen");
    d.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return d.right(40);
}

namespace {
// The session's runtime folder when it is this user's own, closed to
// everybody else; "" otherwise. In a folder others may write in, anyone could
// pose as this editor.
QString privateRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime.startsWith('/') && isUtf8Name(runtime) && lstat(runtime.constData(), &st) == 0
        && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 07777) == 0700)
        return QDir::cleanPath(QFile::decodeName(runtime));
    return {};
}
}

QString instanceFolder()
{
    const QString runtime = privateRuntimeFolder();
    return runtime.isEmpty() ? resolveTmpPath() : runtime;
}

QString instanceName() { return instanceFolder() + QStringLiteral("/lumrik32-%1").arg(sessionTag()); }

bool isPrivateFolder(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
           && st.st_uid == getuid() && (st.st_mode & 0077) == 0;
}

bool makePrivateFolder(const QString &path)
{
    // A folder found open to others is not taken over: whatever someone put
    // in it while it was open (a link named like a hand-off file) would stay.
    mkdir(QFile::encodeName(path).constData(), 0700);
    return isPrivateFolder(path);
}

QString temporaryBase()
{
    const QList<QByteArray> candidates{qgetenv("TMPDIR"), QFile::encodeName(privateRuntimeFolder()), "/tmp",
                                       "/var/tmp", QFile::encodeName(QDir::homePath())};
    for (const QByteArray &c : std::as_const(candidates)) {
        struct stat st;
        if (c.startsWith('/') && isUtf8Name(c) && stat(c.constData(), &st) == 0 && S_ISDIR(st.st_mode)
            && access(c.constData(), W_OK | X_OK) == 0) {
            const QString base = QDir::cleanPath(QFile::decodeName(c));
            if (base != QStringLiteral("/"))
                return base;
        }
    }
    return {};
}

namespace {
// A folder of this run, made anew under `base` whenever the last one is gone
// or no longer private.
QString freshPrivateFolder(QString &kept, const QString &base, const QString &prefix)
{
    if (isPrivateFolder(kept) && kept.startsWith(base + '/'))
        return kept;
    kept.clear();
    if (base.isEmpty())
        return {};
    QByteArray pattern = QFile::encodeName(base + '/' + prefix) + "XXXXXX";
    if (mkdtemp(pattern.data()) && isPrivateFolder(QFile::decodeName(pattern)))
        kept = QFile::decodeName(pattern);
    return kept;
}
}

QString resolveTmpPath()
{
    const QString base = temporaryBase();
    if (base.isEmpty())
        return {};
    const QString path = base + QStringLiteral("/lumrik-%1").arg(getuid());
    if (makePrivateFolder(path))
        return path;
    static QString fallback;
    return freshPrivateFolder(fallback, base, QStringLiteral("lumrik-"));
}

QString resolveHandOffPath()
{
    // The display for the eye, a digest of the whole name for the runtime
    // folder: two sessions on one display number still get two folders.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(instanceName()), QCryptographicHash::Sha256).toHex().left(12);
    const QString base = resolveTmpPath();
    if (base.isEmpty())
        return {};
    const QString path = base + QStringLiteral("/editor-%1-%2").arg(sessionTag(), QString::fromLatin1(digest));
    if (makePrivateFolder(path))
        return path;
    static QString fallback;
    return freshPrivateFolder(fallback, base, QStringLiteral("editor-"));
}

namespace {
QString gStartHandOff; // the folder chosen at start, to be made again alike
}

QString startHandOffFolder()
{
    gStartHandOff = resolveHandOffPath();
    return gStartHandOff;
}

QString tmpFile(const QString &name)
{
    ensureHandOffFolder();
    return gsTmpPath.isEmpty() ? QString() : gsTmpPath + '/' + name;
}

bool ensureHandOffFolder()
{
    if (isPrivateFolder(gsTmpPath))
        return true;
    struct stat st;
    const QByteArray p = QFile::encodeName(gsTmpPath);
    if (!gsTmpPath.isEmpty() && gsTmpPath == gStartHandOff) {
        // Removed (a cleaner of temporary folders) or replaced meanwhile: the
        // folder is chosen again as at start, by the same rules.
        gsTmpPath = gStartHandOff = resolveHandOffPath();
        return isPrivateFolder(gsTmpPath);
    }
    // A folder set otherwise is made again only where it was, inside a
    // folder that is still there.
    if (!gsTmpPath.isEmpty() && lstat(p.constData(), &st) != 0 && errno == ENOENT)
        return makePrivateFolder(gsTmpPath);
    return false;
}

void writeHandOffFile(const QString &path, QByteArrayView bytes)
{
    writeFileAtomic(path, bytes, nullptr, LinkRule::NoLinks);
}

int openHandOffFile(const QString &path)
{
    const QByteArray p = RkPathBytes(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        // The old file, or a link: the name itself goes.
        if (::unlink(p.constData()) != 0 && errno != ENOENT)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

}
