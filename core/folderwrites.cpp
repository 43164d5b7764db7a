#include "core/folderwrites.h"

#include "core/filenames.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

bool RkNameTaken(const QString &path)
{
    struct stat st;
    return ::lstat(RkPathBytes(path).constData(), &st) == 0;
}

int RkCreateNewFile(const QString &path, mode_t mode)
{
    return ::open(RkPathBytes(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

int RkOpenForAppend(const QString &path)
{
    const QByteArray p = RkPathBytes(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A plain file first, without following anything.
        int fd = ::open(p.constData(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            return fd;
        if (errno == ENOENT) {
            fd = ::open(p.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd >= 0 || errno != EEXIST)
                return fd;
            continue; // made meanwhile: look again
        }
        if (errno != ELOOP)
            return -1;
        // A link: followed only when every link on the way is this user's or
        // root's, and still the same link once the file is open.
        struct stat before, after;
        if (::lstat(p.constData(), &before) != 0)
            continue;
        if (RkIsForeignLink(path)) {
            errno = EPERM;
            return -1;
        }
        fd = ::open(p.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            return -1;
        if (::lstat(p.constData(), &after) == 0 && after.st_ino == before.st_ino && after.st_dev == before.st_dev
            && !RkIsForeignLink(path))
            return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

int RkReplaceWithEmptyFile(const QString &path, mode_t mode)
{
    const QByteArray p = RkPathBytes(path);
    const QByteArray folder = RkFolderBytes(p);
    for (int n = 0; n < 100; ++n) {
        const QByteArray temp = folder + "/.lumrik-new-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(n);
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        ::close(fd);
        if (::rename(temp.constData(), p.constData()) == 0)
            return 0;
        const int e = errno;
        ::unlink(temp.constData());
        return e;
    }
    return EEXIST;
}

}
