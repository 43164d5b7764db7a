#pragma once
// Helpers of the NC command tests: a document with a given text, and a driver
// that answers the modal windows a command opens.
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace lumrik::test {

struct TestDoc {
    frmDocument doc;
    explicit TestDoc(const QByteArray &text, int textType = 1)
    {
        doc.txtText->setTextType(textType);
        doc.txtText->setTextAll(text);
        doc.txtText->setIsDirty(false);
    }
    Editor *ed() { return doc.txtText; }
    // The program's bytes: a byte-order mark is the document's, in front of its text.
    QByteArray text() { return doc.txtText->document().fileBytes(doc.txtText->TextAll()); }
};

// Calls `handle` for every visible top-level window, again and again while a
// command runs (also inside modal loops and the progress dialog's pumping),
// until it returns true for one of them.
class WindowDriver {
public:
    explicit WindowDriver(std::function<bool(QWidget *)> handle) : handle_(std::move(handle))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible() && handle_(w)) {
                    timer_.stop();
                    return;
                }
        });
        timer_.start();
    }

private:
    std::function<bool(QWidget *)> handle_;
    QTimer timer_;
};

// Every progress run in its scope is aborted, as by the abort button, once
// `lines` lines are done.
class AbortAfter {
public:
    explicit AbortAfter(qint64 lines) { abortRunsAtForTests(lines); }
    ~AbortAfter() { abortRunsAtForTests(0); }
    AbortAfter(const AbortAfter &) = delete;
    AbortAfter &operator=(const AbortAfter &) = delete;
};


// A program of n lines "N<i> G1 X<i>" with CR LF line ends.
inline QByteArray numberedProgram(int n, const char *prefix = "N")
{
    QByteArray t;
    for (int i = 1; i <= n; ++i) {
        t += prefix + QByteArray::number(i) + " G1 X" + QByteArray::number(i);
        if (i < n)
            t += "\r\n";
    }
    return t;
}

}
