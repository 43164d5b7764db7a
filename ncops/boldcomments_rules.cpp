// The colouring rules per line (no editor, no windows).
#include "ncops/boldcomments.h"
#include "ncops/mdlrkfix.h"

namespace lumrik {

LineColouring colourLine(QByteArrayView line, const std::array<QByteArray, 4> &codeWords)
{
    LineColouring c;
    const qsizetype open = line.indexOf('(');
    bool anyWord = false;
    for (const QByteArray &w : codeWords)
        anyWord = anyWord || !w.isEmpty();
    if (anyWord) {
        QByteArray code(line.data(), line.size());
        RkClipComment(code);
        for (int k = 0; k < 4; ++k)
            if (!codeWords[k].isEmpty() && code.contains(codeWords[k]))
                c.codeWord = k;
        c.codeStart = 1;
        c.codeEnd = int(open < 0 ? line.size() : open) + 1;
    }
    if (open >= 0) {
        c.comment = true;
        c.commentStart = int(open) + 1;
        const qsizetype close = line.indexOf(')');
        const qsizetype end = close < open ? line.size() - 1 : close; // last column, from 0
        c.commentEnd = int(end) + 2;
    }
    return c;
}

}
