#include "core/lineends.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/memory.h"
#include "core/paths.h"

#include <QFile>

#include <cstring>

namespace lumrik {

int lineEndTypeOf(QByteArrayView bytes)
{
    const QByteArrayView probe = bytes.first(std::min(bytes.size(), kLineEndProbeBytes));
    return probe.indexOf(QByteArrayView("\r\n")) >= 0 ? kLineEndCrLf : kLineEndLf;
}

static RkExpected readError(const QFile &f, const QString &path)
{
    return RkExpected(kErrIo, QStringLiteral("Filen kan inte läsas: %1 (%2)").arg(RkShownName(path), RkFileErrorText(f)));
}

// Opens the file for reading or throws: 53 when it is not there, 57 otherwise.
static void openForReading(QFile &f, const QString &path)
{
    if (!RkFileExists(path))
        throw RkExpected(kErrFileNotFound, QStringLiteral("Filen hittades inte: %1").arg(RkShownName(RkNativePath(path))));
    if (!RkOpenFile(f, path, QIODevice::ReadOnly))
        throw readError(f, RkNativePath(path));
}

int fileLineEndType(const QString &path)
{
    QFile f;
    openForReading(f, path);
    return lineEndTypeOf(f.read(kLineEndProbeBytes));
}

// The line feeds of the text, one after the other.
template <class Visit> static void forEachLf(const char *p, qsizetype n, Visit visit)
{
    if (n <= 0)
        return;
    const char *end = p + n;
    for (const char *q = static_cast<const char *>(memchr(p, '\n', size_t(n))); q;
         q = static_cast<const char *>(memchr(q + 1, '\n', size_t(end - q - 1)))) {
        if (!visit(q - p))
            return;
    }
}

bool hasLineEndsOf(QByteArrayView text, int type)
{
    const char *p = text.data();
    const bool toLf = type == kLineEndLf;
    bool clean = true;
    forEachLf(p, text.size(), [&](qsizetype i) {
        const bool afterCr = i > 0 && p[i - 1] == '\r';
        clean = afterCr != toLf;
        return clean;
    });
    return clean;
}

QByteArray convertLineEnds(QByteArrayView text, int type)
{
    const bool toLf = type == kLineEndLf;
    const char *p = text.data();
    const qsizetype n = text.size();
    // The line ends to change: CR LF going to LF, or a lone LF going to CR LF.
    const auto changes = [&](qsizetype i) { return (i > 0 && p[i - 1] == '\r') == toLf; };
    qsizetype count = 0;
    forEachLf(p, n, [&](qsizetype i) {
        count += changes(i);
        return true;
    });
    if (count == 0)
        return text.toByteArray();
    // Copied a stretch at a time into a buffer of the final size.
    QByteArray out(toLf ? n - count : n + count, Qt::Uninitialized);
    char *o = out.data();
    qsizetype start = 0;
    forEachLf(p, n, [&](qsizetype i) {
        if (!changes(i))
            return true;
        const qsizetype end = toLf ? i - 1 : i; // the CR dropped, or the CR to come
        memcpy(o, p + start, size_t(end - start));
        o += end - start;
        if (!toLf)
            *o++ = '\r';
        start = i; // the LF goes with the next stretch
        return true;
    });
    memcpy(o, p + start, size_t(n - start));
    return out;
}

QByteArray withLineEnds(const QByteArray &text, int type)
{
    return hasLineEndsOf(text, type) ? text : convertLineEnds(text, type);
}

qsizetype lineEndAt(QByteArrayView text, qsizetype at)
{
    const char *p = text.data();
    const qsizetype n = text.size();
    if (at >= n)
        return n; // an empty text has no bytes to look at, not even a pointer
    const auto *lf = static_cast<const char *>(memchr(p + at, '\n', size_t(n - at)));
    const qsizetype lfAt = lf ? lf - p : n;
    const auto *cr = static_cast<const char *>(memchr(p + at, '\r', size_t(lfAt - at)));
    return cr ? cr - p : lfAt;
}

QByteArray readFileBytes(const QString &path)
{
    QFile f;
    openForReading(f, path);
    // Read straight into memory that is made ready in one go: the pages of a
    // big program would otherwise each be a fault of their own during the
    // read. What the file holds beyond its size when opened (it grew
    // meanwhile, or tells no size) is read after it.
    QByteArray bytes;
    if (const qint64 size = f.size(); size > 0) {
        bytes.resize(size);
        prepareToFill(bytes.data(), size_t(size));
        qint64 got = 0;
        while (got < size) {
            const qint64 n = f.read(bytes.data() + got, size - got);
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    if (f.error() == QFileDevice::NoError) {
        const QByteArray rest = f.readAll();
        if (!rest.isEmpty())
            bytes += rest;
    }
    if (f.error() != QFileDevice::NoError)
        throw readError(f, RkNativePath(path));
    return bytes;
}

}
