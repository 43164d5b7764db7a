#pragma once
// The one safe way this program replaces a file: documents, settings files and
// every other file it writes whole.
#include "core/fileidentity.h"
#include "core/protectedlinks.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <sys/types.h>

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
// bytes is made first (savecopy.h: beside it, or in the user's own private
// folder when its folder may not be written in), then the new bytes are
// written, synced and the file cut to their length; the copy is removed when
// that has succeeded. A failure on the way writes the old bytes back, and the
// copy stays only when even that failed (the message names it). A save cut
// short by a crash leaves the copy, which the next open of the file finds.
//
// What a save cut short left for the file (its temporary files, its copies)
// is removed by the next save of it; only names this writer makes, of this
// user, and not held by a save under way, are ever removed.
//
// A symbolic link is followed: its target is written, the link stays; but
// only as `rule` allows (protectedlinks.h), every link on the way judged. The
// links are judged and followed once, and what is written is the file found
// at the end: a name swapped for a link after that is replaced itself or
// refused, never followed. With `expected`, the file the path names must still be
// that file, unchanged; else nothing is written. A new file gets the
// permissions a plain create gives (umask, default ACL).
// When anything fails RkExpected is thrown (70 for a file that may not be
// written, 61 for a short write or a file-size limit, 57 or 76 otherwise) and
// the old file is whole. Returns the identity of the file as written.
FileIdentity writeFileAtomic(const QString &path, QByteArrayView bytes, const FileIdentity *expected = nullptr,
                             LinkRule rule = LinkRule::SharedFolders);

// Called with the name about to be written, after the links were judged and
// the file looked at, just before its bytes go; for tests that swap the name
// at that moment. Empty: nothing is called.
void setBeforeWriteHook(std::function<void(const QByteArray &name)> hook);

// The steps of a write in place, for tests that stop it at each of them.
enum class InPlaceStep {
    CopyKept,    // the copy of the old bytes is on the disk
    RoomTaken,   // room for a longer text has been asked for
    PieceWritten, // one more piece of the new bytes has been written
    NewSynced,   // the new bytes are all on the disk, the file not yet cut
    Cut,         // the file is cut to the new length and synced
};
// Called at each step; empty: nothing is called.
void setInPlaceStepHook(std::function<void(InPlaceStep)> hook);
// The new bytes are written in pieces of this size.
inline constexpr qsizetype kInPlacePiece = qsizetype(1) << 20;

// A new file "<stem>XXXXXX" made exclusively (no link followed) with `mode`
// (umask and a folder's default ACL apply); its name in `name`. -1 with errno
// set when none could be made.
int createUniqueFile(const QByteArray &stem, mode_t mode, QByteArray &name);
// Syncs a folder's entries (after a file was made, renamed or removed in it).
void syncFolder(const QByteArray &folder);
// Reads `size` bytes at `offset` into `out`; with `upTo`, fewer when the file
// ends first. False with errno set otherwise.
bool readAllAt(int fd, qint64 offset, qsizetype size, QByteArray &out, bool upTo);

// Writes the whole buffer to `fd` at `offset`; false with errno set (0 for a
// write the system cut short without a reason) when not all of it went.
bool writeAllAt(int fd, QByteArrayView bytes, qint64 offset);

}
