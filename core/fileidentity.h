#pragma once
// Which file a path names. A document keeps the identity of its file from the
// load and from each save, so that a save notices when the name now leads to
// another file, or the file was changed by someone else meanwhile.
#include <QString>
#include <QtGlobal>

struct stat;

namespace lumrik {

struct FileIdentity {
    bool valid = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; // time of last change, nanoseconds since the epoch

    // Both name the same file (which may have changed).
    bool sameFile(const FileIdentity &o) const { return valid && o.valid && device == o.device && inode == o.inode; }
    // The same file, with the same size and time of last change.
    bool unchanged(const FileIdentity &o) const { return sameFile(o) && size == o.size && modifiedNs == o.modifiedNs; }
};

FileIdentity RkFileIdentity(const struct stat &st);
// The regular file the path names now (links followed); invalid when there
// is none. Kept bytes of a name are honoured.
FileIdentity RkFileIdentity(const QString &path);
FileIdentity RkFileIdentityOfFd(int fd);

}
