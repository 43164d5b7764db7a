#pragma once
// The find and replace commands of the Edit menu, the toolbar ("Search") and
// the document pop-up menu.
namespace lumrik {

class frmMain;

// Edit > "Sök" (Ctrl+F) and the toolbar key "Search": the Find dialog,
// modal, while a document is active.
void mnuEditFind_Click(frmMain *w);
// Edit > "Sök Ersätt" (Ctrl+E): the Replace dialog, modal, while a document is active.
void mnuEditReplace_Click(frmMain *w);
// Pop-up "Sök": the Find dialog.
void mnuPopSearch_Click(frmMain *w);
// Pop-up "Sök Nästa" (F3): the last search again from the caret on; "FINNS
// EJ !!!" when nothing more is found.
void mnuPopSearchNext_Click(frmMain *w);

// Registers the commands above, makes frmReplaceConfirm the replace question
// of the document windows, and gives each document that becomes active the
// last search, so that F3 repeats it in any document.
void installFindCommands(frmMain *w);

}
