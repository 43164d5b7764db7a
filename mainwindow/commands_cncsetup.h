#pragma once
namespace lumrik {

class frmMain;

// File > "Inställningar &CNC...": the machine set-up dialog; afterwards the
// machine selector is refilled from the machine files and shows the machine
// it showed before (a machine created in the dialog is listed at once).
// Shown only while the settings allow set-up ("Setup" of the main settings).
void installCncSetupCommands(frmMain *w);

// The command itself.
void mnuCncSetup_Click(frmMain *w);

}
