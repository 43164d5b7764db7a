#include "documents/hexview.h"

#include "core/progress.h"

#include <QCoreApplication>

namespace lumrik {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Upper-case hexadecimal, at least five digits.
void putOffset(char *&o, quint64 offset)
{
    char buf[16];
    int n = 0;
    do {
        buf[n++] = kHexDigits[offset & 0xF];
        offset >>= 4;
    } while (offset);
    for (int i = n; i < 5; ++i)
        *o++ = '0';
    while (n)
        *o++ = buf[--n];
}

void putByte(char *&o, unsigned char b)
{
    *o++ = kHexDigits[b >> 4];
    *o++ = kHexDigits[b & 0xF];
    *o++ = ' ';
}

constexpr qint64 kProgressEvery = 1001;

}

char hexDumpChar(unsigned char b) { return b < 33 ? '.' : char(b); }

QByteArray hexRender(QByteArrayView bytes, int mode, const HexProgress &progress)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qint64 n = bytes.size();
    QByteArray out("");
    if (n == 0)
        return out;
    qint64 nextReport = kProgressEvery;

    if (mode == 3) {
        // 5+ offset digits, " | ", 50 hex, " | ", 16 characters, CR LF.
        const qint64 lines = (n + 15) / 16;
        out.resize(lines * (16 + 3 + 50 + 3 + 16 + 2) + 16);
        char *o = out.data();
        for (qint64 line = 0; line * 16 < n; ++line) {
            const qint64 first = line * 16;
            const int count = int(std::min<qint64>(16, n - first));
            if (progress && first + count >= nextReport) {
                if (!progress(first))
                    return {};
                nextReport = first + count + kProgressEvery;
            }
            putOffset(o, quint64(first));
            *o++ = ' ';
            *o++ = '|';
            *o++ = ' ';
            char *hexStart = o;
            for (int k = 0; k < count; ++k) {
                putByte(o, s[first + k]);
                if (k == 7) {
                    *o++ = '-';
                    *o++ = ' ';
                }
            }
            while (o - hexStart < 50)
                *o++ = ' ';
            *o++ = ' ';
            *o++ = '|';
            *o++ = ' ';
            for (int k = 0; k < 16; ++k)
                *o++ = k < count ? hexDumpChar(s[first + k]) : ' ';
            if (count == 16) {
                *o++ = '\r';
                *o++ = '\n';
            }
        }
        out.truncate(o - out.data());
        return out;
    }

    out.resize(n * 3 + (n / 31) * 2);
    char *o = out.data();
    for (qint64 i = 0; i < n; ++i) {
        if (progress && i + 1 >= nextReport) {
            if (!progress(i))
                return {};
            nextReport = i + 1 + kProgressEvery;
        }
        putByte(o, s[i]);
        if ((i + 1) % 31 == 0) {
            *o++ = '\r';
            *o++ = '\n';
        }
    }
    return out;
}

QByteArray hexRenderWithProgress(const QByteArray &bytes, int mode, QWidget *owner)
{
    if (bytes.isEmpty())
        return hexRender(bytes, mode);
    ProgressRun run(owner, bytes.size());
    QByteArray out = hexRender(bytes, mode, [&run](qint64 done) { return run.step(done); });
    if (out.isNull() || run.aborted())
        return bytes; // aborted: the raw bytes, still shown read-only
    return out;
}

}
