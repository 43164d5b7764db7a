#include "core/progress.h"

#include "core/globals.h"
#include "core/language.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QThread>
#include <QWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <ctime>
#include <deque>
#include <memory>

namespace lumrik {

frmProgress::frmProgress(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmProgress");
    setTag(this, 1023);
    setWindowTitle(QStringLiteral("Ett ögonblick..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto *lay = new QVBoxLayout(this);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setTextVisible(false);
    ProgressBar->setMinimumWidth(320);
    btnProgessAbort = new QPushButton(QStringLiteral("&Avbryt"), this);
    btnProgessAbort->setObjectName("btnProgessAbort");
    setTag(btnProgessAbort, 20);
    lay->addWidget(ProgressBar);
    lay->addWidget(btnProgessAbort, 0, Qt::AlignHCenter);
    connect(btnProgessAbort, &QPushButton::clicked, this, &frmProgress::btnProgessAbort_Click);
    SetLanguage(this);
}

void frmProgress::btnProgessAbort_Click()
{
    bAbort = true;
    gRkAbort = true;
}

void frmProgress::closeEvent(QCloseEvent *e)
{
    btnProgessAbort_Click();
    e->ignore();
}

void frmProgress::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        btnProgessAbort_Click();
        return;
    }
    QDialog::keyPressEvent(e);
}

namespace {

constexpr int kServeEveryMs = 40;
int gServeEveryMs = kServeEveryMs;
int gLongWork = 0;    // long work under way: LongWork scopes and progress runs
int gProgressRuns = 0; // of them with the progress dialog's run
qint64 gServedAt = -1; // when the events last ran (ms), -1: no long work

// Milliseconds of the system's coarse clock: asked after every line of a long
// run, and the precise clock costs more there than the line's own work on
// some machines; a few milliseconds of resolution do here.
qint64 nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Whether the events are due to run; starts the clock with the first work.
bool serveDue()
{
    if (gServeEveryMs == 0)
        return true;
    const qint64 now = nowMs();
    if (gServedAt < 0) {
        gServedAt = now;
        return false;
    }
    return now - gServedAt >= gServeEveryMs;
}

// ----- one owner for a program under long work

// What the gate does with an event while long work serves its events.
enum class Gate {
    Pass,  // runs now: painting, geometry, posted calls, input (held back by
           // the event loop's flags or by the progress window's modality)
    Hold,  // delivered once the work has ended
    Again, // dropped now: its source raises it again (timers, socket notices)
};

Gate gateOf(QEvent::Type type)
{
    switch (type) {
    case QEvent::Timer:
    case QEvent::SockAct:
    case QEvent::SockClose:
        return Gate::Again;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
    case QEvent::ApplicationStateChange:
    case QEvent::ApplicationActivate:
    case QEvent::ApplicationDeactivate:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::FocusAboutToChange:
    case QEvent::WindowStateChange:
    case QEvent::Close:
    case QEvent::Drop:
    case QEvent::FileOpen:
    case QEvent::Quit:
        return Gate::Hold;
    default:
        return Gate::Pass;
    }
}

// A held event or an action waiting for the end of long work.
struct Waiting {
    QPointer<QObject> receiver; // of the event; the context of an action
    bool hasContext = false;
    std::unique_ptr<QEvent> event;
    std::unique_ptr<QMimeData> dropData; // a held drop's own copy of its data
    std::function<void()> action;
};

std::deque<Waiting> gWaiting;
std::vector<QPointer<QObject>> gLetThrough;
std::vector<QPointer<QObject>> gOwnDrops;  // with their children
std::vector<QPointer<QObject>> gOwnCloses; // themselves only
int gServing = 0;     // serveNow() calls under way
int gServeLevel = -1; // the event loop level the innermost one serves
bool gDraining = false;

bool inList(const std::vector<QPointer<QObject>> &list, const QObject *o, bool withChildren)
{
    for (; o; o = withChildren ? o->parent() : nullptr)
        for (const QPointer<QObject> &p : list)
            if (p == o)
                return true;
    return false;
}

bool letThrough(const QObject *o) { return inList(gLetThrough, o, true); }

// Events that their receivers answer themselves during long work.
bool answeredByReceiver(const QObject *receiver, QEvent::Type type)
{
    return (type == QEvent::Drop && inList(gOwnDrops, receiver, true))
           || (type == QEvent::Close && inList(gOwnCloses, receiver, false));
}

void addTo(std::vector<QPointer<QObject>> &list, QObject *object)
{
    std::erase_if(list, [](const QPointer<QObject> &p) { return p.isNull(); });
    list.emplace_back(object);
}

void drainWaiting();

void postDrain()
{
    if (!gWaiting.empty() && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), &drainWaiting, Qt::QueuedConnection);
}

// Runs what waited, in order, once no long work is under way; an event loop
// opened by one of them (a question) does not start the next.
void drainWaiting()
{
    if (gDraining)
        return;
    gDraining = true;
    while (!gWaiting.empty() && gLongWork == 0) {
        Waiting w = std::move(gWaiting.front());
        gWaiting.pop_front();
        if (w.action) {
            if (!w.hasContext || w.receiver)
                w.action();
        } else if (w.receiver && w.event->type() == QEvent::Close) {
            // The close itself, not just the window's answer to it.
            if (w.receiver->isWidgetType())
                static_cast<QWidget *>(w.receiver.data())->close();
            else if (w.receiver->isWindowType())
                static_cast<QWindow *>(w.receiver.data())->close();
        } else if (w.receiver) {
            QCoreApplication::sendEvent(w.receiver, w.event.get());
        }
    }
    gDraining = false;
}

void hold(QObject *receiver, QEvent *e)
{
    Waiting w;
    w.receiver = receiver;
    if (e->type() == QEvent::Drop) {
        // The data of a drop lives only as long as the drag: a copy is kept,
        // and the drop is taken now so that its source is not left waiting.
        auto *drop = static_cast<QDropEvent *>(e);
        w.dropData = std::make_unique<QMimeData>();
        if (const QMimeData *data = drop->mimeData())
            for (const QString &format : data->formats())
                w.dropData->setData(format, data->data(format));
        auto copy = std::make_unique<QDropEvent>(drop->position(), drop->possibleActions(), w.dropData.get(),
                                                 drop->buttons(), drop->modifiers(), QEvent::Drop);
        copy->setDropAction(drop->dropAction());
        w.event = std::move(copy);
        drop->acceptProposedAction();
    } else {
        w.event.reset(e->clone());
        if (e->type() == QEvent::Close)
            e->ignore(); // not closed now: closed once the work has ended
    }
    gWaiting.push_back(std::move(w));
}

class LongWorkGate : public QObject {
protected:
    bool eventFilter(QObject *receiver, QEvent *e) override
    {
        if (gServing == 0 || QThread::currentThread()->loopLevel() != gServeLevel)
            return false; // a loop of its own (a question) runs as usual
        const Gate gate = gateOf(e->type());
        if (gate == Gate::Pass || receiver->isWindowType() || letThrough(receiver)
            || answeredByReceiver(receiver, e->type()))
            return false;
        if (gate == Gate::Hold)
            hold(receiver, e);
        return true;
    }
};

void serveNow()
{
    if (!QCoreApplication::instance())
        return;
    static LongWorkGate *gate = nullptr;
    if (!gate) {
        gate = new LongWorkGate; // lives as long as the process
        gate->moveToThread(QCoreApplication::instance()->thread());
    }
    const int outerLevel = gServeLevel;
    gServeLevel = QThread::currentThread()->loopLevel();
    if (gServing++ == 0)
        QCoreApplication::instance()->installEventFilter(gate);
    QCoreApplication::processEvents(gProgressRuns > 0 ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    if (--gServing == 0)
        QCoreApplication::instance()->removeEventFilter(gate);
    gServeLevel = outerLevel;
    gServedAt = nowMs();
}

void beginLongWork()
{
    if (gLongWork++ == 0)
        gServedAt = nowMs();
}

void endLongWork()
{
    if (--gLongWork == 0) {
        gServedAt = -1;
        postDrain();
    }
}

}

LongWork::LongWork() { beginLongWork(); }
LongWork::~LongWork() { endLongWork(); }
bool LongWork::underWay() { return gLongWork > 0; }
bool LongWork::serving() { return gServing > 0; }
int LongWork::waiting() { return int(gWaiting.size()); }

void LongWork::whenDone(QObject *context, std::function<void()> action)
{
    if (gLongWork == 0 && gWaiting.empty()) {
        action();
        return;
    }
    Waiting w;
    w.receiver = context;
    w.hasContext = context != nullptr;
    w.action = std::move(action);
    gWaiting.push_back(std::move(w));
    if (gLongWork == 0)
        postDrain();
}

void LongWork::letThrough(QObject *object) { addTo(gLetThrough, object); }
void LongWork::answersOwnDrops(QObject *object) { addTo(gOwnDrops, object); }
void LongWork::answersOwnClose(QObject *window) { addTo(gOwnCloses, window); }
void LongWork::serveEveryForTests(int ms) { gServeEveryMs = ms < 0 ? kServeEveryMs : ms; }

bool serveLongWork()
{
    if (gLongWork == 0 || !serveDue())
        return false;
    serveNow();
    return true;
}

ProgressRun::ProgressRun(QWidget *owner, qint64 maximum)
{
    beginLongWork();
    ++gProgressRuns;
    gRkAbort = false;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        focus_ = QApplication::focusWidget();
        dialog_ = new frmProgress(owner);
        LongWork::letThrough(dialog_); // its abort button works during the run
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->show();
        serveNow();
    }
    setMaximum(maximum);
}

ProgressRun::~ProgressRun()
{
    if (dialog_) {
        dialog_->hide();
        delete dialog_;
        giveFocusBack(focus_);
    }
    --gProgressRuns;
    endLongWork();
}

void ProgressRun::setMaximum(qint64 maximum)
{
    maximum_ = maximum;
    scale_ = 1;
    while (maximum / scale_ > std::numeric_limits<int>::max())
        scale_ *= 2;
    if (dialog_)
        dialog_->ProgressBar->setMaximum(int(std::max<qint64>(maximum / scale_, 1)));
}

namespace {
std::atomic<qint64> gAbortAt{0}; // read by work on other threads too
}

void ProgressRun::abortAtForTests(qint64 value) { gAbortAt = value; }
bool ProgressRun::abortDueForTests(qint64 value)
{
    const qint64 at = gAbortAt;
    return at > 0 && value >= at;
}

void ProgressRun::abortHook(qint64 value)
{
    if (abortDueForTests(value) && !aborted()) {
        if (dialog_)
            dialog_->btnProgessAbort_Click();
        else
            gRkAbort = true;
    }
}

bool ProgressRun::step(qint64 value)
{
    abortHook(value);
    if (serveDue()) {
        if (dialog_)
            dialog_->ProgressBar->setValue(int(std::min(value, maximum_) / scale_));
        serveNow();
    }
    return !aborted();
}

bool ProgressRun::aborted() const { return (dialog_ && dialog_->bAbort) || gRkAbort; }

void giveFocusBack(QWidget *widget)
{
    // The progress window had the activation; the window it came from gets
    // it back, asked for after the progress window's own going, so that the
    // window system's last word is this one.
    if (!widget || !widget->isVisible() || !widget->isEnabled())
        return;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    widget->window()->activateWindow();
    widget->setFocus(Qt::ActiveWindowFocusReason);
}

WaitCursor::WaitCursor(bool on, Qt::CursorShape shape)
    : on_(on && qobject_cast<QApplication *>(QCoreApplication::instance()))
{
    if (on_)
        QApplication::setOverrideCursor(shape);
}

WaitCursor::~WaitCursor()
{
    if (on_)
        QApplication::restoreOverrideCursor();
}

}
