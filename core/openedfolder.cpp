#include "core/openedfolder.h"

#include "core/filenames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

OpenedFolder::OpenedFolder(const QString &path) : path_(path)
{
    const QByteArray p = RkPathBytes(path);
    fd_ = ::open(p.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    char real[PATH_MAX];
    absolute_ = ::realpath(p.constData(), real) ? QByteArray(real) : p;
}

OpenedFolder::~OpenedFolder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

OpenedFolder::OpenedFolder(OpenedFolder &&other) noexcept { *this = std::move(other); }

OpenedFolder &OpenedFolder::operator=(OpenedFolder &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        error_ = other.error_;
        path_ = std::move(other.path_);
        absolute_ = std::move(other.absolute_);
        other.fd_ = -1;
    }
    return *this;
}

QStringList OpenedFolder::fileNames() const
{
    QStringList names;
    if (fd_ < 0)
        return names;
    const int own = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!dir) {
        if (own >= 0)
            ::close(own);
        return names;
    }
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st;
        if (::fstatat(fd_, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names << RkDecodeName(QByteArrayView(e->d_name));
    }
    ::closedir(dir);
    return names;
}

int OpenedFolder::removeFile(const QString &name) const
{
    if (fd_ < 0)
        return error_ ? error_ : EBADF;
    const QByteArray n = RkPathBytes(name);
    if (n.isEmpty() || n.contains('/'))
        return EINVAL;
    struct stat st;
    if (::fstatat(fd_, n.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return ::unlinkat(fd_, n.constData(), 0) == 0 ? 0 : errno;
}

}
