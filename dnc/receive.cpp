#include "dnc/receive.h"

#include "core/errors.h"
#include "core/paths.h"
#include "core/session.h"

#include <QFileInfo>

#include <unistd.h>

namespace lumrik {

const std::array<unsigned char, 129> &eiaToIsoTable()
{
    static const std::array<unsigned char, 129> table = [] {
        std::array<unsigned char, 129> t{};
        const struct { unsigned char eia; char iso; } pairs[] = {
            {0x01, '1'}, {0x02, '2'}, {0x04, '4'}, {0x07, '7'}, {0x08, '8'}, {0x0B, '%'},
            {0x0E, '&'}, {0x10, ' '}, {0x13, '3'}, {0x15, '5'}, {0x16, '6'}, {0x19, '9'},
            {0x1A, '('}, {0x20, '0'}, {0x23, 'T'}, {0x25, 'V'}, {0x26, 'W'}, {0x29, 'Z'},
            {0x2A, '\b'}, {0x31, '/'}, {0x32, 'S'}, {0x34, 'U'}, {0x37, 'X'}, {0x38, 'Y'},
            {0x3B, ','}, {0x3E, '\t'}, {0x40, '-'}, {0x43, 'L'}, {0x45, 'N'}, {0x46, 'O'},
            {0x49, 'R'}, {0x4A, ')'}, {0x51, 'J'}, {0x52, 'K'}, {0x54, 'M'}, {0x57, 'P'},
            {0x58, 'Q'}, {0x61, 'A'}, {0x62, 'B'}, {0x64, 'D'}, {0x67, 'G'}, {0x68, 'H'},
            {0x6B, '.'}, {0x70, '+'}, {0x73, 'C'}, {0x75, 'E'}, {0x76, 'F'}, {0x79, 'I'},
            {0x80, '\n'},
        };
        for (const auto &p : pairs)
            t[p.eia] = static_cast<unsigned char>(p.iso);
        return t;
    }();
    return table;
}

RxdChunkProcessor::RxdChunkProcessor(const RxdOptions &options) : o_(options), wait_(options.waitStartChr)
{
    for (char c : o_.filter)
        drop_[static_cast<unsigned char>(c)] = true;
}

RxdChunk RxdChunkProcessor::process(QByteArrayView bytes)
{
    RxdChunk out;
    process(bytes, out);
    return out;
}

void RxdChunkProcessor::process(QByteArrayView bytes, RxdChunk &out)
{
    const auto &eia = eiaToIsoTable();
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    if (wait_) {
        while (i < n && static_cast<unsigned char>(p[i]) != o_.startChr)
            ++i;
        out.skipped += i;
        if (i == n)
            return;
        wait_ = false;
        if (o_.kearney)
            out.sendDc1 = true;
    }
    if (o_.binary) {
        out.file.append(p + i, n - i);
        out.display.append(p + i, n - i);
        return;
    }
    const qsizetype fileStart = out.file.size(), displayStart = out.display.size();
    out.file.reserve(fileStart + (n - i) + (n - i) / 8 + 16);
    out.display.reserve(displayStart + (n - i) + (n - i) / 8 + 16);
    for (; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (o_.eia) {
            if (c > 128) {
                // A code that is not EIA ends the program: what came before it stays.
                out.eiaError = true;
                return;
            }
            c = eia[c];
        }
        if (drop_[c])
            continue;
        if (c == '\n') {
            out.file.append("\r\n", 2);
            out.display.append("\r\n", 2);
        } else {
            if (c != '\r' && c != 0)
                out.file.append(char(c));
            out.display.append(char(c));
        }
    }
}

RxdTail rxdTail(QByteArrayView chunk, RxdTail before)
{
    for (qsizetype i = chunk.size(); i-- > 0;) {
        const auto c = static_cast<unsigned char>(chunk[i]);
        if (c == '\n' || c == '\r' || c == '%')
            return RxdTail::AtBlockEnd;
        if (c > ' ' && c != 0x7F)
            return RxdTail::InBlock;
    }
    return before;
}

RxdReception::RxdReception(const RxdOptions &options) : proc_(options) {}

RxdReception::~RxdReception()
{
    if (file_.isOpen())
        file_.close();
}

void RxdReception::open(const QString &path)
{
    if (file_.isOpen())
        file_.close();
    path_ = path;
    file_.setFileName(path);
    received_ = written_ = synced_ = 0;
    tail_ = RxdTail::Nothing;
    sinceSync_.invalidate();
    // A hand-off file: made new, never written through a link at its name.
    const int fd = openHandOffFile(path);
    const int err = errno;
    if (fd < 0 || !file_.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const QString why = fd < 0 ? RkSystemErrorText(err) : RkFileErrorText(file_);
        if (fd >= 0)
            ::close(fd);
        throw RkExpected(kErrPathNotFound, QStringLiteral("Kan inte skapa filen %1: %2")
                                            .arg(QFileInfo(path).fileName(), why));
    }
}

RxdChunk RxdReception::feed(QByteArrayView bytes)
{
    RxdChunk out;
    proc_.process(bytes, out);
    received_ += bytes.size();
    // Told by what arrived, CRs included: a machine that ends its blocks with
    // CR alone ends them all the same, though the file keeps no CR.
    tail_ = rxdTail(out.display, tail_);
    if (out.file.isEmpty())
        return out;
    if (!file_.isOpen())
        throw RkExpected(kErrIo, QStringLiteral("Filen %1 är inte öppen").arg(QFileInfo(path_).fileName()));
    if (file_.write(out.file) != out.file.size() || !file_.flush())
        throw RkExpected(kErrIo, QStringLiteral("Det gick inte att skriva till %1: %2")
                                  .arg(QFileInfo(path_).fileName(), RkFileErrorText(file_)));
    written_ += out.file.size();
    if (!sinceSync_.isValid() || sinceSync_.elapsed() >= 1000)
        sync();
    return out;
}

void RxdReception::sync()
{
    if (!file_.isOpen() || synced_ == written_)
        return;
    // Flushed after every chunk already; this puts it on the disk.
    ::fdatasync(file_.handle());
    synced_ = written_;
    sinceSync_.start();
}

void RxdReception::close()
{
    if (!file_.isOpen())
        return;
    const bool ok = file_.flush();
    const QString err = RkFileErrorText(file_);
    if (ok)
        sync();
    file_.close();
    if (!ok)
        throw RkExpected(kErrIo, QStringLiteral("Det gick inte att skriva till %1: %2")
                                  .arg(QFileInfo(path_).fileName(), err));
}

void RxdReception::discard()
{
    if (file_.isOpen())
        file_.close();
    if (!path_.isEmpty())
        QFile::remove(path_);
}

QString rxdExtension(const QString &fileExtension)
{
    QString first = fileExtension.section(';', 0, 0).trimmed();
    const qsizetype dot = first.indexOf('.');
    if (dot < 0)
        return {};
    const QString ext = first.mid(dot);
    if (ext.size() < 2 || ext.contains('*') || ext.contains('?'))
        return {};
    return ext;
}

QString rxdTargetName(const QString &name, const QString &fileExtension, const QString &untitled)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return untitled;
    if (n == untitled)
        return n;
    const QString ext = rxdExtension(fileExtension);
    if (ext.isEmpty() || n.endsWith(ext, Qt::CaseInsensitive))
        return n;
    return n + ext;
}

}
