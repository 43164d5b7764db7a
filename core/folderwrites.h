#pragma once
// Files the program writes in its own folders (the error report, settings,
// machine and syntax files, the files put in place at the first start): a
// folder that others may write in can hold a link another user made, and
// nothing is ever written through such a link. New files are made
// exclusively, so that a name that is taken (a dangling link too) is never
// created or emptied behind the user's back.
#include "core/protectedlinks.h"

#include <QString>

#include <sys/types.h>

namespace lumrik {

// Whether a write would pass another user's link: RkIsForeignLink and
// RkForeignLinkText (protectedlinks.h), the one rule for links.

// Something, even a dangling link, has the name.
bool RkNameTaken(const QString &path);

// Makes a new file that did not exist: never through a link, never over any
// name that exists. The open descriptor (write only), or -1 with errno set
// (EEXIST when the name is taken).
int RkCreateNewFile(const QString &path, mode_t mode = 0644);

// Opens a file for appending and reading, made exclusively when missing. An
// existing link of this user or root is followed; another user's link is not
// (-1 with errno EPERM). -1 with errno set on any other failure.
int RkOpenForAppend(const QString &path);

// Puts a new empty file in place of whatever has the name (a link is replaced
// itself, what it points to is not touched), through an exclusive file renamed
// over it. 0, or the errno of the failure.
int RkReplaceWithEmptyFile(const QString &path, mode_t mode = 0644);

}
