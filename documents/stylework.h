#pragma once
// Colouring worked out off the window: the styles of a program are computed
// on a worker thread over a copy of its bytes, and given to the editor from
// the window's thread, a window of at most a megabyte of styles per round of
// the event loop, while the document is busy (read-only, keys held until the
// end). The command that starts it returns at once.
#include "core/workerrun.h"

#include <QByteArray>
#include <QPointer>

#include <functional>

class QWidget;

namespace lumrik {

class Editor;

// Styles for the bytes of the text from `offset` on (offsets in textView()),
// one style number a byte.
struct StyleWindow {
    qint64 offset = 0;
    QByteArray styles;
};

// The largest window of styles given to the editor in one round.
inline constexpr qsizetype kStyleWindowBytes = 1024 * 1024;

// The worker's way to the window's thread: hands a window over, waits while
// four are not yet in (so no style buffer the size of the text is made), and
// tells whether the editor is still there to take it.
using GiveStyles = std::function<bool(StyleWindow)>;

struct StyleWork {
    QWidget *owner = nullptr; // the progress dialog's owner
    bool progress = true;
    qint64 maximum = 0;       // the bar's end
    // On the worker: the styles, window by window, in order of the text.
    std::function<void(const WorkerRun::GoOn &, const GiveStyles &)> compute;
    // On the window's thread, before a window goes in: its style numbers
    // turned into the editor's.
    std::function<void(Editor *, QByteArray &styles)> editorStyles;
    // On the window's thread after the last window, the document still busy.
    std::function<void(Editor *, bool aborted)> done;
    // Once the document is free again.
    std::function<void()> finished;
};

// True when long work is under way on the editor's document: `again` then
// runs once it is over, in its turn (and not at all when the editor is gone).
bool styleWorkWaits(Editor *ed, std::function<void()> again);

// Starts the work on the editor's text as it is now. The keyboard goes back
// where it was at the start.
void startStyleWork(Editor *ed, StyleWork work);

}
