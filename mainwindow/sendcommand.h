#pragma once
// The main window's send command (NC > Send, F5, and the toolbar key
// "Txd2Cnc"): hands the active document to the send window.

namespace lumrik {

class frmDocument;
class Session;

// Writes the active document's text with CR LF line ends to "Txd.Tmp", titles
// the send window "SÄND [ <caption> ]" and shows it. The document itself is
// left as it was: its changed flag and its line-end form stay. Does nothing
// without a document.
void sendActiveDocument(Session &session, frmDocument *doc);

}
