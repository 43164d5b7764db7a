#include "mainwindow/commands_ncdnc.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/sessionstate.h"
#include "dnc/frmtxd2cnc.h"
#include "mainwindow/sendcommand.h"
#include "mainwindow/receivecommand.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/syntax.h"
#include "mainwindow/frmmain.h"
#include "ncops/boldcomments.h"
#include "ncops/mdlmnfix.h"
#include "ncops/omnum.h"
#include "ncops/toollist.h"

#include <QAction>
#include <functional>

namespace lumrik {

namespace {

// A command on the active document: nothing happens without one. `proc` is
// the name of `op` in the trace.
void onDocument(frmMain *w, const char *name, const char *proc, std::function<void(frmDocument *)> op)
{
    w->setCommand(QString::fromLatin1(name), [w, proc, op] {
        RkGuard(proc, [&] {
            if (frmDocument *doc = w->activeDocument())
                op(doc);
        });
    });
}

void colourWholeProgram(frmDocument *doc)
{
    ColorNC(doc->txtText, doc->sMaskin, 0, 0, kColorCommandBudgetMs, true, doc);
}

void toggleLinedPaper(frmMain *w)
{
    RkGuard("toggleLinedPaper()", [&] {
        if (!w->activeDocument())
            return;
        w->session().settings().change([](SettingValues &s) { s.kollegieBlock = !s.kollegieBlock; });
        w->RkUpdateValidSelections();
        // Every document repaints its background with the new setting.
        for (frmDocument *doc : w->documents()) {
            doc->update();
            for (QWidget *child : doc->findChildren<QWidget *>())
                child->update();
        }
    });
}

}

void installNcCommands(frmMain *w)
{
    w->setCommand("mnuViewLines", [w] { toggleLinedPaper(w); });
    onDocument(w, "mnuViewBoldComments", "RkBoldComments()", &RkBoldComments);
    onDocument(w, "mnuColorIt", "RkBoldComments()", &RkBoldComments);
    onDocument(w, "mnuViewColorNC", "colourWholeProgram()", &colourWholeProgram);
    onDocument(w, "mnuNcOptionsOmnum", "RkOmnum()", &RkOmnum);
    onDocument(w, "mnuNcOptionsToolList", "RkGetToolList()", &RkGetToolList);
    onDocument(w, "mnuViewXYZ", "MnXYZ()", &MnXYZ);
    onDocument(w, "mnuViewClearchars", "MnClearChars()", &MnClearChars);
    onDocument(w, "mnuViewUppercase", "MnUppercase()", &MnUppercase);
    onDocument(w, "mnuViewUnPack", "MnUnPack()", &MnUnPack);
    onDocument(w, "mnuViewPack", "MnPack()", &MnPack);
    onDocument(w, "mnuOptionPunktKoll", "MnPunktKoll()", &MnPunktKoll);
}

void installTransferCommands(frmMain *w)
{
    // A transfer looks up many keys of the machine's file: each file is read
    // once for it (again only when it changes on disk).
    onDocument(w, "mnuTxd2Cnc", "sendActiveDocument()", [w](frmDocument *doc) {
        const IniReadRound round;
        sendActiveDocument(w->session(), doc);
    });
    w->setCommand("mnuRxdFromCnc", [w] {
        const IniReadRound round;
        RxdFromCncCommand(w->session(), w, w->comboMaskiner, [w] { return w->LoadNewDoc(); }, [w] { w->mnuFileSave_Click(); });
    });
}

}
