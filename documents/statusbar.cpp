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
    return gsTxtRow + QString::number(caretY) + QStringLiteral(" : ") + gsTxtCol + QString::number(caretX);
}

QString statusTotalText(int lines, qint64 chars)
{
    return gsTxtTotal + QString::number(lines) + gsTxtRows + QStringLiteral("/ ") + QString::number(chars)
           + gsTxtChars;
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
        host->setStatusPanel(2, programSession().active().insertMode() ? gsTxtInsert : gsTxtOverwrite);
        host->setStatusPanel(3, statusCaretText(y, x));
        host->setStatusPanel(4, statusTotalText(lines, chars));
    });
}

}
