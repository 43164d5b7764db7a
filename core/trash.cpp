#include "core/trash.h"

#include "core/atomicfile.h"
#include "core/fd.h"
#include "core/filenames.h"
#include "core/openedfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

// The folder `name` in `parent`, this user's own and no link, made private
// when missing; one of ours that others may enter is closed to them.
Fd privateFolderIn(int parent, const char *name)
{
    ::mkdirat(parent, name, 0700);
    Fd fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || st.st_uid != ::getuid())
        return Fd();
    if ((st.st_mode & 0077) != 0 && ::fchmod(fd.fd, 0700) != 0)
        return Fd();
    return fd;
}

struct TrashFolders {
    Fd files, info;
    dev_t dev = 0;
    bool ok() const { return files.fd >= 0 && info.fd >= 0; }
};

TrashFolders trashIn(Fd base)
{
    TrashFolders t;
    if (base.fd < 0)
        return t;
    t.files = privateFolderIn(base.fd, "files");
    t.info = privateFolderIn(base.fd, "info");
    struct stat st;
    if (t.ok() && ::fstat(t.files.fd, &st) == 0)
        t.dev = st.st_dev;
    else
        t = TrashFolders();
    return t;
}

TrashFolders homeTrash()
{
    const QString trash = RkHomeTrashPath();
    const QString parent = QFileInfo(trash).path();
    if (!QDir().mkpath(parent))
        return {};
    Fd up(::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (up.fd < 0)
        return {};
    return trashIn(privateFolderIn(up.fd, "Trash"));
}

// The trash at the top of the file system `folder` lies on.
TrashFolders topTrash(const OpenedFolder &folder)
{
    Fd cur(::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat here;
    if (cur.fd < 0 || ::fstat(cur.fd, &here) != 0)
        return {};
    for (int depth = 0; depth < 256; ++depth) {
        Fd up(::openat(cur.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat above;
        if (up.fd < 0 || ::fstat(up.fd, &above) != 0 || above.st_dev != here.st_dev
            || (above.st_ino == here.st_ino))
            break;
        cur = std::move(up);
        here = above;
    }
    const QByteArray uid = QByteArray::number(::getuid());
    // A shared ".Trash" the administrator made (sticky, no link) holds one
    // folder per user; otherwise one of this user's own beside it.
    Fd shared(::openat(cur.fd, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (shared.fd >= 0 && ::fstat(shared.fd, &st) == 0 && (st.st_mode & S_ISVTX)) {
        TrashFolders t = trashIn(privateFolderIn(shared.fd, uid.constData()));
        if (t.ok())
            return t;
    }
    return trashIn(privateFolderIn(cur.fd, (".Trash-" + uid).constData()));
}

int renameNoReplaceAt(int fromDir, const char *from, int toDir, const char *to)
{
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    struct stat st;
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}
}

QString RkHomeTrashPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.local/share";
    return base + "/Trash";
}

int RkMoveToTrash(const OpenedFolder &folder, const QString &name)
{
    if (!folder.isOpen())
        return folder.error() ? folder.error() : EBADF;
    const QByteArray n = RkPathBytes(name);
    if (n.isEmpty() || n.contains('/') || n == "." || n == "..")
        return EINVAL;
    struct stat src;
    if (::fstatat(folder.fd(), n.constData(), &src, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    TrashFolders trash = homeTrash();
    if (!trash.ok())
        return EXDEV;
    if (trash.dev != src.st_dev) {
        trash = topTrash(folder);
        if (!trash.ok() || trash.dev != src.st_dev)
            return EXDEV;
    }
    const QByteArray original = folder.absolutePath() + '/' + n;
    // The record first, made so that no other entry's is touched.
    for (int i = 1; i < 10000; ++i) {
        const QByteArray entry = i == 1 ? n : n + '.' + QByteArray::number(i);
        const QByteArray record = entry + ".trashinfo";
        const int fd = ::openat(trash.info.fd, record.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const QByteArray text = "[Trash Info]\nPath=" + original.toPercentEncoding("/") + "\nDeletionDate="
                                + QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
        const bool written = writeAllAt(fd, text, 0);
        ::close(fd);
        const int e = written ? renameNoReplaceAt(folder.fd(), n.constData(), trash.files.fd, entry.constData()) : EIO;
        if (e == 0)
            return 0;
        ::unlinkat(trash.info.fd, record.constData(), 0);
        if (e != EEXIST)
            return e;
    }
    return EEXIST;
}

}
