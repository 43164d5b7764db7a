#include "core/savecopy.h"

#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/session.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QList>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

constexpr char kMagic[] = "LUMRIK-KOPIA 1";
constexpr int kRandomPart = 6;    // the XXXXXX of the name
constexpr qsizetype kBaseMax = 200; // bytes of the file's name kept in the copy's name
constexpr qsizetype kRecordMax = 3 * PATH_MAX + 512;

QByteArray digest(QByteArrayView bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

QByteArray baseName(const QByteArray &file) { return file.mid(file.lastIndexOf('/') + 1).left(kBaseMax); }

QByteArray record(const QByteArray &file, const struct stat &st, QByteArrayView old, QByteArrayView fresh)
{
    QByteArray r = kMagic;
    r += "\nfil " + file.toHex();
    r += "\nid " + QByteArray::number(quint64(st.st_dev)) + ' ' + QByteArray::number(quint64(st.st_ino));
    r += "\ngammal " + QByteArray::number(old.size()) + ' ' + digest(old);
    r += "\nny " + QByteArray::number(fresh.size()) + ' ' + digest(fresh);
    return r + "\n\n";
}

// Reads the record of an open copy; false when it is not one.
bool parse(int fd, SaveCopy &c)
{
    QByteArray head;
    if (!readAllAt(fd, 0, kRecordMax, head, true))
        return false;
    const qsizetype end = head.indexOf("\n\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = head.left(end).split('\n');
    if (lines.size() != 5 || lines[0] != kMagic)
        return false;
    const auto field = [&](int i, const char *key) {
        const QByteArray prefix = QByteArray(key) + ' ';
        return lines[i].startsWith(prefix) ? lines[i].mid(prefix.size()).split(' ') : QList<QByteArray>();
    };
    const QList<QByteArray> f = field(1, "fil"), id = field(2, "id"), o = field(3, "gammal"), n = field(4, "ny");
    if (f.size() != 1 || id.size() != 2 || o.size() != 2 || n.size() != 2)
        return false;
    bool ok[4];
    c.filePath = QByteArray::fromHex(f[0]);
    c.device = id[0].toULongLong(&ok[0]);
    c.inode = id[1].toULongLong(&ok[1]);
    c.oldSize = o[0].toLongLong(&ok[2]);
    c.newSize = n[0].toLongLong(&ok[3]);
    c.oldDigest = o[1];
    c.newDigest = n[1];
    c.dataOffset = end + 2;
    return ok[0] && ok[1] && ok[2] && ok[3] && !c.filePath.isEmpty() && c.oldSize >= 0;
}

// A copy whose record was never finished: the save was stopped while it made
// the copy, before it wrote anything into the file itself.
bool unfinishedRecord(int fd)
{
    QByteArray head;
    if (!readAllAt(fd, 0, kRecordMax, head, true) || head.contains("\n\n"))
        return false;
    const QByteArray magic(kMagic);
    return magic.startsWith(head) || head.startsWith(magic);
}

// Opens a copy of this user that no save holds; -1 otherwise.
int openIdle(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()
        || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isCopyName(const QByteArray &name, const QByteArray &base)
{
    const qsizetype at = name.size() - kRandomPart - qsizetype(sizeof kSaveCopyMarker - 1);
    if (at <= 0 || name.mid(at, sizeof kSaveCopyMarker - 1) != kSaveCopyMarker)
        return false;
    if (!base.isEmpty() && name.left(at) != base)
        return false;
    for (qsizetype i = name.size() - kRandomPart; i < name.size(); ++i)
        if (!std::isalnum(uchar(name[i])))
            return false;
    return true;
}

// The copies in `folder` (of the file named `base`, or of any file).
std::vector<SaveCopy> copiesIn(const QByteArray &folder, const QByteArray &base)
{
    std::vector<SaveCopy> out;
    DIR *d = ::opendir(folder.constData());
    if (!d)
        return out;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (!isCopyName(name, base))
            continue;
        SaveCopy c;
        c.copyPath = folder + '/' + name;
        const int fd = openIdle(c.copyPath);
        if (fd < 0)
            continue;
        if (parse(fd, c))
            out.push_back(c);
        else if (!base.isEmpty() && unfinishedRecord(fd))
            ::unlink(c.copyPath.constData()); // nothing of the file depends on it
        ::close(fd);
    }
    ::closedir(d);
    return out;
}

// The file as its copy names it: open, and still the file the copy was made for.
int openFileOf(const SaveCopy &c, int flags)
{
    const int fd = ::open(c.filePath.constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || quint64(st.st_dev) != c.device
        || quint64(st.st_ino) != c.inode) {
        ::close(fd);
        errno = ESTALE;
        return -1;
    }
    return fd;
}

QByteArray realPath(const QByteArray &path)
{
    char real[PATH_MAX];
    return ::realpath(path.constData(), real) ? QByteArray(real) : path;
}

}

namespace {
QString privateCopyFolderName()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/lumrik/kopior");
}

// A real owner-only folder of this user, when it is there (looking never
// makes it).
bool isPrivateFolder(const QByteArray &folder)
{
    struct stat st;
    return ::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
           && (st.st_mode & 0077) == 0;
}

// The folders copies may lie in when not beside their file, as far as they
// are there: the user's folder for copies and the private temporary folder.
QList<QByteArray> privateCopyFolders()
{
    QList<QByteArray> out;
    for (const QString &f : {privateCopyFolderName(), QDir::tempPath() + QStringLiteral("/lumrik-%1").arg(::getuid())})
        if (const QByteArray b = QFile::encodeName(f); isPrivateFolder(b))
            out << b;
    return out;
}
}

QByteArray RkPrivateCopyFolder()
{
    const QString folder = privateCopyFolderName();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    return makePrivateFolder(folder) ? QFile::encodeName(folder) : QByteArray();
}

int RkMakeSaveCopy(const QByteArray &file, const struct stat &st, QByteArrayView old, QByteArrayView fresh,
                   QByteArray &name)
{
    const QByteArray head = record(file, st, old, fresh);
    int err = EACCES;
    // Beside the file; else the user's own folder for copies; else the
    // user's private temporary folder (owner-only too, but it may not
    // outlast a restart).
    for (int place = 0; place < 3; ++place) {
        const QByteArray folder = place == 0   ? RkFolderBytes(file)
                                  : place == 1 ? RkPrivateCopyFolder()
                                               : QFile::encodeName(resolveTmpPath());
        if (folder.isEmpty())
            continue;
        const int fd = createUniqueFile(folder + '/' + baseName(file) + kSaveCopyMarker, 0600, name);
        if (fd < 0) {
            err = errno;
            continue;
        }
        // Locked before anything is in it: no other editor takes it for a
        // copy left behind.
        if (::flock(fd, LOCK_EX) == 0 && writeAllAt(fd, head, 0) && writeAllAt(fd, old, head.size())
            && ::fsync(fd) == 0) {
            syncFolder(folder);
            return fd;
        }
        err = errno ? errno : EIO;
        ::unlink(name.constData());
        ::close(fd);
    }
    errno = err;
    return -1;
}

std::vector<SaveCopy> RkSaveCopiesFor(const QString &path)
{
    const QByteArray file = realPath(RkPathBytes(path));
    struct stat st;
    if (::stat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::vector<SaveCopy> all = copiesIn(RkFolderBytes(file), baseName(file));
    for (const QByteArray &own : privateCopyFolders())
        if (own != RkFolderBytes(file))
            for (SaveCopy &c : copiesIn(own, {}))
                all.push_back(std::move(c));
    std::vector<SaveCopy> out;
    for (SaveCopy &c : all) {
        // The same file, by the name the copy gives: an inode number used
        // again by another file does not count.
        struct stat named;
        if (c.device == quint64(st.st_dev) && c.inode == quint64(st.st_ino)
            && (c.filePath == file
                || (::stat(c.filePath.constData(), &named) == 0 && named.st_dev == st.st_dev
                    && named.st_ino == st.st_ino)))
            out.push_back(std::move(c));
    }
    return out;
}

std::vector<SaveCopy> RkPrivateSaveCopies()
{
    std::vector<SaveCopy> out;
    for (const QByteArray &own : privateCopyFolders())
        for (SaveCopy &c : copiesIn(own, {}))
            out.push_back(std::move(c));
    return out;
}

SaveCopyState RkSaveCopyState(const SaveCopy &c)
{
    const int fd = openFileOf(c, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return SaveCopyState::Gone;
    struct stat st;
    QByteArray now;
    const bool read = ::fstat(fd, &st) == 0 && readAllAt(fd, 0, qsizetype(st.st_size), now, false);
    ::close(fd);
    if (!read)
        return SaveCopyState::Unfinished;
    const QByteArray d = digest(now);
    if (now.size() == c.newSize && d == c.newDigest)
        return SaveCopyState::Finished;
    if (now.size() == c.oldSize && d == c.oldDigest)
        return SaveCopyState::Untouched;
    return SaveCopyState::Unfinished;
}

void RkRestoreSaveCopy(const SaveCopy &c)
{
    const QString shown = RkShownName(RkDecodeName(c.filePath));
    const auto fail = [&](int err) {
        return RkExpected(kErrIo, QStringLiteral("%1: Det gick inte att lägga tillbaka den gamla texten: %2")
                                      .arg(shown, RkSystemErrorText(err)));
    };
    QByteArray old;
    {
        const int copy = openIdle(c.copyPath);
        if (copy < 0)
            throw fail(errno ? errno : EBUSY);
        const bool read = readAllAt(copy, c.dataOffset, qsizetype(c.oldSize), old, false);
        const int err = errno;
        ::close(copy);
        if (!read || digest(old) != c.oldDigest)
            throw fail(read ? EILSEQ : err);
    }
    const int fd = openFileOf(c, O_RDWR);
    if (fd < 0)
        throw fail(errno);
    const bool ok = writeAllAt(fd, old, 0) && ::ftruncate(fd, off_t(old.size())) == 0 && ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!ok)
        throw fail(err ? err : EIO);
    RkDropSaveCopy(c);
}

bool RkDropSaveCopy(const SaveCopy &c)
{
    if (::unlink(c.copyPath.constData()) != 0)
        return false;
    syncFolder(RkFolderBytes(c.copyPath));
    return true;
}

void RkDropSaveCopiesOf(const QByteArray &file, const struct stat &st)
{
    for (const SaveCopy &c : RkSaveCopiesFor(RkDecodeName(file)))
        if (c.device == quint64(st.st_dev) && c.inode == quint64(st.st_ino))
            RkDropSaveCopy(c);
}

}
