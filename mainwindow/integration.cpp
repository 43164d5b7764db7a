#include "mainwindow/integration.h"

#include "core/progress.h"
#include "files/frmrkselfile.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/handover.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QTimer>

namespace lumrik {

void installFileSelector(Session &session)
{
    auto &hooks = fileSelectorHooks();
    hooks.choose = [&session](QWidget *owner, const QString &rootPath, const QString &preSelectedPath,
                      QString &selectedPath, QString &selectedFile, QString &machine) {
        frmRkSelFile *sel = rkSelFile(session, owner);
        sel->sRootPath = rootPath;
        sel->sPreSelectedPath = preSelectedPath;
        sel->exec();
        selectedPath = sel->sSelectedPath;
        selectedFile = sel->sSelectedFile;
        machine = sel->cmbMaskiner->currentText();
    };
    hooks.isVisible = [] { return rkSelFileVisible(); };
    // The selector's machine once it has been shown; before that its list is
    // empty and the main window's machine is taken.
    hooks.machine = [&session] {
        const QString chosen = rkSelFile(session, frmMain::instance())->cmbMaskiner->currentText();
        if (!chosen.isEmpty() || !frmMain::instance())
            return chosen;
        return frmMain::instance()->machine();
    };
}

namespace {
// What second starts handed over, opened one at a time from the event loop:
// not before the main window is up, not while a modal window or another open
// is in progress (the file then opens when that is over).
class HandOverQueue : public QObject {
public:
    HandOverQueue()
    {
        retry_.setSingleShot(true);
        retry_.setInterval(200);
        connect(&retry_, &QTimer::timeout, this, &HandOverQueue::drain);
        connect(instanceServer(), &HandOverServer::handedOver, this, &HandOverQueue::add);
    }
    void setWindow(frmMain *w)
    {
        window_ = w;
        drain();
    }
    bool waiting()
    {
        // A line already answered whose signal is still on its way counts too.
        QCoreApplication::sendPostedEvents(instanceServer());
        return !pending_.isEmpty();
    }

private:
    void add(const QString &commandLine)
    {
        if (window_) {
            if (window_->isMinimized())
                window_->showNormal();
            window_->raise();
            window_->activateWindow();
        }
        if (!commandLine.trimmed().isEmpty())
            pending_ << commandLine;
        drain();
    }
    void drain()
    {
        if (!window_ || pending_.isEmpty())
            return;
        if (LongWork::underWay()) {
            LongWork::whenDone(this, [this] { drain(); });
            return;
        }
        if (busy_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
            retry_.start();
            return;
        }
        const QString line = pending_.takeFirst();
        busy_ = true;
        window_->openHandedOver(line);
        busy_ = false;
        if (!pending_.isEmpty())
            QTimer::singleShot(0, this, &HandOverQueue::drain);
    }

    QPointer<frmMain> window_;
    QStringList pending_;
    QTimer retry_;
    bool busy_ = false;
};

HandOverQueue *gQueue = nullptr;

HandOverQueue *handOverQueue()
{
    if (!gQueue)
        gQueue = new HandOverQueue; // lives as long as the process
    return gQueue;
}
}

void collectHandOvers() { handOverQueue(); }

void installHandOver(frmMain *w) { handOverQueue()->setWindow(w); }

bool handOverWaiting() { return gQueue && gQueue->waiting(); }

void stopHandOvers()
{
    if (gQueue)
        instanceServer()->close();
}

}
