#include "dnc/headerlines.h"

#include "core/codepage.h"
#include "core/currentmachine.h"
#include "core/language.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/session.h"
#include "core/nctext.h"

#include <QDate>
#include <QFile>
#include <QLocale>

#include <unistd.h>

namespace lumrik {

QByteArray headerRule()
{
    return QByteArray("'") + QByteArray(70, '-');
}

namespace {
// Text in an encoding, a character it cannot hold as "?".
QByteArray encodeOrMark(const QString &text, TextEncoding e)
{
    return e == TextEncoding::Utf8 ? text.toUtf8() : toCp1252(text);
}
}

QByteArray headerBlock(const QByteArray &source, const QString &machine, const QString &date,
                       std::optional<TextEncoding> into)
{
    QByteArray out;
    // A byte-order mark belongs to the file, not to its first line.
    qsizetype pos = source.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype n = source.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && source[end] != '\r' && source[end] != '\n')
            ++end;
        const QByteArrayView line(source.constData() + pos, end - pos);
        // Skip the line end: CR LF, CR or LF.
        pos = end;
        if (pos < n && source[pos] == '\r')
            ++pos;
        if (pos < n && source[pos] == '\n')
            ++pos;
        // Blanks only: a line indented by a TAB is not a comment line.
        const QByteArrayView t = trimBlanks(line);
        if (t.isEmpty())
            continue;
        if (t[0] != '\'')
            break;
        out += line;
        out += "\r\n";
    }
    if (out.isEmpty())
        return out;
    const TextEncoding own = textEncodingOf(source);
    const TextEncoding target = into.value_or(own);
    if (target != own)
        out = encodeOrMark(decodeText(out, own), target);
    const QByteArray rule = headerRule();
    out += rule + "\r\n";
    out += encodeOrMark(QStringLiteral("' FRÅN ") + machine + ' ' + date, target) + "\r\n";
    out += rule + "\r\n";
    return out;
}

bool RkSaveHeaderLines(const QString &path, std::optional<TextEncoding> into)
{
    RkTraceProc(QStringLiteral("RkSaveHeaderLines()"));
    try {
        QFile source(findFileNoCase(ExpandExePath(path)));
        if (path.isEmpty() || !source.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = source.readAll();
        if (source.error() != QFileDevice::NoError)
            return false;
        source.close();
        const QString date = RkShortDate(QDate::currentDate());
        const QByteArray block = headerBlock(bytes, currentMachine().name(), date, into);
        // A hand-off file: made new, never written through a link at its name.
        const QString name = findFileNoCase(tmpFile(kHeaderTmp));
        const int fd = openHandOffFile(name);
        QFile header;
        if (fd < 0)
            return false;
        if (!header.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return false;
        }
        if (header.write(block) != block.size() || !header.flush())
            return false;
        header.close();
        return !block.isEmpty();
    } catch (...) {
        return false;
    }
}

}
