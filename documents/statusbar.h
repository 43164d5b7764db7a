#pragma once
// The status display of the active document: insert mode, caret position and
// text size in the main window's status bar, "Ej sparad" in the document's own
// status bar, and the File toolbar's Save button.
#include <QString>

namespace lumrik {

class Editor;

// Brings the status display in line with the main window's active document.
// Called after every key stroke, caret move and change of the modified flag,
// when a document gets the focus or closes, after a save and by Select All.
void RkUpdateGlobalStatus();

// The texts of the main window's panels 3 and 4 for an editor.
QString statusCaretText(int caretY, int caretX);
QString statusTotalText(int lines, qint64 chars);

// The document's own panel 4 while it has unsaved changes.
inline const QString kTxtNotSaved = QStringLiteral("Ej sparad");

}
