#include "documents/hexview.h"

#include "core/errors.h"
#include "core/progress.h"
#include "core/workerrun.h"
#include "documents/frmdocument.h"

#include <QApplication>
#include <QPointer>

#include <memory>

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

namespace {

// One rendering for a window, from the call to the text handed over.
struct HexJob {
    QPointer<frmDocument> doc;
    QByteArray bytes;
    int mode = 0;
    HexShown done;
    QPointer<QWidget> keyboard;
    // Made on the worker, taken on the window's thread once it is done.
    QByteArray out;
    bool noMemory = false;
};

void beginHexJob(const std::shared_ptr<HexJob> &job)
{
    frmDocument *doc = job->doc;
    if (!doc)
        return;
    // Busy from now on; a window busy with other work is so again once that
    // work has given it back.
    doc->setBusy(true);
    if (LongWork::underWay()) {
        LongWork::whenDone(doc, [job] { beginHexJob(job); });
        return;
    }
    WorkerRunOptions options;
    options.owner = doc;
    options.progress = !job->bytes.isEmpty();
    options.maximum = job->bytes.size();
    options.keyboard = job->keyboard;
    WorkerRun::start(
        doc, options,
        [job](const WorkerRun::GoOn &goOn) {
            try {
                job->out = hexRender(job->bytes, job->mode, goOn);
            } catch (const std::bad_alloc &) {
                job->out = QByteArray();
                job->noMemory = true;
            }
        },
        [job](bool aborted) {
            if (job->doc)
                job->doc->setBusy(false);
            // Aborted (or stopped for want of memory): the bytes as they are.
            const QByteArray shown = aborted || job->noMemory || job->out.isNull() ? job->bytes : job->out;
            job->out = QByteArray();
            job->done(shown);
            if (job->noMemory)
                RkShowError(7, QStringLiteral("Slut på minne"));
        });
}

}

void renderHexView(frmDocument *doc, const QByteArray &bytes, int mode, HexShown done)
{
    auto job = std::make_shared<HexJob>();
    job->doc = doc;
    job->bytes = bytes;
    job->mode = mode;
    job->done = std::move(done);
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        job->keyboard = QApplication::focusWidget();
    beginHexJob(job);
}

}
