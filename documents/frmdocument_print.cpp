// The document window as printing reads it.
#include "documents/frmdocument.h"

namespace lumrik {

QStringList frmDocument::printLines()
{
    QStringList lines;
    if (!txtText)
        return lines;
    const int count = program_->lineCount();
    lines.reserve(count);
    for (int i = 1; i <= count; ++i)
        lines << program_->lineText(i);
    // The editor's current line is the last one, as printing always left it.
    txtText->setTextIndex(count);
    return lines;
}

}
