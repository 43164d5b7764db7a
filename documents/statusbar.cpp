#include "documents/statusbar.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/host.h"

namespace lumrik {

QString statusCaretText(int caretY, int caretX)
{
    const WordValues &w = programSession().words().values();
    return w.row + QString::number(caretY) + QStringLiteral(" : ") + w.col + QString::number(caretX);
}

QString statusTotalText(int lines, qint64 chars)
{
    const WordValues &w = programSession().words().values();
    return w.total + QString::number(lines) + w.rows + QStringLiteral("/ ") + QString::number(chars) + w.chars;
}

void RkUpdateGlobalStatus()
{
    RkGuard("RkUpdateGlobalStatus()", [&] {
        DocumentHost *host = documentHost();
        if (!host) return;
        frmDocument *doc = host->activeDocument();
        if (!doc || !doc->txtText) {
            host->setStatusPanel(2, QString());
            host->setStatusPanel(3, QString());
            host->setStatusPanel(4, QString());
            return;
        }
        // The totals and the changed state are the program's, the caret the view's.
        const ProgramDocument *program = doc->program();
        const qint64 chars = program->characters();
        const int lines = program->lines();
        Editor *ed = doc->txtText;
        const int x = ed->caretColumn(); // characters, as the user counts them
        const int y = ed->CaretY();
        const bool dirty = program->isModified();
        doc->setPanelText(4, dirty ? kTxtNotSaved : QString());
        host->setSaveButtonsEnabled(dirty);
        const WordValues &words = programSession().words().values();
        host->setStatusPanel(2, programSession().active().insertMode() ? words.insert : words.overwrite);
        host->setStatusPanel(3, statusCaretText(y, x));
        host->setStatusPanel(4, statusTotalText(lines, chars));
    });
}

}
