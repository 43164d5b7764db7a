#pragma once
// A whole-program rewrite of a document by a line rule, computed off the
// window: the rule runs on a worker thread over a copy of the program while
// the event loop goes on (the progress dialog's bar and "Avbryt" among what it
// serves), and the document takes the result as one change, one undo step, a
// piece per round of the event loop. Meanwhile the document is busy
// (frmDocument::busy): read-only, and what would act on it waits for the end.
//
// A program of at most one piece (about a megabyte) is rewritten at once, in
// the command itself, as a small change: that takes a few milliseconds, and
// no events run meanwhile.
#include "ncops/lineframe.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace lumrik {

class Editor;
class frmDocument;

struct LineWork {
    LineFrame::Rule rule; // runs on the worker thread: it may touch nothing of the window
    const char *traceName = "";
    bool progress = false;   // the progress dialog with "Avbryt"; an abort keeps the lines done
    bool selfAssign = true;  // the text assigned to itself first
    bool waitCursor = true;
    // Where the keyboard was when the command began (before its questions
    // and dialogs; the focus widget at the start when not given): it goes
    // back there when the work is over.
    QPointer<QWidget> keyboard;
    // On the window's thread, in the frame: before the new text goes in, and
    // after it is in (`done`: lines done; `aborted`: stopped by "Avbryt").
    std::function<void(Editor *)> before;
    std::function<void(Editor *, int done, bool aborted)> after;
    // After the frame is closed and the document is free again.
    std::function<void()> finished;
};

// Starts the work on the document; returns at once when the program is
// larger than a piece (the rest follows from the event loop), after the whole
// work otherwise. A busy document is not started on.
void startLineWork(frmDocument *doc, LineWork work);

}
