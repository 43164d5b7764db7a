#pragma once
// Code that the editor runs from its folders: the plug-in libraries and the
// programs it starts (the updater, the compare program, the calculation
// programs, the file-database program). Such code runs as the user, so it
// runs only when nobody but the user and root can change what runs: the file
// itself and every folder above it, up to the root of the file system,
// belong to the user or to root and can be written by nobody else. A folder
// with the sticky bit (such as /tmp) may be open to others: they can neither
// rename nor remove what is not theirs. A link counts by the folders it lies
// in and by the file and folders it points to.
//
// This is the one rule for all of them; callers say "" or the reason.
#include <QString>

namespace lumrik {

// "" when the file at `path` may be run; else why not, in Swedish, e.g.
// "filen ägs av en annan användare" or
// "mappen /srv/cnc kan ändras av andra användare än ägaren".
QString untrustedCodeReason(const QString &path);
// The same for a folder and the folders above it ("mappen <folder> ...").
QString untrustedFolderReason(const QString &folder);
// The same for a file already opened as `fd` from `path`: the owner and mode
// of what was opened, the folders of `path` and the folders of where the
// opened file lies.
QString untrustedOpenFileReason(int fd, const QString &path);

// The message of a program that is not started for `reason`.
QString untrustedProgramText(const QString &program, const QString &reason);

}
