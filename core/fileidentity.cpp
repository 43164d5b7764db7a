#include "core/fileidentity.h"

#include "core/filenames.h"
#include "core/paths.h"

#include <sys/stat.h>

namespace lumrik {

FileIdentity RkFileIdentity(const struct stat &st)
{
    FileIdentity id;
    id.valid = S_ISREG(st.st_mode);
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

FileIdentity RkFileIdentity(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(RkPathBytes(RkNativePath(path)).constData(), &st) != 0)
        return {};
    return RkFileIdentity(st);
}

FileIdentity RkFileIdentityOfFd(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return {};
    return RkFileIdentity(st);
}

}
