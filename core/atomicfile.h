#pragma once
// The one safe way this program replaces a file: documents, settings files and
// every other file it writes whole.
#include <QByteArrayView>
#include <QString>

namespace lumrik {

// Writes a file through a temporary file in the same folder that is renamed
// over the target at the end, keeping the target's permissions. The write is
// unbuffered and its size checked, so that a short write (a full disk, a size
// limit) is an error and not a success with a cut-off file. An existing file
// that may be written, in a folder that may not, is written in place. When anything
// fails the old file stays as it was and RkError is thrown (70 for a file
// that may not be written, 61 for a short write, 57 or 76 otherwise). A
// symbolic link is followed: its target is replaced, the link stays.
void writeFileAtomic(const QString &path, QByteArrayView bytes);

}
