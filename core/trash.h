#pragma once
// The desktop trash, reached through folders opened once: a file goes to the
// trash from the folder the user saw, never from one swapped in meanwhile.
#include <QString>

namespace lumrik {

class OpenedFolder;

// This user's home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash).
QString RkHomeTrashPath();

// Moves the entry `name` of `folder` (a file or a link; a link is moved
// itself) to the trash: the home trash, made private (0700) as the desktop
// makes it, when it lies on the same file system; otherwise the trash at the
// top of that file system (".Trash/<uid>", or ".Trash-<uid>"), and only while
// the home trash can be had at all. The record beside it keeps the original
// path byte for byte. 0, or the errno of the failure (EXDEV when there is no
// trash for that folder).
int RkMoveToTrash(const OpenedFolder &folder, const QString &name);

}
