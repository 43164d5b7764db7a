#pragma once
// The one safe way this program replaces a file: documents, settings files and
// every other file it writes whole.
#include <QByteArrayView>
#include <QString>

namespace lumrik {

// Writes a file whole, so that it holds either its old bytes or the new ones,
// never a part of either. The path may hold kept bytes (filenames.h).
//
// The normal way: a temporary file in the same folder is written, synced and
// renamed over the target. Before the rename it is given the target's owner,
// group, permissions and extended attributes (POSIX ACLs included), so that a
// save in a shared folder leaves the file as its owner set it up.
//
// Where the rename cannot keep that (the file belongs to another user, its
// group or an attribute cannot be set, it has more than one link, or its folder
// may not be written in), the file is written in place: a copy of its old
// bytes is made first (beside it, or in the temporary folder when its folder
// may not be written in), then the new bytes are written, synced and the file
// cut to their length; the copy is removed when that has succeeded. A failure
// on the way writes the old bytes back, and the copy stays only when even that
// failed (the message names it).
//
// A symbolic link is followed: its target is written, the link stays. A new
// file gets the permissions a plain create gives (umask, default ACL).
// When anything fails RkExpected is thrown (70 for a file that may not be
// written, 61 for a short write, 57 or 76 otherwise) and the old file is
// whole.
void writeFileAtomic(const QString &path, QByteArrayView bytes);

// Writes the whole buffer to `fd` at `offset`; false with errno set (0 for a
// write the system cut short without a reason) when not all of it went.
bool writeAllAt(int fd, QByteArrayView bytes, qint64 offset);

}
