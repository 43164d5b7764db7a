// The renumbering rule per line (no editor, no windows).
#include "ncops/mdlrkfix.h"
#include "ncops/omnum.h"

#include <algorithm>

namespace lumrik {

OmnumRun::OmnumRun(const OmnumOptions &options)
    : o_(options), skip_(upper1252(trimBlanks(options.skipBlock))), counter_(options.firstBlockNr)
{
}

void OmnumRun::setSelection(int firstLine, int lastLine)
{
    selection_ = true;
    selFirst_ = std::min(firstLine, lastLine);
    selLast_ = std::max(firstLine, lastLine);
}

qsizetype blockDeleteLength(QByteArrayView code)
{
    if (code.isEmpty() || code[0] != '/')
        return 0;
    qsizetype n = 1;
    if (n < code.size() && code[n] >= '1' && code[n] <= '9')
        ++n;
    while (n < code.size() && code[n] == ' ')
        ++n;
    return n;
}

QByteArray OmnumRun::line(QByteArrayView text, int lineNo)
{
    const QByteArrayView t = ltrimBlanks(text);
    const qsizetype paren = t.indexOf('(');
    const QByteArrayView code = paren < 0 ? t : t.first(paren);
    const QByteArrayView comment = paren < 0 ? QByteArrayView() : t.sliced(paren);
    // A block number is never taken from a ";" comment either; the tests of
    // which lines to leave alone still see the whole code part.
    const QByteArrayView numbered = code.first(codeLength(code));
    const QByteArrayView numberedTail = code.sliced(numbered.size());

    // Lines to leave alone: outside the selection, "'" among the first four
    // characters, holding the skip text, or blank.
    int skip = 0;
    if (selection_ && (lineNo < selFirst_ || lineNo > selLast_))
        skip = 1;
    const qsizetype apostrophe = code.first(std::min<qsizetype>(4, code.size())).indexOf('\'');
    if (apostrophe >= 0)
        skip += int(apostrophe) + 1;
    if (!skip_.isEmpty() && code.indexOf(skip_) >= 0)
        skip += 1;

    // The restart character counts on skipped lines too.
    if (!o_.restartFrom.isEmpty()) {
        const QByteArrayView first = trimBlanks(code);
        if (!first.isEmpty() && QByteArrayView(first.data(), 1) == QByteArrayView(o_.restartFrom))
            counter_ = o_.firstBlockNr;
    }
    if (t.isEmpty())
        skip = 1;

    QByteArray newCode;
    if (o_.addBlockNr) {
        if (skip == 0 && !RkInstrList(code, "N%:$O")) {
            // A block-delete slash (with its skip level) must stay the
            // block's first character.
            const qsizetype slash = blockDeleteLength(code);
            newCode.reserve(code.size() + 16);
            newCode.append(code.first(slash));
            newCode.append('N').append(QByteArray::number(counter_)).append(' ').append(code.sliced(slash));
            counter_ += o_.incr;
        } else {
            newCode = code.toByteArray();
        }
    } else {
        const QByteArrayView word = o_.tnc ? QByteArrayView() : QByteArrayView("N");
        WordRun r;
        std::optional<qint32> old;
        if (skip == 0 && findWordRun(numbered, word, r))
            old = readBlockNumber(numbered.sliced(r.start, r.length));
        if (!old || *old < o_.fromBlockNr || *old > o_.tomBlockNr) {
            newCode = code.toByteArray();
        } else if (!o_.tnc) {
            qint64 value = counter_;
            const int mode = o_.removeBlockNr ? 1 : 3;
            if (RkBlockFix(numbered, newCode, "N", value, mode, o_.leadingZeros)) {
                if (mode == 1)
                    newCode = ltrimBlanks(newCode).toByteArray();
                newCode.append(numberedTail);
                counter_ += o_.incr;
            } else {
                newCode = code.toByteArray();
            }
        } else if (RkOmNumTnc(numbered, newCode, counter_)) {
            newCode.append(numberedTail);
            counter_ += o_.incr;
        } else {
            newCode = code.toByteArray();
        }
    }
    if (!comment.isEmpty())
        newCode.append(comment);
    return newCode;
}

void RkOmnumLines(std::vector<QByteArray> &lines, const OmnumOptions &options)
{
    OmnumRun run(options);
    for (size_t i = 0; i < lines.size(); ++i)
        lines[i] = run.line(lines[i], int(i + 1));
}

}
