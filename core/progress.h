#pragma once
#include <QDialog>
#include <QPointer>

#include <functional>

class QProgressBar;
class QPushButton;

namespace lumrik {

// The shared progress window of long operations. It is shown without exec():
// the running operation lets window messages run between its steps, so the
// abort button works, while input to every other window is blocked.
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

// Long work that keeps the windows alive: while one is under way (a LongWork
// in scope, or a ProgressRun), serveLongWork() lets pending window events run
// when the last round was a few hundredths of a second ago. With the progress
// dialog up every event runs, its abort button among them (the dialog keeps
// input from every other window); without it, input to the windows waits
// until the work is over, so that nothing typed or clicked reaches a text
// that is half rewritten.
//
// While the events of long work run, the program under work has one owner:
// every event that could change, replace or close a program waits until the
// last long work has ended, and then runs in the order it came. Activation,
// focus, close, drop, input and shortcut events are held and delivered
// afterwards; timers and socket notices are left to come again (they do so
// by themselves). Painting, geometry and posted calls run as before. Events
// to objects let through (the progress window, the hand-over's answer) run
// as always, and so does every event of an event loop opened inside them.
class LongWork {
public:
    LongWork();
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;

    static bool underWay();
    // True while the events of long work are being served: the program
    // under work may be half rewritten.
    static bool serving();
    // Runs `action` now when no long work is under way; otherwise from the
    // event loop once the last long work has ended, in order with the held
    // events, and not at all when `context` is gone by then.
    static void whenDone(QObject *context, std::function<void()> action);
    // Events to `object` and to its children run while long work serves its
    // events, as they would without it, for as long as the object lives.
    static void letThrough(QObject *object);
    // Drops on `object` and on its children reach them during long work, as
    // they come: the receiver answers each itself, at once, by taking what
    // it carries for later (whenDone) or by refusing it. A drop held and
    // delivered later would find its drag over, and be lost.
    static void answersOwnDrops(QObject *object);
    // The same for a close of the window `window` itself (not of its
    // children): it waits for the end of the work in order, or is refused.
    static void answersOwnClose(QObject *window);
    // Held events and actions waiting for the end of long work.
    static int waiting();
    // For tests: events run at every serveLongWork() (0), or at most every
    // `ms` milliseconds; a negative value gives the usual interval back.
    static void serveEveryForTests(int ms);
};

// After a progress window that took the activation has gone: `widget`
// (where the keyboard was before it came) and its window get the keyboard
// and the activation back. Without this, Qt may be left with no active
// window and no focus widget while the window manager has given the window
// the focus, and no key would reach the program.
void giveFocusBack(QWidget *widget);

// Lets pending events run when long work is under way and its events last
// ran a while ago. True when they ran.
bool serveLongWork();

// One run of a long operation: shows the dialog (when there is a display),
// clears the abort flags, and unloads the dialog when it goes out of scope.
class ProgressRun {
public:
    ProgressRun(QWidget *owner, qint64 maximum);
    ~ProgressRun();
    ProgressRun(const ProgressRun &) = delete;
    ProgressRun &operator=(const ProgressRun &) = delete;

    // Sets the bar, lets pending window messages run now and then, and returns
    // false once the user asked to abort.
    bool step(qint64 value);
    bool aborted() const;
    void setMaximum(qint64 maximum);
    frmProgress *dialog() const { return dialog_; }

    // For tests: from now on every run is aborted, as by the abort button, once
    // step() is given a value of at least `value` (lines or bytes done); 0 ends it.
    static void abortAtForTests(qint64 value);
    // Whether that abort is due at `value` (also for work that runs on
    // another thread and has no run of its own; safe on any thread).
    static bool abortDueForTests(qint64 value);

private:
    void abortHook(qint64 value);

    frmProgress *dialog_ = nullptr;
    QPointer<QWidget> focus_; // the keyboard's widget before the dialog came
    qint64 maximum_ = 0;
    int scale_ = 1;
};

}
