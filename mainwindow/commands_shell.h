#pragma once
namespace lumrik {

class frmMain;

// The commands that leave the editor: compare, the file-database program
// (toolbar "Info" and "findinfo"), the calculation program, the updater, the
// manual, the maker's web pages and the about window.
void installShellCommands(frmMain *w);

}
