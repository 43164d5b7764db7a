#include "core/workerrun.h"

#include "core/globals.h"
#include "core/progress.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>

#include <atomic>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

namespace lumrik {

namespace {

int gRuns = 0;

// One run: lives on the window's thread from start to finish.
class Run : public QObject {
public:
    Run(QObject *context, WorkerRunOptions options, std::function<void(const WorkerRun::GoOn &)> compute,
        std::function<void(bool)> finish)
        : context_(context), hasContext_(context != nullptr), options_(std::move(options)),
          compute_(std::move(compute)), finish_(std::move(finish))
    {
    }

    ~Run() override
    {
        if (worker_.joinable())
            worker_.join();
    }

    void start()
    {
        ++gRuns;
        longWork_.emplace();
        const bool windows = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
        if (!options_.keyboard && windows)
            options_.keyboard = QApplication::focusWidget();
        if (options_.waitCursor)
            cursor_.emplace(true, Qt::BusyCursor);
        scale_ = 1;
        while (options_.maximum / scale_ > std::numeric_limits<int>::max())
            scale_ *= 2;
        if (options_.progress) {
            gRkAbort = false;
            if (windows)
                dialog_ = showProgressDialog(options_.owner, options_.maximum);
            connect(&poll_, &QTimer::timeout, this, &Run::poll);
            poll_.start(25);
        }
        worker_ = std::thread([this] {
            const WorkerRun::GoOn goOn = [this](qint64 done) {
                done_.store(done, std::memory_order_relaxed);
                if (abortDueForTests(done))
                    abort_ = true;
                return !abort_.load();
            };
            compute_(goOn);
            QMetaObject::invokeMethod(this, [this] { end(); }, Qt::QueuedConnection);
        });
    }

private:
    // The abort button and the bar, while the worker computes.
    void poll()
    {
        if (gRkAbort || (dialog_ && dialog_->bAbort))
            abort_ = true;
        if (dialog_)
            dialog_->ProgressBar->setValue(
                int(std::min(done_.load(std::memory_order_relaxed), options_.maximum) / scale_));
    }

    void end()
    {
        worker_.join();
        poll_.stop();
        const bool aborted = abort_;
        if (aborted) {
            // As the abort button leaves it, for what looks at it afterwards.
            gRkAbort = true;
            if (dialog_)
                dialog_->bAbort = true;
        }
        if (dialog_) {
            dialog_->hide();
            delete dialog_;
        }
        if (QApplication::focusWidget() != options_.keyboard)
            giveFocusBack(options_.keyboard);
        cursor_.reset();
        // What the work gives back is in before anything that waited for it.
        if (!hasContext_ || context_)
            finish_(aborted);
        --gRuns;
        longWork_.reset();
        deleteLater();
    }

    QPointer<QObject> context_;
    bool hasContext_;
    WorkerRunOptions options_;
    std::function<void(const WorkerRun::GoOn &)> compute_;
    std::function<void(bool)> finish_;
    std::optional<LongWork> longWork_;
    std::optional<WaitCursor> cursor_;
    QPointer<frmProgress> dialog_;
    QTimer poll_;
    std::thread worker_;
    std::atomic<bool> abort_{false};
    std::atomic<qint64> done_{0};
    qint64 scale_ = 1;
};

}

void WorkerRun::start(QObject *context, WorkerRunOptions options, std::function<void(const GoOn &)> compute,
                      std::function<void(bool aborted)> finish)
{
    (new Run(context, std::move(options), std::move(compute), std::move(finish)))->start();
}

int WorkerRun::underWay() { return gRuns; }

frmProgress *showProgressDialog(QWidget *owner, qint64 maximum)
{
    auto *dialog = new frmProgress(owner);
    dialog->setWindowModality(Qt::ApplicationModal);
    qint64 scale = 1;
    while (maximum / scale > std::numeric_limits<int>::max())
        scale *= 2;
    dialog->ProgressBar->setMaximum(int(std::max<qint64>(maximum / scale, 1)));
    dialog->show();
    return dialog;
}

}
