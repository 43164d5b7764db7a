#include "core/progress.h"

#include "core/globals.h"
#include "core/language.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <deque>

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

int gLongWork = 0; // long work under way: LongWork scopes and progress runs

// An action waiting for the end of long work.
struct Waiting {
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void()> action;
};

std::deque<Waiting> gWaiting;
bool gDraining = false;

void drainWaiting();

void postDrain()
{
    if (!gWaiting.empty() && QCoreApplication::instance())
        QMetaObject::invokeMethod(QCoreApplication::instance(), &drainWaiting, Qt::QueuedConnection);
}

// Runs what waited, in order, once no long work is under way; an event loop
// opened by one of them (a question) does not start the next, and long work
// that one of them starts keeps the rest waiting for its end.
void drainWaiting()
{
    if (gDraining)
        return;
    gDraining = true;
    while (!gWaiting.empty() && gLongWork == 0) {
        Waiting w = std::move(gWaiting.front());
        gWaiting.pop_front();
        if (!w.hasContext || w.context)
            w.action();
    }
    gDraining = false;
}

void beginLongWork() { ++gLongWork; }

void endLongWork()
{
    if (--gLongWork == 0)
        postDrain();
}

}

LongWork::LongWork() { beginLongWork(); }
LongWork::~LongWork() { endLongWork(); }
bool LongWork::underWay() { return gLongWork > 0; }
int LongWork::waiting() { return int(gWaiting.size()); }

void LongWork::whenDone(QObject *context, std::function<void()> action)
{
    if (gLongWork == 0 && gWaiting.empty()) {
        action();
        return;
    }
    Waiting w;
    w.context = context;
    w.hasContext = context != nullptr;
    w.action = std::move(action);
    gWaiting.push_back(std::move(w));
    if (gLongWork == 0)
        postDrain();
}

namespace {
std::atomic<qint64> gAbortAt{0}; // read by work on other threads too
}

void abortRunsAtForTests(qint64 value) { gAbortAt = value; }
bool abortDueForTests(qint64 value)
{
    const qint64 at = gAbortAt;
    return at > 0 && value >= at;
}

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
