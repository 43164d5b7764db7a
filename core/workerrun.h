#pragma once
// Long work computed off the window: `compute` runs on a worker thread over
// data of its own while the ordinary event loop goes on, the progress dialog's
// bar and "Avbryt" among what it serves; then `finish` runs on the window's
// thread, from the event loop. Nothing here opens an event loop of its own:
// the command that starts the work returns at once.
//
// While the work is under way a LongWork is held, so what waits for the end
// of long work (LongWork::whenDone: a drop, a close, a hand-over, the check
// for a changed file) comes after `finish`, in its turn. The keyboard goes
// back to where it was when the work began.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace lumrik {

struct WorkerRunOptions {
    QWidget *owner = nullptr;  // the progress dialog's owner
    bool progress = false;     // show the progress dialog with "Avbryt"
    qint64 maximum = 0;        // the bar's end (lines, bytes or pages)
    bool waitCursor = false;   // the busy pointer while the work runs
    // Where the keyboard is to be when the work is over (the focus widget
    // at the start when not given).
    QPointer<QWidget> keyboard{};
};

class WorkerRun {
public:
    // On the worker thread: sets the bar to `done` and tells whether to go
    // on (false once "Avbryt" was pressed, or an abort for tests is due).
    using GoOn = std::function<bool(qint64 done)>;
    // `compute` may touch nothing of the windows; `finish` gets whether the
    // run was aborted. `finish` does not run when `context` is gone by then.
    static void start(QObject *context, WorkerRunOptions options, std::function<void(const GoOn &)> compute,
                      std::function<void(bool aborted)> finish);
    // Runs under way (for tests and for what must not start a second one).
    static int underWay();
};

// The shared progress dialog for work served by the ordinary event loop:
// application modal, shown, its bar running to `maximum`.
class frmProgress;
frmProgress *showProgressDialog(QWidget *owner, qint64 maximum);

}
