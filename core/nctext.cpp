#include "core/nctext.h"

namespace lumrik {

namespace {

// The two forms of a line differ only in their character type.
template <class Text>
Text clipComment(Text &line)
{
    qsizetype n = line.size();
    while (n > 0 && line.at(n - 1) == ' ')
        --n;
    line.truncate(n);
    const qsizetype a = line.indexOf('(');
    if (a < 0)
        return {};
    const qsizetype b = line.indexOf(')', a + 1);
    const qsizetype stop = b < 0 ? line.size() : b + 1;
    Text comment = line.mid(a, stop - a);
    line.remove(a, stop - a);
    return comment;
}

}

QByteArrayView ltrimBlanks(QByteArrayView s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.sliced(i);
}

QByteArrayView rtrimBlanks(QByteArrayView s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.first(n);
}

QByteArrayView trimBlanks(QByteArrayView s) { return rtrimBlanks(ltrimBlanks(s)); }

QString trimSpaces(const QString &s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s[a] == u' ')
        ++a;
    while (b > a && s[b - 1] == u' ')
        --b;
    return s.mid(a, b - a);
}

QByteArray RkClipComment(QByteArray &line) { return clipComment(line); }
QString RkClipComment(QString &line) { return clipComment(line); }

QStringList splitTextLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

}
