#include "core/atomicfile.h"

#include "core/errors.h"
#include "core/fd.h"
#include "core/filenames.h"
#include "core/paths.h"
#include "core/savecopy.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace lumrik {

namespace {


bool mayWriteIn(const QByteArray &folder)
{
    return ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::function<void(InPlaceStep)> gStepHook;
std::function<void(const QByteArray &)> gBeforeWrite;

void beforeWrite(const QByteArray &name)
{
    if (gBeforeWrite)
        gBeforeWrite(name);
}

void step(InPlaceStep s)
{
    if (gStepHook)
        gStepHook(s);
}

constexpr char kTempStem[] = ".lumrik-";
constexpr int kRandomPart = 6;

// Removes what saves cut short left in `folder`: temporary files of this
// writer, of this user, that no save under way holds.
void dropLeftTemps(const QByteArray &folder)
{
    DIR *d = ::opendir(folder.constData());
    if (!d)
        return;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name.size() != qsizetype(sizeof kTempStem - 1) + kRandomPart || !name.startsWith(kTempStem))
            continue;
        bool ours = true;
        for (qsizetype i = sizeof kTempStem - 1; i < name.size(); ++i)
            ours = ours && std::isalnum(uchar(name[i]));
        if (!ours)
            continue;
        const QByteArray path = folder + '/' + name;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st, named;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.constData(), &named) == 0
            && named.st_dev == st.st_dev && named.st_ino == st.st_ino)
            ::unlink(path.constData());
        ::close(fd);
    }
    ::closedir(d);
}

QString shownBytes(const QByteArray &path) { return RkShownName(RkDecodeName(path)); }

RkExpected failure(long number, const QString &shown, int err)
{
    return RkExpected(number, QStringLiteral("%1: %2").arg(shown, RkSystemErrorText(err)));
}

// A write that did not get all its bytes to the disk.
RkExpected writeFailure(const QString &shown, int err, const QString &note = {})
{
    const QString why = err != 0 && err != ENOSPC && err != EFBIG
                            ? RkSystemErrorText(err)
                            : QStringLiteral("Det gick inte att skriva hela filen (är disken full?)");
    return RkExpected(kErrDiskFull, QStringLiteral("%1: %2").arg(shown, why) + note);
}

// Why a new file cannot be made in `folder`: the folder is asked first, so
// that the answer names the real obstacle; else the error of the failed call.
int creationError(const QByteArray &folder, int callError)
{
    struct stat st;
    if (::stat(folder.constData(), &st) != 0)
        return errno == ENOENT ? ENOENT : callError;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    if (!mayWriteIn(folder))
        return errno;
    return callError;
}

long creationNumber(int err)
{
    return err == ENOENT ? kErrPathNotFound : err == EACCES || err == EPERM ? kErrPermissionDenied : kErrIo;
}

// ---- extended attributes (POSIX ACLs are two of them) ----

using Xattrs = std::map<QByteArray, QByteArray>;

// Reads every attribute through `list` and `get` (for a path or a
// descriptor); false when one cannot be read. A file system without
// attributes has none.
template <typename List, typename Get>
bool readXattrs(List list, Get get, Xattrs &out)
{
    out.clear();
    QByteArray names;
    for (;;) {
        const ssize_t n = list(nullptr, 0);
        if (n < 0)
            return errno == ENOTSUP;
        names.resize(n);
        const ssize_t got = list(names.data(), size_t(n));
        if (got >= 0) {
            names.resize(got);
            break;
        }
        if (errno != ERANGE)
            return false;
    }
    for (const QByteArray &name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value;
        for (;;) {
            const ssize_t n = get(name.constData(), nullptr, 0);
            if (n < 0 && errno == ENODATA)
                break; // gone since it was listed
            if (n < 0)
                return false;
            value.resize(n);
            const ssize_t got = get(name.constData(), value.data(), size_t(n));
            if (got >= 0) {
                value.resize(got);
                out[name] = value;
                break;
            }
            if (errno != ERANGE)
                return false;
        }
    }
    return true;
}

bool pathXattrs(const QByteArray &path, Xattrs &out)
{
    const char *p = path.constData();
    return readXattrs([p](char *b, size_t n) { return ::llistxattr(p, b, n); },
                      [p](const char *name, void *b, size_t n) { return ::lgetxattr(p, name, b, n); }, out);
}

bool fdXattrs(int fd, Xattrs &out)
{
    return readXattrs([fd](char *b, size_t n) { return ::flistxattr(fd, b, n); },
                      [fd](const char *name, void *b, size_t n) { return ::fgetxattr(fd, name, b, n); }, out);
}

// Gives the new file `fd` the old file's owner, group, permissions and
// extended attributes; false when any of them cannot be given (another
// user's file, a group the user is not in, an attribute that may not be set).
bool takeOver(const QByteArray &old, const struct stat &was, int fd)
{
    Xattrs want, have;
    if (!pathXattrs(old, want))
        return false;
    struct stat now;
    if (::fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != was.st_uid || now.st_gid != was.st_gid) && ::fchown(fd, was.st_uid, was.st_gid) != 0)
        return false;
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(fd, was.st_mode & 07777) != 0 || !fdXattrs(fd, have))
        return false;
    // A default ACL of the folder gave the new file one the old did not have.
    for (const auto &[name, value] : have)
        if (!want.count(name) && ::fremovexattr(fd, name.constData()) != 0)
            return false;
    for (const auto &[name, value] : want) {
        const auto it = have.find(name);
        if ((it == have.end() || it->second != value)
            && ::fsetxattr(fd, name.constData(), value.constData(), size_t(value.size()), 0) != 0)
            return false;
    }
    // Whatever the system made of it must be exactly the old file's.
    return ::fstat(fd, &now) == 0 && now.st_uid == was.st_uid && now.st_gid == was.st_gid
           && (now.st_mode & 07777) == (was.st_mode & 07777) && fdXattrs(fd, have) && have == want;
}

// ---- in place ----

// The old file's times back after a failed write, so that the file does not
// look changed on disk (only its owner and root may set them).
void keepTimes(int fd, const struct stat &was)
{
    const struct timespec times[2] = {was.st_atim, was.st_mtim};
    ::futimens(fd, times);
}

RkExpected swapped(const QString &shown)
{
    return RkExpected(kErrIo, QStringLiteral("%1: Filen har bytts ut eller ändrats medan den skulle sparas. "
                                             "Inget sparades.")
                                  .arg(shown));
}

// Writes `bytes` into the existing file `file` (no link followed), keeping
// its owner, group, permissions, attributes and links. The old bytes are kept
// in a copy until the new ones are on the disk.
FileIdentity writeInPlace(const QByteArray &file, const QString &shown, QByteArrayView bytes,
                          const struct stat &was)
{
    Fd f(::open(file.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (f.fd < 0) {
        const int err = errno;
        throw failure(err == EACCES || err == EPERM ? kErrPermissionDenied : kErrIo, shown, err);
    }
    struct stat st;
    QByteArray old;
    if (::fstat(f.fd, &st) != 0 || !readAllAt(f.fd, 0, qsizetype(st.st_size), old, false))
        throw failure(kErrIo, shown, errno);
    if (st.st_dev != was.st_dev || st.st_ino != was.st_ino)
        throw swapped(shown);
    QByteArray copyName;
    Fd copy(RkMakeSaveCopy(file, st, old, bytes, copyName));
    if (copy.fd < 0)
        throw writeFailure(shown, errno);
    step(InPlaceStep::CopyKept);
    const auto dropCopy = [&] {
        ::unlink(copyName.constData());
        syncFolder(RkFolderBytes(copyName));
    };

    // Room for the longer text is asked for first: a full disk is then seen
    // before a single old byte is replaced. Not every file system can.
    if (bytes.size() > old.size()
        && ::fallocate(f.fd, FALLOC_FL_KEEP_SIZE, off_t(old.size()), off_t(bytes.size() - old.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
        const int err = errno;
        keepTimes(f.fd, st);
        dropCopy();
        throw writeFailure(shown, err);
    }
    step(InPlaceStep::RoomTaken);
    bool written = true;
    for (qsizetype at = 0; written && at < bytes.size(); at += kInPlacePiece) {
        written = writeAllAt(f.fd, bytes.sliced(at, std::min(kInPlacePiece, bytes.size() - at)), at);
        if (written)
            step(InPlaceStep::PieceWritten);
    }
    if (written && ::fsync(f.fd) == 0) {
        step(InPlaceStep::NewSynced);
        if (::ftruncate(f.fd, off_t(bytes.size())) == 0 && ::fsync(f.fd) == 0) {
            step(InPlaceStep::Cut);
            const FileIdentity id = RkFileIdentityOfFd(f.fd);
            f.close(); // synced: what close could report is already known
            dropCopy();
            return id;
        }
    }
    const int err = errno;
    // The old text goes back where it was.
    if (writeAllAt(f.fd, old, 0) && ::ftruncate(f.fd, off_t(old.size())) == 0 && ::fsync(f.fd) == 0) {
        keepTimes(f.fd, st);
        dropCopy();
        throw writeFailure(shown, err);
    }
    throw writeFailure(shown, err, QStringLiteral(" Den gamla filen finns kvar som %1").arg(shownBytes(copyName)));
}

RkExpected folderFailure(long number, const QString &native, int err)
{
    return RkExpected(number, QStringLiteral("%1: Filen kan inte skapas i mappen %2: %3")
                               .arg(RkShownName(native), RkShownName(QFileInfo(native).absolutePath()),
                                    RkSystemErrorText(err)));
}

// Writes a new file beside `target` and renames it over it. `was` is the old
// file, or null for a new one. False (nothing changed) when the new file
// cannot be given what the old one had, so that it must be written in place.
// The identity of the new file in `written`.
bool writeByRename(const QByteArray &target, const QString &native, const struct stat *was, QByteArrayView bytes,
                   FileIdentity &written)
{
    const QString shown = RkShownName(native);
    const QByteArray folder = RkFolderBytes(target);
    dropLeftTemps(folder);
    QByteArray temp;
    Fd f(createUniqueFile(folder + '/' + kTempStem, was ? 0600 : 0666, temp));
    if (f.fd < 0) {
        const int err = errno;
        if (was && (err == EACCES || err == EPERM))
            return false;
        const int why = creationError(folder, err);
        if (!was && why != ENOENT && why != ENOTDIR && !mayWriteIn(folder))
            throw folderFailure(creationNumber(why), native, why); // the folder is the obstacle
        throw failure(creationNumber(why), shown, why);
    }
    // Held while it is written: another editor's clean-up leaves it alone.
    ::flock(f.fd, LOCK_EX);
    const auto drop = [&] { ::unlink(temp.constData()); };
    if (was && !takeOver(target, *was, f.fd)) {
        drop();
        return false;
    }
    if (!writeAllAt(f.fd, bytes, 0) || ::fsync(f.fd) != 0) {
        const int err = errno;
        drop();
        throw writeFailure(shown, err);
    }
    // A write clears the set-id bits of a file whose writer may not set them.
    struct stat now;
    if (was && ::fstat(f.fd, &now) == 0 && (now.st_mode & 07777) != (was->st_mode & 07777))
        ::fchmod(f.fd, was->st_mode & 07777);
    written = RkFileIdentityOfFd(f.fd);
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        drop();
        if (was && (err == EACCES || err == EPERM || err == EBUSY))
            return false; // a sticky folder, a file mounted over
        throw failure(kErrIo, shown, was ? err : creationError(folder, err));
    }
    if (!f.close()) {
        const int err = errno;
        throw writeFailure(shown, err);
    }
    syncFolder(folder);
    return true;
}

}

void setInPlaceStepHook(std::function<void(InPlaceStep)> hook) { gStepHook = std::move(hook); }

void setBeforeWriteHook(std::function<void(const QByteArray &)> hook) { gBeforeWrite = std::move(hook); }

int createUniqueFile(const QByteArray &stem, mode_t mode, QByteArray &name)
{
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem;
        for (int i = 0; i < kRandomPart; ++i)
            name += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool readAllAt(int fd, qint64 offset, qsizetype size, QByteArray &out, bool upTo)
{
    out.resize(size);
    qsizetype done = 0;
    while (done < size) {
        const ssize_t r = ::pread(fd, out.data() + done, size_t(size - done), off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 && upTo)
            break;
        if (r <= 0) {
            if (r == 0)
                errno = EIO; // the file got shorter while it was read
            return false;
        }
        done += r;
    }
    out.resize(done);
    return true;
}

bool writeAllAt(int fd, QByteArrayView bytes, qint64 offset)
{
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    while (n > 0) {
        errno = 0;
        const ssize_t w = ::pwrite(fd, p, size_t(n), off_t(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= w;
        offset += w;
    }
    return true;
}

FileIdentity writeFileAtomic(const QString &path, QByteArrayView bytes, const FileIdentity *expected,
                             LinkRule rule)
{
    const QString native = RkNativePath(path);
    const QString shown = RkShownName(native);
    // Every link on the way judged and followed here, once: from now on the
    // name is written as it is, no link at it followed (the rename replaces
    // whatever has the name; the write in place opens it without following).
    const WriteTarget to = RkResolveForWrite(native, rule);
    if (!to.problem.isEmpty())
        throw RkExpected(kErrPermissionDenied, to.problem);
    const QByteArray target = to.name;
    FileIdentity written;
    struct stat st;
    if (::lstat(target.constData(), &st) != 0 || (to.replaceLink && S_ISLNK(st.st_mode))) {
        if (expected && expected->valid)
            throw swapped(shown);
        beforeWrite(target);
        writeByRename(target, native, nullptr, bytes, written);
        return written;
    }
    // A link where the walk found the file: swapped in meanwhile.
    if (S_ISLNK(st.st_mode))
        throw swapped(shown);
    if (S_ISDIR(st.st_mode))
        throw failure(kErrIo, shown, EISDIR);
    if (expected && !RkFileIdentity(st).unchanged(*expected))
        throw swapped(shown);
    // Replacing a write-protected file is refused as opening it for writing
    // would be (also for root, when nobody may write it).
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0 || !(st.st_mode & 0222))
        throw failure(kErrPermissionDenied, shown, EACCES);
    // A hand-off file is the editor's own: it is replaced, whatever had the
    // name (a second link to it included), and nothing of the old is kept.
    if (rule == LinkRule::NoLinks && S_ISREG(st.st_mode)) {
        beforeWrite(target);
        writeByRename(target, native, nullptr, bytes, written);
        return written;
    }
    if (S_ISREG(st.st_mode))
        RkDropSaveCopiesOf(target, st);
    // A file with other names must stay one file; a folder that may not be
    // written in leaves the file's own bytes as the only way.
    const bool inPlace = S_ISREG(st.st_mode) && (st.st_nlink > 1 || !mayWriteIn(RkFolderBytes(target)));
    beforeWrite(target);
    if (!inPlace && writeByRename(target, native, &st, bytes, written))
        return written;
    if (!S_ISREG(st.st_mode))
        throw failure(kErrPermissionDenied, shown, EACCES);
    return writeInPlace(target, shown, bytes, st);
}

}
