// The comment and code-word colouring command.
#include "ncops/boldcomments.h"

#include "core/codepage.h"
#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/lineends.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/stylework.h"

#include <QPointer>

#include <algorithm>
#include <memory>

namespace lumrik {

namespace {

// The worker's style bytes: 1..4 the colour of code word 1..4, 5 the
// comment colour; the editor's style of each is taken when first met.
constexpr char kCommentPalette = 5;

// Sets the bytes of columns from..to (to exclusive) of the line at `start`
// of `length` bytes, as a selection of those columns would take them.
void colourRange(QByteArray &styles, qint64 stylesFrom, qint64 start, qint64 length, int from, int to, char palette)
{
    if (to <= from)
        return;
    const qint64 a = start + std::clamp<qint64>(from - 1, 0, length), b = start + std::clamp<qint64>(to - 1, 0, length);
    std::fill(styles.data() + (a - stylesFrom), styles.data() + (b - stylesFrom), palette);
}

// On the worker: each line's colouring over the copy of the program, the
// styles going to the editor a window at a time. Stops after the line for
// which `goOn` says no.
void colourLines(QByteArrayView text, const std::array<QByteArray, 4> &words, const WorkerRun::GoOn &goOn,
                 const GiveStyles &give)
{
    QByteArray styles; // from `stylesFrom` on, not yet given
    qint64 stylesFrom = 0;
    bool editorThere = true;
    auto flush = [&](bool all) {
        qint64 at = 0;
        while (editorThere && (all ? at < styles.size() : styles.size() - at >= kStyleWindowBytes)) {
            const qint64 n = std::min<qint64>(kStyleWindowBytes, styles.size() - at);
            const QByteArrayView window(styles.constData() + at, n);
            // The text is plain already where nothing is coloured.
            if (window.count('\0') != n)
                editorThere = give({stylesFrom + at, window.toByteArray()});
            at += n;
        }
        styles.remove(0, at);
        stylesFrom += at;
    };
    qint64 start = 0;
    for (int i = 1; editorThere; ++i) {
        const qint64 end = lineEndAt(text, start);
        const qint64 next = end == text.size() ? end : end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        styles.append(qsizetype(next - start), '\0');
        const LineColouring c = colourLine(text.sliced(start, end - start), words);
        if (c.codeWord >= 0)
            colourRange(styles, stylesFrom, start, end - start, c.codeStart, c.codeEnd, char(c.codeWord + 1));
        if (c.comment)
            colourRange(styles, stylesFrom, start, end - start, c.commentStart, c.commentEnd, kCommentPalette);
        if (!goOn(i) || end == text.size())
            break;
        start = next;
        flush(false);
    }
    flush(true);
}

}

void RkBoldComments(frmDocument *doc)
{
    RkGuard("RkBoldComments()", [&] {
        if (!doc)
            return;
        Editor *ed = doc->txtText;
        if (styleWorkWaits(ed, [later = QPointer<frmDocument>(doc)] { RkBoldComments(later); }))
            return;
        const int topY = ed->TopY();
        const int textIndex = ed->TextIndex();
        const int caretX = ed->CaretX(), caretY = ed->CaretY();
        const bool wasDirty = ed->IsDirty();

        std::array<QByteArray, 4> words;
        auto colours = std::make_shared<std::array<QColor, 6>>();
        for (int k = 0; k < 4; ++k) {
            words[k] = toCp1252(currentMachine().keys().codeText[k]);
            (*colours)[size_t(k + 1)] = rkColor(currentMachine().keys().codeColor[k]);
        }
        (*colours)[size_t(kCommentPalette)] = rkColor(currentMachine().keys().commentColor);

        ed->setRedraw(false);
        ed->clearCharacterAttributes();
        ed->setRedraw(true);
        RkTraceProc(QStringLiteral("RkBoldComments().1"));
        StyleWork work;
        work.owner = doc;
        work.maximum = ed->Count();
        work.compute = [words, source = ed->textView().toByteArray()](const WorkerRun::GoOn &goOn, const GiveStyles &give) {
            colourLines(source, words, goOn, give);
        };
        // Each colour's style is taken when first met, in the order of the text.
        auto styleOf = std::make_shared<std::array<int, 6>>();
        styleOf->fill(-1);
        work.editorStyles = [colours, styleOf](Editor *e, QByteArray &styles) {
            for (char &b : styles) {
                if (b == 0)
                    continue;
                int &s = (*styleOf)[size_t(b)];
                if (s < 0)
                    s = e->attributeStyle((*colours)[size_t(b)], false, false);
                b = char(s);
            }
        };
        work.done = [=](Editor *e, bool) {
            RkTraceProc(QStringLiteral("RkBoldComments().2"));
            e->setRedraw(false);
            e->setCaret(caretX, caretY);
            e->setSelMark(0);
            e->setTopY(topY);
            e->setTextIndex(std::min(textIndex, e->Count()));
            if (e->IsDirty() != wasDirty)
                e->setIsDirty(wasDirty);
            e->setRedraw(true);
        };
        startStyleWork(ed, std::move(work));
    });
}

}
