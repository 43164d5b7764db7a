#include "mainwindow/commands_find.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "documents/frmfind.h"
#include "documents/frmreplace.h"
#include "documents/frmreplaceconfirm.h"
#include "mainwindow/frmmain.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace lumrik {

namespace {
void showFind()
{
    frmFind *dlg = frmFind::instance();
    dlg->exec();
}
}

void mnuEditFind_Click(frmMain *w)
{
    if (w->activeDocument())
        showFind();
}

void mnuEditReplace_Click(frmMain *w)
{
    RkGuard("mnuEditReplace_Click()", [&] {
        if (w->activeDocument())
            frmReplace::instance()->exec();
    });
}

void mnuPopSearch_Click(frmMain *w)
{
    // The pop-up belongs to a document; without one there is nothing to search.
    if (w->activeDocument())
        showFind();
}

void mnuPopSearchNext_Click(frmMain *w)
{
    RkGuard("mnuPopSearchNext_Click()", [&] {
        frmDocument *doc = w->activeDocument();
        if (!doc)
            return;
        if (doc->busy()) {
            // The next match of a program under long work is looked for on
            // the finished text.
            LongWork::whenDone(doc, [w] { mnuPopSearchNext_Click(w); });
            return;
        }
        const QString quoted = QLatin1Char('"') + w->session().search().values().target + QLatin1Char('"');
        const QString message = gbNotSwedish ? quoted + QLatin1Char(' ') + RkGetLanguage(1001)
                                             : QStringLiteral("Kan ej hitta ") + quoted;
        // A document that has not searched yet repeats the last search made elsewhere.
        if (doc->txtText->SearchTarget.isEmpty())
            primeLastSearch(doc->txtText);
        doc->txtText->setAction(11);
        if (!doc->txtText->SearchResult())
            RkMsgBox(message, MbButtons::Ok, MbIcon::Information, QStringLiteral("FINNS EJ !!!"), 0, w);
    });
}

void installFindCommands(frmMain *w)
{
    installReplaceConfirm();
    w->setCommand(QStringLiteral("mnuEditFind"), [w] { mnuEditFind_Click(w); });
    w->setCommand(QStringLiteral("mnuEditReplace"), [w] { mnuEditReplace_Click(w); });
    w->setCommand(QStringLiteral("mnuPopSearch"), [w] { mnuPopSearch_Click(w); });
    w->setCommand(QStringLiteral("mnuPopSearchNext"), [w] { mnuPopSearchNext_Click(w); });
    QObject::connect(w->mdiArea, &QMdiArea::subWindowActivated, w, [w] {
        if (frmDocument *doc = w->activeDocument())
            primeLastSearch(doc->txtText);
    });
}

}
