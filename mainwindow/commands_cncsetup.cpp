#include "mainwindow/commands_cncsetup.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/paths.h"
#include "dnc/frmcncsetup.h"
#include "mainwindow/frmmain.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace lumrik {

void mnuCncSetup_Click(frmMain *w)
{
    RkGuard("mnuCncSetup_Click()", [&] {
        if (!w->session().settings().values().setupAllowed)
            return;
        ShowCncSetup(w->session(), w, w->comboMaskiner);
        const QString kept = w->machine();
        {
            const QSignalBlocker block(w->comboMaskiner);
            FillComboWithFiles(gsDataPath, QStringLiteral("cfg"), w->comboMaskiner);
            w->comboMaskiner->setCurrentIndex(-1);
        }
        w->reportShownMachine();
        // A match runs the selector's choice, which reloads the machine's
        // settings (colours chosen in the dialog but not stored give way).
        SelectComboItem(kept, w->comboMaskiner);
    });
}

void installCncSetupCommands(frmMain *w)
{
    w->setCommand(QStringLiteral("mnuCncSetup"), [w] { mnuCncSetup_Click(w); });
}

}
