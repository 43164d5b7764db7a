#pragma once
namespace lumrik {

class frmMain;

// File > Print (and the toolbar key "Print"): prints the active document with
// the print settings' margins. File > Printer settings: the print settings
// dialog.
void installPrintCommands(frmMain *w);

}
