#include "mainwindow/commands_editsetup.h"

#include "core/errors.h"
#include "documents/frmeditsetup.h"
#include "mainwindow/frmmain.h"

namespace lumrik {

namespace {

void mnuEditSetup_Click(frmMain *w)
{
    RkGuard("mnuEditSetup_Click()", [&] {
        {
            frmEditSetup dlg(w->session(), w);
            dlg.exec();
        }
        w->RkUpdateValidSelections();
    });
}

}

void installEditSetupCommands(frmMain *w)
{
    w->setCommand(QStringLiteral("mnuEditSetup"), [w] { mnuEditSetup_Click(w); });
}

}
