// The whole-program line work off the window: one job per run, from the
// copy of the program to the document free again.
#include "ncops/linework.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/progress.h"
#include "core/workerrun.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace lumrik {

namespace {

class LineJob : public QObject {
public:
    LineJob(frmDocument *doc, LineWork work) : QObject(doc), doc_(doc), work_(std::move(work)) {}
    ~LineJob() override
    {
        if (worker_.joinable())
            worker_.join();
        if (!editor_) {
            // The window went with its editor under the work (the program
            // ends): nothing is left to give the text back to.
            (void)rewrite_.release();
            (void)frame_.release();
        }
    }

    void start()
    {
        Editor *ed = doc_->txtText;
        editor_ = ed;
        doc_->setBusy(true);
        longWork_.emplace(); // what waits for the end of long work waits for this
        if (work_.waitCursor)
            cursor_ = std::make_unique<WaitCursor>();
        if (work_.progress) {
            gRkAbort = false;
            if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
                dialog_ = showProgressDialog(doc_, ed->Count());
            }
        }
        connect(&poll_, &QTimer::timeout, this, &LineJob::poll);
        poll_.start(25);
        source_.reserve(ed->TextLength());
        copyPiece();
    }

private:
    // The worker's copy of the program, a piece a round of the event loop
    // (the text is read-only meanwhile); then the worker starts on it.
    void copyPiece()
    {
        if (!doc_) {
            end(false);
            return;
        }
        const QByteArrayView text = doc_->txtText->textView();
        source_.append(text.sliced(source_.size(), std::min<qsizetype>(Editor::pieceBytes(), text.size() - source_.size())));
        if (source_.size() < text.size()) {
            QTimer::singleShot(0, this, [this] { copyPiece(); });
            return;
        }
        worker_ = std::thread([this] { compute(); });
    }

    // On the worker thread: the rule over the copy, a piece at a time for
    // the window's thread to put in while the next is made.
    void compute()
    {
        std::function<bool(int)> goOn;
        if (work_.progress)
            goOn = [this](int line) {
                done_.store(line, std::memory_order_relaxed);
                if (abortDueForTests(line))
                    abort_ = true;
                return !abort_.load();
            };
        Editor::rewriteTextInPieces(source_, work_.rule, goOn, [this](Editor::RewrittenPiece piece) {
            std::lock_guard lock(mutex_);
            made_.push_back(std::move(piece));
            if (std::exchange(waiting_, false))
                QMetaObject::invokeMethod(this, [this] { nextPiece(); }, Qt::QueuedConnection);
        });
        source_ = QByteArray();
    }

    // The abort button and the bar, while the worker computes.
    void poll()
    {
        if (!dialog_)
            return;
        if (dialog_->bAbort || gRkAbort)
            abort_ = true;
        dialog_->ProgressBar->setValue(std::min(done_.load(std::memory_order_relaxed), dialog_->ProgressBar->maximum()));
    }

    // The frame and the place of the new text, before its first piece.
    bool open()
    {
        return RkGuard(work_.traceName, [&] {
            Editor *ed = doc_->txtText;
            frame_ = std::make_unique<LineFrame>(ed, work_.selfAssign);
            if (work_.before)
                work_.before(ed);
            rewrite_ = std::make_unique<Editor::PieceRewrite>(ed);
            return true;
        });
    }

    // The last piece is made: the worker is done.
    void computed()
    {
        worker_.join();
        poll_.stop();
        if (dialog_)
            dialog_->ProgressBar->setValue(dialog_->ProgressBar->maximum());
        aborted_ = abort_;
        if (aborted_) {
            // As the abort button leaves it, for what looks at it afterwards.
            gRkAbort = true;
            if (dialog_)
                dialog_->bAbort = true;
        }
    }

    // One piece of the new text a round of the event loop, as the worker
    // makes them; when none is ready yet, the worker calls again.
    void nextPiece()
    {
        if (putting_ || ended_)
            return; // a large piece lets events run while it goes in: the round after it takes the next
        if (!doc_) {
            end(false);
            return;
        }
        Editor::RewrittenPiece piece;
        {
            std::lock_guard lock(mutex_);
            if (made_.empty()) {
                waiting_ = true;
                return;
            }
            piece = std::move(made_.front());
            made_.pop_front();
        }
        if (piece.last)
            computed();
        if (!rewrite_ && !open()) {
            end(false);
            return;
        }
        putting_ = true;
        const bool fine = RkGuard(work_.traceName, [&] {
            rewrite_->put(piece);
            return true;
        });
        putting_ = false;
        if (fine && !piece.last)
            QTimer::singleShot(0, this, [this] { nextPiece(); });
        else
            end(fine);
    }

    void end(bool ok)
    {
        ended_ = true;
        abort_ = true; // a worker still at it stops as soon as it asks
        if (ok && doc_ && work_.after)
            RkGuard(work_.traceName, [&] { work_.after(doc_->txtText, rewrite_->lines(), aborted_); });
        rewrite_.reset();
        frame_.reset();
        if (dialog_) {
            dialog_->hide();
            delete dialog_;
        }
        if (QApplication::focusWidget() != work_.keyboard)
            giveFocusBack(work_.keyboard);
        if (doc_)
            doc_->setBusy(false);
        cursor_.reset();
        longWork_.reset();
        if (ok && doc_ && work_.finished)
            RkGuard(work_.traceName, [&] { work_.finished(); });
        deleteLater();
    }

    QPointer<frmDocument> doc_;
    LineWork work_;
    std::optional<LongWork> longWork_;
    std::unique_ptr<WaitCursor> cursor_;
    QPointer<frmProgress> dialog_;
    QTimer poll_;
    std::thread worker_;
    std::atomic<bool> abort_{false};
    std::atomic<int> done_{0};
    QByteArray source_;
    std::mutex mutex_;
    std::deque<Editor::RewrittenPiece> made_; // made by the worker, not yet in
    bool waiting_ = true;                     // the window's thread waits for the next piece
    bool putting_ = false, ended_ = false;
    QPointer<Editor> editor_;
    std::unique_ptr<LineFrame> frame_;
    std::unique_ptr<Editor::PieceRewrite> rewrite_;
    bool aborted_ = false;
};

}

void startLineWork(frmDocument *doc, LineWork work)
{
    if (!doc)
        return;
    if (doc->busy()) {
        // After the work under way, in its turn.
        QPointer<frmDocument> later(doc);
        LongWork::whenDone(doc, [later, work] { startLineWork(later, work); });
        return;
    }
    if (!work.keyboard && qobject_cast<QApplication *>(QCoreApplication::instance()))
        work.keyboard = QApplication::focusWidget();
    if (doc->txtText->TextLength() > Editor::pieceBytes()) {
        (new LineJob(doc, std::move(work)))->start();
        return;
    }
    // A program of one piece: a few milliseconds, here and now, in one go.
    // No progress dialog comes for so short a time; the abort of the tests
    // stops it at the line it names, as it stops the work off the window.
    RkGuard(work.traceName, [&] {
        Editor *ed = doc->txtText;
        std::optional<WaitCursor> wait;
        if (work.waitCursor)
            wait.emplace();
        std::optional<LongWork> progress;
        std::function<bool(int)> goOn;
        if (work.progress) {
            progress.emplace();
            gRkAbort = false;
            goOn = [](int line) {
                if (abortDueForTests(line))
                    gRkAbort = true;
                return !gRkAbort;
            };
        }
        {
            LineFrame frame(ed, work.selfAssign);
            if (work.before)
                work.before(ed);
            const int done = frame.run(work.rule, goOn);
            if (work.after)
                work.after(ed, done, work.progress && gRkAbort);
        }
        progress.reset();
        // The command's dialogs have gone: the keyboard goes back to where
        // it was, as after the work off the window.
        if (qobject_cast<QApplication *>(QCoreApplication::instance()) && QApplication::focusWidget() != work.keyboard)
            giveFocusBack(work.keyboard);
        if (work.finished)
            work.finished();
    });
}

}
