#pragma once
// Plugs the other subsystems' windows into the main window: the file selector,
// the hand-over from a second start.
namespace lumrik {

class frmMain;
class Session;

// The file selector opens for `session` (its machine is that session's).
void installFileSelector(Session &session);
// Keeps what second starts hand over from now on (the instance's server
// listens from the very start).
void collectHandOvers();
// From now on each hand-over brings `w` to the front and opens the file it
// names; what came before opens now.
void installHandOver(frmMain *w);
// True when a second start has handed over a file that has not opened yet.
bool handOverWaiting();
// The editor is ending: no more hand-overs are taken (a later start waits
// for it to end and becomes the editor).
void stopHandOvers();

}
