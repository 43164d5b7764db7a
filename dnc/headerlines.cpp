#include "dnc/headerlines.h"

#include "core/codepage.h"
#include "core/language.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "core/nctext.h"

#include <QDate>
#include <QFile>
#include <QLocale>

namespace lumrik {

QByteArray headerRule()
{
    return QByteArray("'") + QByteArray(70, '-');
}

QByteArray headerBlock(const QByteArray &source, const QString &machine, const QString &date)
{
    QByteArray out;
    qsizetype pos = 0;
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
    const QByteArray rule = headerRule();
    out += rule + "\r\n";
    out += toCp1252(QStringLiteral("' FRÅN ") + machine + ' ' + date) + "\r\n";
    out += rule + "\r\n";
    return out;
}

bool RkSaveHeaderLines(const QString &path)
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
        const QByteArray block = headerBlock(bytes, gActiveCfg, date);
        QFile header(findFileNoCase(tmpFile(kHeaderTmp)));
        if (!header.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        if (header.write(block) != block.size() || !header.flush())
            return false;
        header.close();
        return !block.isEmpty();
    } catch (...) {
        return false;
    }
}

}
