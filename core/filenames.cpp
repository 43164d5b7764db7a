#include "core/filenames.h"

#include "core/atomicfile.h"
#include "core/codepage.h"
#include "core/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumrik {

namespace {

constexpr char16_t kKeptBase = 0xDC00;
// A "\" of a name on disk is a character of that name, never a separator.
constexpr char16_t kKeptBackslash = kKeptBase + u'\\';

bool isKept(const QString &s, qsizetype i)
{
    const char16_t c = s[i].unicode();
    return ((c >= 0xDC80 && c <= 0xDCFF) || c == kKeptBackslash) && (i == 0 || !s[i - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at p (1..4), or 0 when none starts there.
int utf8Sequence(const unsigned char *p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int n = 0;
    char32_t cp = 0, least = 0;
    if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (int k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

QByteArray pathBytesOf(const QString &native)
{
    QByteArray out;
    out.reserve(native.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < native.size(); ++i) {
        if (!isKept(native, i))
            continue;
        out += native.mid(runStart, i - runStart).toUtf8();
        out += char(native[i].unicode() - kKeptBase);
        runStart = i + 1;
    }
    out += native.mid(runStart).toUtf8();
    return out;
}

}

QString RkDecodeName(QByteArrayView raw)
{
    const auto *p = reinterpret_cast<const unsigned char *>(raw.data());
    QString out;
    out.reserve(raw.size());
    qsizetype i = 0;
    while (i < raw.size()) {
        const int n = utf8Sequence(p + i, raw.size() - i);
        if (n == 0 || p[i] == '\\') {
            out += QChar(char16_t(kKeptBase + p[i]));
            ++i;
            continue;
        }
        out += QString::fromUtf8(raw.sliced(i, n));
        i += n;
    }
    return out;
}

bool RkHasKeptBytes(const QString &path)
{
    for (qsizetype i = 0; i < path.size(); ++i)
        if (isKept(path, i))
            return true;
    return false;
}

QByteArray RkPathBytes(const QString &path) { return pathBytesOf(RkNativePath(path)); }

QByteArray RkNameBytes(const QString &text) { return pathBytesOf(text); }

QString RkShownName(const QString &path)
{
    if (!RkHasKeptBytes(path))
        return path;
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i)
        if (isKept(out, i))
            out[i] = fromCp1252(QByteArray(1, char(out[i].unicode() - kKeptBase))).at(0);
    return out;
}

bool RkOpenFile(QFile &file, const QString &path, QIODevice::OpenMode mode)
{
    if (!RkHasKeptBytes(path)) {
        file.setFileName(RkNativePath(path));
        return file.open(mode);
    }
    int flags = O_CLOEXEC | O_NOCTTY;
    const bool write = mode & QIODevice::WriteOnly;
    flags |= write ? ((mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (write)
        flags |= O_CREAT | ((mode & QIODevice::Append) ? O_APPEND : 0)
                 | ((mode & QIODevice::Truncate) || !(mode & (QIODevice::ReadOnly | QIODevice::Append)) ? O_TRUNC : 0);
    const int fd = ::open(RkPathBytes(path).constData(), flags, 0666);
    if (fd < 0)
        return false;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool RkIsFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (!RkHasKeptBytes(path))
        return QFileInfo(RkNativePath(path)).isFile();
    struct stat st;
    return ::stat(RkPathBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QDateTime RkFileModified(const QString &path)
{
    if (!RkHasKeptBytes(path)) {
        const QFileInfo fi(RkNativePath(path));
        return fi.isFile() ? fi.lastModified() : QDateTime();
    }
    struct stat st;
    if (::stat(RkPathBytes(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    // As QFileInfo gives it: milliseconds, local time.
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

namespace {

// rename() that never replaces an existing entry.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that kind of rename: asked first.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

}

int RkRenamePath(const QString &from, const QString &to)
{
    return renameNoReplace(RkPathBytes(from), RkPathBytes(to));
}

QByteArray RkFolderBytes(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

}
