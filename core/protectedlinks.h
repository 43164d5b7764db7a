#pragma once
// The rule for symbolic links in shared folders. A colleague who may write a
// shared program folder can put a link where a program was, pointing at a
// file of the user's own (~/.bashrc); a save through it would overwrite that
// file. So a link that belongs to a user other than this one and root, lying
// in a folder that others may write in, is never followed for a write. This
// is the kernel's rule for protected links, taken to every folder that others
// may write in, not only the sticky ones open to all.
#include <QString>

namespace lumrik {

// Why a write to `path` must not follow the link (or one of the chain of
// links) found there, as a Swedish sentence; "" when it may be written.
QString RkForeignLinkProblem(const QString &path);

}
