// The renumbering command.
#include "ncops/omnum.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "ncops/frmomnum.h"
#include "ncops/lineframe.h"
#include "ncops/linework.h"

#include <QApplication>
#include <QPointer>

#include <memory>

namespace lumrik {

void RkOmnum(frmDocument *doc)
{
    RkGuard("RkOmnum()", [&] {
        if (!doc || refuseReadOnlyOrHex(doc))
            return;
        Editor *ed = doc->txtText;
        const int topY = ed->TopY();
        // Where the keyboard goes back to at the end.
        const QPointer<QWidget> keyboard =
            qobject_cast<QApplication *>(QCoreApplication::instance()) ? QApplication::focusWidget() : nullptr;

        frmOmnum *dlg = frmOmnum::instance();
        const QString caption = doc->windowTitle().toUpper();
        dlg->setWindowTitle(gbNotSwedish ? RkGetLanguage(520) + QStringLiteral(" - ") + caption
                                         : QStringLiteral("Omnumrering - ") + caption);
        dlg->bDocHasSelection = ed->SelMark() != 0;
        dlg->targetDocument = doc;
        dlg->exec();
        if (dlg->Cancel)
            return;
        const OmnumOptions options = dlg->options();

        // Without a selection the run goes over the whole program, which
        // is selected at the end (and stays so). It is selected once: every
        // selection of the whole text is a copy of it for the display's
        // primary selection.
        const bool wholeProgram = ed->SelText().isEmpty();
        auto run = std::make_shared<OmnumRun>(options);
        if (wholeProgram)
            run->setSelection(1, ed->Count());
        else if (ed->SelMark() > 0)
            run->setSelection(ed->SelStartY(), ed->SelEndY());
        // The lines counted right before the pass, as the pass counts
        // them; the pass may leave fewer (see Editor::rewriteLines).
        const int n = ed->Count();

        LineWork work;
        work.rule = [run](QByteArrayView line, int i) { return run->line(line, i); };
        work.traceName = "RkOmnum()";
        work.keyboard = keyboard;
        work.progress = true;
        work.selfAssign = false;
        work.before = [](Editor *ed) {
            // The text assigned to itself, with the selection kept.
            const int mark = ed->SelMark();
            const int sx = ed->SelStartX(), ex = ed->SelEndX(), sy = ed->SelStartY(), ey = ed->SelEndY();
            assignTextToItself(ed);
            ed->setSelMark(mark);
            if (mark) {
                ed->setSelStartX(sx);
                ed->setSelEndX(ex);
                ed->setSelStartY(sy);
                ed->setSelEndY(ey);
            }
        };
        work.after = [wholeProgram, n, topY](Editor *ed, int done, bool) {
            // TextIndex stands on the line the last line written is now on.
            const int lastWritten = ed->TextIndex();
            if (wholeProgram) {
                ed->setSelMark(0);
                ed->setSelMark(1);
                ed->setSelectionOffsets(0, ed->TextLength());
                ed->setTextIndex(lastWritten);
            }
            if (done == n && !gRkAbort)
                ed->setIsDirty(true);
            ed->setTopY(topY);
        };
        QPointer<frmDocument> window(doc);
        work.finished = [window] {
            if (window)
                window->update();
        };
        startLineWork(doc, std::move(work));
    });
}

}
