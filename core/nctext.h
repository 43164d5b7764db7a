#pragma once
// Small routines on the text of NC program lines and the plain text files
// around them, shared by every subsystem that reads such lines. NC text is
// bytes; the QString forms serve text already shown one character per byte.
// None of them touches an editor, a setting or a file, and none can fail.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace lumrik {

// Blanks (spaces only; a TAB is not a blank) trimmed, as the classic string
// routines trim.
QByteArrayView ltrimBlanks(QByteArrayView s);
QByteArrayView rtrimBlanks(QByteArrayView s);
QByteArrayView trimBlanks(QByteArrayView s);
QString trimSpaces(const QString &s);

// Removes trailing blanks from the line, then cuts its first comment out: from
// the first "(" to the first ")" after it (or to the end of the line). Returns
// the comment with its parentheses, or "" when the line has none.
QByteArray RkClipComment(QByteArray &line);
QString RkClipComment(QString &line);

// The lines of a text: split at CR LF, LF or CR; a last line end does not
// start another line, and an empty text has no lines.
QStringList splitTextLines(const QString &text);

}
