// The comment and code-word colouring command.
#include "ncops/boldcomments.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"


namespace lumrik {

namespace {
void colourRange(Editor *ed, int line, int from, int to, const QColor &c)
{
    if (to <= from)
        return;
    ed->setSelStartY(line);
    ed->setSelStartX(from);
    ed->setSelEndY(line);
    ed->setSelEndX(to);
    ed->setCharacterForeColor(c);
}
}

void RkBoldComments(frmDocument *doc)
{
    RkGuard("RkBoldComments()", [&] {
        if (!doc)
            return;
        Editor *ed = doc->txtText;
        const int topY = ed->TopY();
        WaitCursor wait;
        const int textIndex = ed->TextIndex();
        const int caretX = ed->CaretX(), caretY = ed->CaretY();
        gbIsDirty = ed->IsDirty();

        std::array<QByteArray, 4> words;
        std::array<QColor, 4> colours;
        for (int k = 0; k < 4; ++k) {
            words[k] = toCp1252(gsCodeText[k]);
            colours[k] = rkColor(gCodeColor[k]);
        }
        const QColor commentColour = rkColor(gCommentColor);

        const int n = ed->Count();
        {
            ProgressRun progress(doc, n);
            struct RedrawBack {
                Editor *ed;
                ~RedrawBack() { ed->setRedraw(true); }
            } redrawBack{ed};
            ed->setRedraw(false);
            ed->clearCharacterAttributes();
            RkTraceProc(QStringLiteral("RkBoldComments().1"));
            for (int i = 1; i <= n; ++i) {
                ed->setTextIndex(i);
                const QByteArray line = ed->Text();
                const LineColouring c = colourLine(line, words);
                if (c.codeWord >= 0)
                    colourRange(ed, i, c.codeStart, c.codeEnd, colours[size_t(c.codeWord)]);
                if (c.comment)
                    colourRange(ed, i, c.commentStart, c.commentEnd, commentColour);
                if (!progress.step(i))
                    break;
            }
            RkTraceProc(QStringLiteral("RkBoldComments().2"));
            ed->setCaret(caretX, caretY);
            ed->setSelMark(0);
            ed->setTopY(topY);
            ed->setTextIndex(std::min(textIndex, ed->Count()));
            if (ed->IsDirty() != gbIsDirty)
                ed->setIsDirty(gbIsDirty);
        }
    });
}

}
