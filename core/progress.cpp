#include "core/progress.h"

#include "core/globals.h"
#include "core/language.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

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

void serveNow()
{
    QCoreApplication::processEvents(gProgressRuns > 0 ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    gServedAt = nowMs();
}

void beginLongWork()
{
    if (gLongWork++ == 0)
        gServedAt = nowMs();
}

void endLongWork()
{
    if (--gLongWork == 0)
        gServedAt = -1;
}

}

LongWork::LongWork() { beginLongWork(); }
LongWork::~LongWork() { endLongWork(); }
bool LongWork::underWay() { return gLongWork > 0; }
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
        dialog_ = new frmProgress(owner);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->show();
        QCoreApplication::processEvents();
    }
    setMaximum(maximum);
}

ProgressRun::~ProgressRun()
{
    if (dialog_) {
        dialog_->hide();
        delete dialog_;
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
qint64 gAbortAt = 0;
}

void ProgressRun::abortAtForTests(qint64 value) { gAbortAt = value; }

void ProgressRun::abortHook(qint64 value)
{
    if (gAbortAt > 0 && value >= gAbortAt && !aborted()) {
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
