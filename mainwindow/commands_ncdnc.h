#pragma once
namespace lumrik {

class frmMain;

// The View and NC menu commands: each hands the active document to its operation.
void installNcCommands(frmMain *w);
// The transfer commands: send the active program, receive a program.
void installTransferCommands(frmMain *w);

}
