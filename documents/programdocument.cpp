// The program document (documents/programdocument.h): what it says of its
// text apart from how the text is kept (documents/editor_document.cpp).
#include "documents/programdocument.h"

#include "core/lineends.h"

namespace lumrik {

QByteArray ProgramDocument::text(int lineEnds) const
{
    return convertLineEnds(textView(), lineEnds == kLineEndLf ? kLineEndLf : kLineEndCrLf);
}

// Told once for every change of the state; a view with its notifications
// off tells it once they are on again.
void ProgramDocument::checkModified()
{
    if (quiet())
        return;
    const bool now = isModified();
    if (now == toldModified_)
        return;
    toldModified_ = now;
    Q_EMIT modifiedChanged(now);
}

}
