// Colouring off the window: one job per run, from the document made busy to
// the document free again.
#include "documents/stylework.h"

#include "core/errors.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

#include <QCoreApplication>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace lumrik {

namespace {

class StyleJob;

// What the worker and the window's thread share; it outlives the job when the
// editor goes under the work.
struct Feed {
    std::mutex mutex;
    std::condition_variable room;
    std::deque<StyleWindow> ready; // worked out, not yet in the editor
    bool windowWaits = true;       // the window's thread waits for the next window
    bool gone = false;             // the editor went: the worker stops
    QPointer<StyleJob> job;        // read on the window's thread only
};

frmDocument *documentOf(Editor *ed)
{
    for (QObject *p = ed ? ed->parent() : nullptr; p; p = p->parent())
        if (auto *doc = qobject_cast<frmDocument *>(p))
            return doc->txtText == ed ? doc : nullptr;
    return nullptr;
}

class StyleJob : public QObject {
public:
    StyleJob(Editor *ed, StyleWork work) : QObject(ed), ed_(ed), doc_(documentOf(ed)), work_(std::move(work)) {}

    ~StyleJob() override
    {
        std::lock_guard lock(feed_->mutex);
        feed_->gone = true;
        feed_->room.notify_all();
    }

    void start()
    {
        feed_->job = this;
        length_ = ed_->TextLength();
        longWork_.emplace(); // what waits for the end of long work waits for this
        cursor_.emplace(true, Qt::BusyCursor);
        if (doc_) {
            doc_->setBusy(true);
        } else {
            readOnly_ = ed_->ReadOnly();
            ed_->setReadOnly(true);
        }
        std::shared_ptr<Feed> feed = feed_;
        auto compute = std::move(work_.compute);
        WorkerRunOptions options;
        options.owner = work_.owner ? work_.owner : ed_->window();
        options.progress = work_.progress;
        options.maximum = work_.maximum;
        WorkerRun::start(this, options,
                         [feed, compute](const WorkerRun::GoOn &goOn) {
                             compute(goOn, [&feed](StyleWindow window) { return give(feed, std::move(window)); });
                         },
                         [this](bool aborted) {
                             aborted_ = aborted;
                             computed_ = true;
                             bool idle;
                             {
                                 std::lock_guard lock(feed_->mutex);
                                 idle = std::exchange(feed_->windowWaits, false);
                             }
                             if (idle)
                                 next();
                         });
    }

private:
    // On the worker.
    static bool give(const std::shared_ptr<Feed> &feed, StyleWindow window)
    {
        std::unique_lock lock(feed->mutex);
        feed->room.wait(lock, [&] { return feed->ready.size() < 4 || feed->gone; });
        if (feed->gone)
            return false;
        feed->ready.push_back(std::move(window));
        if (std::exchange(feed->windowWaits, false))
            QMetaObject::invokeMethod(QCoreApplication::instance(), [feed] {
                if (feed->job)
                    feed->job->next();
            }, Qt::QueuedConnection);
        return true;
    }

    // One window a round of the event loop, as the worker makes them; when
    // none is ready yet, the worker calls again.
    void next()
    {
        std::optional<StyleWindow> window;
        {
            std::lock_guard lock(feed_->mutex);
            if (!feed_->ready.empty()) {
                window = std::move(feed_->ready.front());
                feed_->ready.pop_front();
                feed_->room.notify_all();
            } else if (!computed_) {
                feed_->windowWaits = true;
                return;
            }
        }
        if (!window) {
            end();
            return;
        }
        // The text is read-only meanwhile; should it change all the same,
        // the styles would fall where it no longer is: the rest stays as it is.
        const bool fine = ed_->TextLength() == length_ && RkGuard("StyleWork", [&] {
            if (work_.editorStyles)
                work_.editorStyles(ed_, window->styles);
            // Styles change no text and tell nothing: screen updating stays
            // as it is, and the next paint shows them.
            ed_->setAttributeStyles(window->offset, window->styles);
            return true;
        });
        if (!fine) {
            // The rest stays as it is; the worker stops at its next window.
            std::lock_guard lock(feed_->mutex);
            feed_->gone = true;
            feed_->ready.clear();
            feed_->room.notify_all();
        }
        QTimer::singleShot(0, this, [this] { next(); });
    }

    void end()
    {
        if (work_.done)
            RkGuard("StyleWork", [&] {
                work_.done(ed_, aborted_);
                return true;
            });
        if (doc_)
            doc_->setBusy(false);
        else
            ed_->setReadOnly(readOnly_);
        cursor_.reset();
        longWork_.reset();
        auto finished = std::move(work_.finished);
        deleteLater();
        if (finished)
            finished();
    }

    Editor *ed_;
    QPointer<frmDocument> doc_;
    StyleWork work_;
    std::shared_ptr<Feed> feed_ = std::make_shared<Feed>();
    std::optional<LongWork> longWork_;
    std::optional<WaitCursor> cursor_;
    bool readOnly_ = false;
    qint64 length_ = 0;
    bool computed_ = false, aborted_ = false;
};

}

bool styleWorkWaits(Editor *ed, std::function<void()> again)
{
    frmDocument *doc = documentOf(ed);
    if (!doc || !doc->busy())
        return false;
    QPointer<Editor> later(ed);
    LongWork::whenDone(ed, [later, again = std::move(again)] {
        if (later)
            again();
    });
    return true;
}

void startStyleWork(Editor *ed, StyleWork work)
{
    (new StyleJob(ed, std::move(work)))->start();
}

}
