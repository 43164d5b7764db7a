#pragma once
// Plugs the other subsystems' windows into the main window: the file selector,
// the hand-over from a second start.
namespace lumrik {

class frmMain;

void installFileSelector();
// Listens for second starts; each one brings the window to the front and opens
// the file it names.
void installHandOver(frmMain *w);

}
