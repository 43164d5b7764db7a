#include "mainwindow/commands_shell.h"

#include "mainwindow/externalprograms.h"
#include "mainwindow/frmmain.h"

namespace lumrik {

void installShellCommands(frmMain *w)
{
    w->setCommand("mnuCompare", [w] { mnuCompare_Click(w); });
    w->setCommand("mnuFindDB", [w] { mnuFindDB_Click(w); });
    w->setCommand("mnuInfo", [w] { mnuInfo_Click(w); });
    w->setCommand("mnuOptionKalmero", [w] { mnuOptionKalmero_Click(w); });
    w->setCommand("mnuHelpContents", [w] { mnuHelpContents_Click(w); });
    w->setCommand("mnuHelpSearch", [w] { mnuHelpSearch_Click(w); });
    w->setCommand("mnuHelpHowToDo", [w] { mnuHelpHowToDo_Click(w); });
    w->setCommand("mnuHelpWeb", [w] { mnuHelpWeb_Click(w); });
    w->setCommand("mnuHelpUpdates", [w] { mnuHelpUpdates_Click(w); });
    w->setCommand("mnuHelpAbout", [w] { mnuHelpAbout_Click(w); });
}

}
