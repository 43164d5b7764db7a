#include "mainwindow/commands_print.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "documents/frmdocument.h"
#include "files/frmprintsetup.h"
#include "files/printingjobs.h"
#include "mainwindow/frmmain.h"

#include <QPointer>

namespace lumrik {

namespace {

// A margin as the 16-bit whole number the print takes.
int marginValue(int mm)
{
    const std::optional<int> v = toInt16(QString::number(mm));
    if (!v)
        throw RkExpected(kErrOverflow, QStringLiteral("Marginalen %1 mm är för stor för utskriften.").arg(mm));
    return *v;
}

void mnuFilePrint_Click(frmMain *w, frmDocument *doc)
{
    RkGuard("mnuFilePrint_Click()", [&] {
        // Nothing to print is no failure: no report, whose Avbryt would end
        // the program over a command that had nothing to do.
        if (!doc)
            return;
        if (doc->busy()) {
            // The finished text is printed, never a text half put in.
            const QPointer<frmDocument> later(doc);
            LongWork::whenDone(doc, [w, later] { mnuFilePrint_Click(w, later); });
            return;
        }
        const PrintValues &p = w->session().print().values();
        PrintDocument(doc, marginValue(p.leftMargin), marginValue(p.topMargin), marginValue(p.rightMargin),
                      marginValue(p.bottomMargin));
    });
}

void mnuFilePrintSetup_Click(frmMain *w)
{
    frmPrintSetup dialog(w->session().print(), w);
    dialog.exec();
}

}

void installPrintCommands(frmMain *w)
{
    w->setCommand("mnuFilePrint", [w] { mnuFilePrint_Click(w, w->activeDocument()); });
    w->setCommand("mnuFilePrintSetup", [w] { mnuFilePrintSetup_Click(w); });
}

}
