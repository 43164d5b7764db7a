#pragma once
// NC syntax colouring of a document's editor by its machine's syntax file.
#include "documents/syntaxrules.h"

#include <functional>

class QWidget;

namespace lumrik {

class Editor;

// Colours lines firstLine..lastLine of the editor (a firstLine of 0 means the
// whole text) by the syntax file of the machine. Lines count from 1. A time
// budget in milliseconds greater than 0 stops the run at the first line that
// starts after it. With progress the shared progress dialog shows and its
// abort button stops the run. The text, the caret, the selection, the top
// line, the insert mode and the modified flag are the same afterwards, and
// screen updating is as it was (on), also when the syntax file is bad (that is reported) or
// the run is stopped. Returns the number of lines coloured.
//
// With progress the lines are coloured off the window (documents/stylework.h)
// and the call returns 0 at once: `finished` gets the number of lines
// coloured once the document is free again (also when the syntax file is bad,
// then at once). Work under way on the document comes first.
int ColorNC(Editor *txtText, const QString &machine, int firstLine, int lastLine, int budgetMs,
            bool showProgress, QWidget *owner = nullptr, std::function<void(int lines)> finished = {});

// The time budget of colouring a whole document on command:
// ColorNC(doc->txtText, doc->sMaskin, 0, 0, kColorCommandBudgetMs, true, doc).
inline constexpr int kColorCommandBudgetMs = 30000;

}
