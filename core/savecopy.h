#pragma once
// The kept copy of a file written in place. Before a file is overwritten in
// place its old bytes go to a copy, with a short record in front of them:
// which file they belong to, and the size and digest of the old and of the
// new text. The copy is removed when the new bytes are whole on the disk, so
// a copy that is still there tells of a save that was cut short (a killed
// editor, a power loss); the next open of the file finds it, tells the user
// and can put the old bytes back.
//
// The copy is named "<name of the file>.lumrik-kopia-XXXXXX" and lies beside
// the file when its folder may be written in, else in the user's own private
// folder (RkPrivateCopyFolder). It belongs to the saver, is readable by the
// saver only, and is held locked while its save runs: a copy that is locked
// belongs to a save under way and is never looked at. Only this user's copies
// are ever read, acted on or removed.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

struct stat;

namespace lumrik {

struct SaveCopy {
    QByteArray copyPath; // the copy itself
    QByteArray filePath; // the file it was made for, as written (links resolved)
    quint64 device = 0;
    quint64 inode = 0;
    qint64 oldSize = 0;
    qint64 newSize = 0;
    QByteArray oldDigest; // SHA-256 of the old bytes
    QByteArray newDigest; // SHA-256 of the bytes the save was to write
    qint64 dataOffset = 0; // where the old bytes begin in the copy
};

// How the file stands beside the copy found for it.
enum class SaveCopyState {
    Untouched,  // it still holds the old bytes: the save had not begun
    Finished,   // it holds the whole new bytes: only the copy was left
    Unfinished, // neither: the save was cut short on the way
    Gone,       // the file is no longer there, or is another file now
};

// The marker in a copy's name.
inline constexpr char kSaveCopyMarker[] = ".lumrik-kopia-";

// The user's own folder for copies that cannot lie beside their file
// ($XDG_STATE_HOME/lumrik/kopior, else ~/.local/state/lumrik/kopior), made
// owner-only when missing; empty when no such folder can be had.
QByteArray RkPrivateCopyFolder();

// Makes the copy of `old`, the bytes of the file `file` (its state `st`)
// that is to take `fresh`: beside the file, else in the private folder;
// written, synced and locked. Returns its descriptor (the lock lasts while it
// is open) and its name, or -1 with errno set.
int RkMakeSaveCopy(const QByteArray &file, const struct stat &st, QByteArrayView old, QByteArrayView fresh,
                   QByteArray &name);

// The copies left for the file at `path` (beside it and in the private
// folder), by saves that did not end.
std::vector<SaveCopy> RkSaveCopiesFor(const QString &path);
// Every copy left in the private folder.
std::vector<SaveCopy> RkPrivateSaveCopies();

SaveCopyState RkSaveCopyState(const SaveCopy &copy);
// Puts the old bytes back into the file (in place: its other names and its
// owner stay) and removes the copy. Throws RkExpected when that fails; the
// copy then stays.
void RkRestoreSaveCopy(const SaveCopy &copy);
// Removes the copy; false when it could not be removed.
bool RkDropSaveCopy(const SaveCopy &copy);
// Removes the copies left for the file `file` (links resolved; its state
// `st`). Used by the next save of that file.
void RkDropSaveCopiesOf(const QByteArray &file, const struct stat &st);

}
