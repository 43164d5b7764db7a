#pragma once
// Who this editor is and where its private files live.
//
// One editor runs per user and desktop session. The session is the display
// the program was started on (Wayland or X; ":0.0" and ":0" are one display)
// together with the session's runtime folder, where the editor's instance
// lock and hand-over socket live. Everything that must tell one editor from
// another (the lock, the socket, the folder of the hand-off files) takes it
// from here.
#include <QByteArrayView>
#include <QString>

namespace lumrik {

// The desktop session of this start: its Wayland or X display; "" without one.
QString sessionDisplay();
// The display as part of a file name ("ingen" without a display).
QString sessionTag();
// Where the lock and the socket live: the session's runtime folder
// ($XDG_RUNTIME_DIR) when it is this user's own folder with mode 0700, else
// the user's private temporary folder.
QString instanceFolder();
// The editor of this user and session, as a path without extension: the
// instance lock and the hand-over socket are this with ".lock" and ".sock".
QString instanceName();

// The folder private temporary folders are made in: $TMPDIR when it names a
// folder this user may write in and its name is UTF-8, else the private
// runtime folder, /tmp, /var/tmp or the home folder; never the root. "" when
// there is none.
QString temporaryBase();
// A private per-user folder (0700) under temporaryBase(); when that name is
// taken by anything but such a folder, a fresh private folder of this run.
QString resolveTmpPath();
// The folder of this editor's hand-off files ("Txd.Tmp", "Rxd.Tmp",
// "Header.Tmp", "helix.tmp"), inside resolveTmpPath() and named after
// instanceName(): two editors of one user never share it, and the next editor
// of the same session finds what the last one left there. Made owner-only;
// a folder that is not a real folder of this user closed to others (a link,
// another user's folder, one found open to others) is not used, and a new
// private folder of this run takes its place.
QString resolveHandOffPath();
// resolveHandOffPath() at start; the folder ensureHandOffFolder() makes again.
QString startHandOffFolder();
// Makes sure gsTmpPath is a private folder before a hand-off file is written:
// the start folder, when it has gone or was replaced, is chosen again as at
// start (gsTmpPath follows); another folder is made again only where it was.
// False when no private folder could be had.
bool ensureHandOffFolder();

// Writes a hand-off file whole (writeFileAtomic) without following a link:
// whatever has the name (a link, a second name of another file) is replaced
// by the new file, and nothing it led to is touched. Throws as
// writeFileAtomic does.
void writeHandOffFile(const QString &path, QByteArrayView bytes);
// Opens a hand-off file that is written piece by piece, empty: a new file
// made exclusively in place of whatever had the name (a link is removed
// itself, never followed). The descriptor (write only), or -1 with errno set.
int openHandOffFile(const QString &path);

// True when `path` is a real folder (not a link) of this user that nobody
// else can enter.
bool isPrivateFolder(const QString &path);
// isPrivateFolder(), made so when missing. A folder found open to others is
// not closed and taken over: false.
bool makePrivateFolder(const QString &path);

}
