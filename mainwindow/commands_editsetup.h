#pragma once
namespace lumrik {

class frmMain;

// File > "Inställningar Editor...": the editor settings dialog, modal over the
// main window; the command state is brought up to date when it closes.
void installEditSetupCommands(frmMain *w);

}
