#pragma once
#include <QString>

namespace lumrik {

class frmMain;

// The Macro menu (mnuSubMacro 0..9): opens the macro template window for the
// entry's template folder; the result goes to the clipboard.
void installMacroCommands(frmMain *w);

// The template folder of a Macro menu entry for a document of `machine`, as
// the macro window takes it (below the program folder, beginning with "\"):
// the machine's own folder "\Macron\<machine>\<entry folder>" when it exists,
// else "\<entry folder>".
QString macroEntryPath(const QString &machine, const QString &entryFolder);

}
