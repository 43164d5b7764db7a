#pragma once
// Line ends of NC program files and the safe writing of a file: plain
// functions without windows.
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
// when the file cannot be opened.
int fileLineEndType(const QString &path);

// The text with its line ends in the given form. Type 1: an LF without a CR
// before it becomes CR LF; type 2: CR LF becomes LF. A lone CR is no line end
// in either form and stays. Linear in the size of the text.
QByteArray convertLineEnds(QByteArrayView text, int type);

// The whole file as bytes. Throws RkError when it cannot be read.
QByteArray readFileBytes(const QString &path);

// Writes a file through a temporary file in the same folder that is renamed
// over the target at the end, keeping the target's permissions. When anything
// fails the old file stays as it was and RkError is thrown. A symbolic link is
// followed: its target is replaced, the link stays.
void writeFileAtomic(const QString &path, QByteArrayView bytes);

}
