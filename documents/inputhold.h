#pragma once
// The input of a busy program window: while long work rewrites the program
// off the window, what is typed into its editor is held, in order, and given
// to the editor once the work is over (after what else waited for the end of
// the work, in its turn), so that a key never reaches a half rewritten text
// and is never lost. Mouse clicks into it are refused meanwhile: a click
// given later would land where the text no longer is.
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;
class QWidget;

namespace lumrik {

class InputHold : public QObject {
public:
    // Holds the input of `target` and of every widget in it from now on.
    explicit InputHold(QWidget *target);
    ~InputHold() override;
    InputHold(const InputHold &) = delete;
    InputHold &operator=(const InputHold &) = delete;

    // Stops holding; the held input goes to its widgets once no long work
    // is under way any more. The hold may be deleted right after.
    void release();
    int held() const { return int(held_.size()); }

protected:
    bool eventFilter(QObject *receiver, QEvent *e) override;

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    std::vector<QPointer<QWidget>> watched_;
    std::vector<Held> held_;
};

}
