#pragma once
// Driving a modal dialog from a test: the command under test shows the dialog
// and waits in the dialog's own event loop, so what the test does inside it
// must be queued before the command runs.
#include <QApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace lumrik::test {

// Runs `inside` on the modal dialog of type D when the event loop next serves
// (the dialog's own loop once it is shown). Nothing runs when no such dialog
// is up then; `seen`, when given, tells whether it was.
template <class D> void whenModalShown(std::function<void(D *)> inside, bool *seen = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto *d = qobject_cast<D *>(QApplication::activeModalWidget());
        if (seen)
            *seen = d != nullptr;
        if (d)
            inside(d);
    });
}

// Answers every modal dialog of type D that comes up, each once, with
// `answer`, for as long as `owner` lives (a dialog answered is left alone
// even when it stays up a little).
template <class D> void answerEachModal(QObject *owner, std::function<void(D *)> answer)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [answer] {
        auto *d = qobject_cast<D *>(QApplication::activeModalWidget());
        if (!d || d->property("lumrikAnswered").toBool())
            return;
        d->setProperty("lumrikAnswered", true);
        answer(d);
    });
    timer->start();
}

// Runs `drive` on the visible top-level window named `name` once it shows (a
// modal dialog's own loop is running then), looking again while it has not;
// fails the test when it has not shown by `limit`, a safety net only.
inline void whenWindowShown(const QString &name, std::function<void(QWidget *)> drive,
                            QDeadlineTimer limit = QDeadlineTimer(60000))
{
    QTimer::singleShot(10, [name, drive, limit] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) {
                drive(w);
                return;
            }
        if (!limit.hasExpired())
            whenWindowShown(name, drive, limit);
        else
            ADD_FAILURE() << "window never shown: " << name.toStdString();
    });
}

}
