#include "core/session.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

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

QString instanceFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime);
    return resolveTmpPath();
}

QString instanceName() { return instanceFolder() + QStringLiteral("/lumrik32-%1").arg(sessionTag()); }

bool makePrivateFolder(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    if (lstat(p.constData(), &st) != 0)
        mkdir(p.constData(), 0700);
    if (lstat(p.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return false;
    if ((st.st_mode & 0077) != 0) {
        // Ours, but open to others: close it, and trust it only once it is closed.
        if (chmod(p.constData(), 0700) != 0 || lstat(p.constData(), &st) != 0 || (st.st_mode & 0077) != 0)
            return false;
    }
    return true;
}

QString resolveTmpPath()
{
    const QString path = QDir::tempPath() + QStringLiteral("/lumrik-%1").arg(getuid());
    if (makePrivateFolder(path))
        return path;
    static QTemporaryDir fallback(QDir::tempPath() + "/lumrik-XXXXXX");
    return fallback.path();
}

QString resolveHandOffPath()
{
    // The display for the eye, a digest of the whole name for the runtime
    // folder: two sessions on one display number still get two folders.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(instanceName()), QCryptographicHash::Sha256).toHex().left(12);
    const QString base = resolveTmpPath();
    const QString path = base + QStringLiteral("/editor-%1-%2").arg(sessionTag(), QString::fromLatin1(digest));
    if (makePrivateFolder(path))
        return path;
    static QTemporaryDir fallback(base + "/editor-XXXXXX");
    return fallback.path();
}

}
