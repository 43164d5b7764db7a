// The per-line rules of the whole-document operations (no editor, no windows).
#include "ncops/mdlmnfix.h"
#include "ncops/mdlrkfix.h"

#include <algorithm>

namespace lumrik {

namespace {
inline bool isAddressLetter(char c) { return c >= 'A' && c <= 'Z'; }
}

QByteArray PackBlock(QByteArrayView line)
{
    QByteArray out(line.size(), Qt::Uninitialized);
    char *o = out.data();
    qsizetype n = 0;
    bool inComment = false;
    for (char c : line) {
        if (c == '(')
            inComment = true;
        else if (c == ')')
            inComment = false;
        else if (!inComment && (c == ' ' || c == '\t' || c == '\0'))
            continue;
        o[n++] = c;
    }
    out.truncate(n);
    return out;
}

QByteArray UnpackBlock(QByteArray &line)
{
    line = PackBlock(line);
    return UnpackPackedBlock(line);
}

QByteArray UnpackPackedBlock(const QByteArray &line)
{
    if (line.contains('\''))
        return line;
    const char *p = line.constData();
    const qsizetype last = line.size() - 1;
    // A blank goes only before a letter that does not follow a letter: at
    // most one for every two characters.
    QByteArray out(line.size() + line.size() / 2 + 1, Qt::Uninitialized);
    char *o = out.data();
    qsizetype n = 0;
    bool inComment = false;
    for (qsizetype i = 0; i <= last; ++i) {
        const char c = p[i];
        if (c == '(') {
            inComment = true;
        } else if (c == ')') {
            inComment = false;
        } else if (!inComment && i != 0 && i != last && isAddressLetter(c) && !isAddressLetter(p[i - 1])) {
            o[n++] = ' ';
        }
        o[n++] = c;
    }
    out.truncate(n);
    return out;
}

QByteArray clearControlChars(QByteArrayView line)
{
    QByteArray out(line.size(), Qt::Uninitialized);
    qsizetype n = 0;
    for (char c : line)
        if (static_cast<unsigned char>(c) >= 32)
            out.data()[n++] = c;
    out.truncate(n);
    return out;
}

int addDecimalPoints(QByteArray &line, QByteArrayView letters)
{
    int added = 0;
    for (char c : letters) {
        WordRun r;
        // The first occurrence of the letter at a word's start is the one
        // looked at; when it stands in a comment, the comment is left as it is.
        if (!findWordRun(line, QByteArrayView(&c, 1), r) || isInComment(line, r.word))
            continue;
        const QByteArrayView run = QByteArrayView(line).sliced(r.start, r.length);
        if (!readBlockNumber(run)) // a number beyond 32 bits is no number
            continue;
        // Only a number with digits and no decimal separator gets a point: a
        // bare sign stands before a parameter ("X-#<x_max>", "X+Q41"), and a
        // "," right after the digits is the decimal separator ("X1,5").
        if (c == '.' || run.contains('.') || !std::any_of(run.begin(), run.end(), isDigit))
            continue;
        if (r.start + r.length < line.size() && line[r.start + r.length] == ',')
            continue;
        line.insert(r.start + r.length, '.');
        ++added;
    }
    return added;
}

void XyzRange::addLine(QByteArrayView line)
{
    // The line without its first comment ("(" to ")", or to the end).
    QByteArray cut;
    QByteArrayView code = line;
    if (const qsizetype open = line.indexOf('('); open >= 0) {
        cut = line.toByteArray();
        RkClipComment(cut);
        code = cut;
    }
    for (int k = 0; k < 6; ++k) {
        const auto v = extractValue(kLetters[k], code);
        if (!v)
            continue;
        if (!seen[k]) {
            seen[k] = true;
            min[k] = max[k] = *v;
        } else {
            if (*v > max[k]) max[k] = *v;
            if (*v < min[k]) min[k] = *v;
        }
    }
}

}
