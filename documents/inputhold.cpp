// The held input of a busy program window.
#include "documents/inputhold.h"

#include "core/progress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <memory>

namespace lumrik {

InputHold::InputHold(QWidget *target) : QObject(target)
{
    watched_.emplace_back(target);
    for (QWidget *w : target->findChildren<QWidget *>())
        watched_.emplace_back(w);
    for (const QPointer<QWidget> &w : watched_)
        w->installEventFilter(this);
}

InputHold::~InputHold()
{
    for (const QPointer<QWidget> &w : watched_)
        if (w)
            w->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject *receiver, QEvent *e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
        held_.push_back({receiver, std::unique_ptr<QEvent>(e->clone())});
        e->accept();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

void InputHold::release()
{
    for (const QPointer<QWidget> &w : watched_)
        if (w)
            w->removeEventFilter(this);
    watched_.clear();
    if (held_.empty())
        return;
    // In order with whatever else waits for the end of the work: the
    // "Ändrad fil" question of an activation during it comes first, as
    // it came first.
    auto events = std::make_shared<std::vector<Held>>(std::move(held_));
    held_.clear();
    LongWork::whenDone(nullptr, [events] {
        for (Held &h : *events)
            if (h.receiver)
                QCoreApplication::sendEvent(h.receiver, h.event.get());
    });
}

}
