#pragma once
// File names are bytes on this system, and programs copied from old Windows
// PCs and archives carry names in Windows-1252 ("X\xD6.NC") that are not
// valid UTF-8. Such a name is kept exactly: every byte of it that does not
// decode as UTF-8 stands in the text as the code point U+DC00 + byte (a lone
// surrogate, which valid UTF-8 never gives), so that the text names the file
// it came from and nothing else. A "\" of a name is kept the same way
// (U+DC5C): on this system it is a character of the name, and the routines
// that read stored paths ("[exedir]\ncprog\") never take it for a
// separator. RkPathBytes gives the bytes back, and the
// routines below open, test and replace such files; the eye gets
// RkShownName, the kept bytes read as Windows-1252.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QIODevice>
#include <QString>

class QFile;

namespace lumrik {

// A name (or path) as read from the file system, kept bytes marked.
QString RkDecodeName(QByteArrayView raw);
// The bytes of a path on disk ("\" read as "/", kept bytes given back).
QByteArray RkPathBytes(const QString &path);
// The bytes of a text as it is (kept bytes given back, nothing else changed):
// what a name or an argument is on this system.
QByteArray RkNameBytes(const QString &text);
// The folder part of a path's bytes ("." for a bare name, "/" at the root).
QByteArray RkFolderBytes(const QByteArray &path);
// True when the path holds kept bytes (Qt's own file routines cannot reach it).
bool RkHasKeptBytes(const QString &path);
// The path as shown: kept bytes read as Windows-1252 ("X\xD6.NC" shows as "XÖ.NC").
QString RkShownName(const QString &path);

// Opens a file by its path, kept bytes included (as QFile::open does for
// other paths; a write creates the file).
bool RkOpenFile(QFile &file, const QString &path, QIODevice::OpenMode mode);
// A regular file (a link to one counts) exists at the path; its time of last
// change (invalid when none).
bool RkIsFile(const QString &path);
QDateTime RkFileModified(const QString &path);
// Renames, never over an existing entry: 0 on success, else the system's
// error number (EEXIST when the new name is taken).
int RkRenamePath(const QString &from, const QString &to);

}
