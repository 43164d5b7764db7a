#pragma once
// The rule for symbolic links on the way to a file that is written. A
// colleague who may write a shared program folder can put a link where a
// program was, pointing at a file of the user's own (~/.bashrc); a write
// through it would overwrite that file. Every link on the way is judged, the
// folders' links as well as the file's own chain:
// - a link that belongs to a user other than this one and root, lying in a
//   folder that others may write in, is never followed (the kernel's rule
//   for protected links, taken to every folder that others may write in, not
//   only the sticky ones open to all);
// - the files the program writes in its own folders (settings, machine and
//   syntax files, the error report) are stricter: the file's own chain never
//   passes another user's link, wherever it lies;
// - the hand-off files follow no link at all: a link found at the name is
//   replaced itself.
#include <QByteArray>
#include <QString>

namespace lumrik {

enum class LinkRule {
    SharedFolders, // the save of a program
    OwnFiles,      // the program's own files in its folders
    NoLinks,       // the hand-off files
};

// Where a write to a path goes: `name` names no link (every link on the way
// followed and judged), unless `replaceLink`: then `name` is a link that the
// write replaces itself (a dangling one, or any under LinkRule::NoLinks).
// `problem` is why the write must not go on, as a Swedish sentence; "" when
// it may.
struct WriteTarget {
    QByteArray name;
    bool replaceLink = false;
    QString problem;
};
WriteTarget RkResolveForWrite(const QString &path, LinkRule rule);

// Why a write to `path` must not follow a link on the way; "" when it may.
QString RkForeignLinkProblem(const QString &path, LinkRule rule = LinkRule::SharedFolders);

// True when a write to one of the program's own files at `path` would pass
// another user's link (LinkRule::OwnFiles).
bool RkIsForeignLink(const QString &path);
// The message that refuses to write one of the program's own files through
// such a link, naming the file.
QString RkForeignLinkText(const QString &path);

}
