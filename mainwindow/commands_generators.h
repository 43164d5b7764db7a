#pragma once
class QString;

namespace lumrik {

class frmDocument;
class frmMain;
class frmSkardata;

// The generator commands of the "&NcOption" menu: "mnuHelix" (the thread-
// milling helix; its program opens as a new untitled document), "mnuBult" (the
// bolt-hole circle; its result goes to the clipboard) and "mnuOptionSkardata"
// (the cutting-data calculator, modeless; a second choice brings it forward).
void installGeneratorCommands(frmMain *w);

// The helix command's hand-over: when the generator left "helix.tmp" in the
// temporary folder, a new untitled document (no machine, marked changed)
// takes its text and the file is deleted. Returns that document, or nullptr.
frmDocument *openHelixResult(frmMain *w);

// The open cutting-data window, or nullptr.
frmSkardata *skardataWindow();

}
