#pragma once
#include <QDialog>
#include <QPointer>

#include <functional>

class QProgressBar;
class QPushButton;

namespace lumrik {

// The shared progress window of long operations. It is shown without exec():
// the work runs off the window and the ordinary event loop serves the
// dialog, so the abort button works, while input to every other window is
// blocked.
class frmProgress : public QDialog {
    Q_OBJECT
public:
    explicit frmProgress(QWidget *owner = nullptr);

    bool bAbort = false;
    QProgressBar *ProgressBar;
    QPushButton *btnProgessAbort;

    void btnProgessAbort_Click();

protected:
    void closeEvent(QCloseEvent *e) override;  // the close box counts as abort
    void keyPressEvent(QKeyEvent *e) override; // Esc counts as abort, never closes
};

// The wait pointer over every window while it is in scope (the busy pointer,
// Qt::BusyCursor, for work that lets events run). Nothing happens without a
// QApplication, or with `on` false.
class WaitCursor {
public:
    explicit WaitCursor(bool on = true, Qt::CursorShape shape = Qt::WaitCursor);
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool on_;
};

// Long work under way: a LongWork in scope (a command computed off the
// window, from the start of its work to its last piece in the text). Nothing here lets events run: work that lasts goes off the
// window and comes back from the ordinary event loop, and the program under
// it is busy (frmDocument::busy). What must not act on a program under work
// (a drop, a close, a hand-over, the check for a changed file) asks whenDone
// and comes once the last long work has ended, in the order it asked.
class LongWork {
public:
    LongWork();
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;

    static bool underWay();
    // Runs `action` now when no long work is under way and nothing waits;
    // otherwise from the event loop once the last long work has ended, in
    // order, and not at all when `context` is gone by then.
    static void whenDone(QObject *context, std::function<void()> action);
    // Actions waiting for the end of long work.
    static int waiting();
};

// After a progress window that took the activation has gone: `widget`
// (where the keyboard was before it came) and its window get the keyboard
// and the activation back. Without this, Qt may be left with no active
// window and no focus widget while the window manager has given the window
// the focus, and no key would reach the program.
void giveFocusBack(QWidget *widget);

// For tests: from now on every long run with the progress dialog stops, as by
// its abort button, once it has done at least `value` (lines, bytes or pages);
// 0 ends it.
void abortRunsAtForTests(qint64 value);
// Whether that abort is due at `value` (safe on any thread).
bool abortDueForTests(qint64 value);

}
