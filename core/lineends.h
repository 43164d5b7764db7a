#pragma once
// Line ends of NC program files and reading a file whole: plain functions
// without windows. Files are written through core/atomicfile.h.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace lumrik {

// Line-end types: 1 = every line ends in CR LF, 2 = LF alone.
enum LineEndType { kLineEndCrLf = 1, kLineEndLf = 2 };

// Bytes looked at to classify a file.
inline constexpr qsizetype kLineEndProbeBytes = 1024;

// 1 when CR LF occurs in the first 1024 bytes, else 2 (an empty text gives 2).
int lineEndTypeOf(QByteArrayView bytes);

// Reads the first 1024 bytes of a file and classifies them. Throws RkError
// when the file cannot be opened (53 when it is not there, else 57).
int fileLineEndType(const QString &path);

// The text with its line ends in the given form. Type 1: an LF without a CR
// before it becomes CR LF; type 2: CR LF becomes LF. A lone CR is no line end
// in either form and stays. Linear in the size of the text.
QByteArray convertLineEnds(QByteArrayView text, int type);
// The same for a text held already: when its line ends are in the given form
// it is given back itself, without a copy.
QByteArray withLineEnds(const QByteArray &text, int type);
// True when every line end of the text is in the given form already.
bool hasLineEndsOf(QByteArrayView text, int type);

// Where the line that holds `at` ends: the first CR or LF from `at` on, or
// the end of the text (lines end at CR LF, LF or a lone CR, as the editor
// counts them).
qsizetype lineEndAt(QByteArrayView text, qsizetype at);

// The whole file as bytes. Throws RkExpected when it cannot be read (53 when it
// is not there, else 57).
QByteArray readFileBytes(const QString &path);

}
