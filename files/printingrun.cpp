#include "files/printingrun.h"

#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/workerrun.h"
#include "files/printing.h"
#include "files/printingpaint.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>

#include <optional>

namespace lumrik {

namespace {

class PageRun;
PageRun *gRunning = nullptr;

// One job, from its first page to its end; lives on the window's thread.
class PageRun : public QObject {
public:
    PageRun(QPrinter &printer, PrintLayout layout, QWidget *owner, QPointer<QWidget> keyboard)
        : layout_(std::move(layout)), pages_(printer, layout_), owner_(owner), keyboard_(std::move(keyboard))
    {
    }

    ~PageRun() override
    {
        if (gRunning == this)
            gRunning = nullptr;
        if (dialog_)
            delete dialog_;
    }

    void start()
    {
        gRunning = this;
        longWork_.emplace();
        progress_ = pages_.pageCount() >= kProgressFromPages;
        if (progress_) {
            gRkAbort = false;
            if (qobject_cast<QApplication *>(QCoreApplication::instance()))
                dialog_ = showProgressDialog(owner_, pages_.pageCount());
        }
        const QString failure = pages_.begin();
        if (!failure.isEmpty())
            end(failure, false);
        else if (pages_.allPainted())
            end(pages_.finish(), false);
        else
            QTimer::singleShot(0, this, [this] { nextPage(); });
    }

private:
    // Whether "Avbryt" was pressed (or the abort of the tests is due) before page `page`.
    bool abortAsked(int page) const
    {
        return abortDueForTests(page) || (dialog_ && dialog_->bAbort) || gRkAbort;
    }

    // One page a round of the event loop.
    void nextPage()
    {
        const int page = pages_.next();
        if (progress_ && abortAsked(page)) {
            end(pages_.abort(), true);
            return;
        }
        if (dialog_)
            dialog_->ProgressBar->setValue(page);
        QString failure = pages_.paintNext();
        if (failure.isEmpty() && pages_.allPainted())
            failure = pages_.finish();
        else if (failure.isEmpty()) {
            QTimer::singleShot(0, this, [this] { nextPage(); });
            return;
        }
        end(failure, false);
    }

    void end(const QString &failure, bool aborted)
    {
        gRunning = nullptr; // the printer is free again
        if (dialog_) {
            dialog_->hide();
            delete dialog_;
        }
        if (QApplication::focusWidget() != keyboard_)
            giveFocusBack(keyboard_);
        if (aborted) {
            // As the abort button leaves it, for what looks at it afterwards.
            gRkAbort = true;
            RkMsgBox(failure, MbButtons::Ok, MbIcon::Information, QString(), 0, owner_);
        } else if (!failure.isEmpty()) {
            RkErrorBox(failure);
        }
        longWork_.reset();
        deleteLater();
    }

    PrintLayout layout_;
    PrinterPages pages_;
    QPointer<QWidget> owner_;
    QPointer<QWidget> keyboard_;
    QPointer<frmProgress> dialog_;
    std::optional<LongWork> longWork_;
    bool progress_ = false;
};

}

void startPrintRun(QPrinter &printer, PrintLayout layout, QWidget *owner, QPointer<QWidget> keyboard)
{
    (new PageRun(printer, std::move(layout), owner, std::move(keyboard)))->start();
}

bool printRunUnderWay() { return gRunning != nullptr; }

void abandonPrintRun() { delete gRunning; }

}
