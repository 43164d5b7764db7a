#pragma once
// Whether the machine holds the line while a send waits: CTS low, or output
// that does not move (the machine sent XOFF, or takes nothing). The sender
// looks at the port now and then and shows the answer in its window, so a
// held line is never taken for a frozen program.
#include <QString>
#include <QtGlobal>

namespace lumrik {

class LineHold {
public:
    enum class State { Free, Cts, Stopped };
    // Output counts as stopped when the bytes waiting to go out stay the same
    // for this long.
    static constexpr qint64 kStoppedAfterMs = 1000;

    // One look: `pending` bytes wait to go out, `ctsReady` is the ready test
    // (true when the protocol does not look at CTS), at `nowMs` on a steady
    // clock. Returns the state after it.
    State look(qint64 pending, bool ctsReady, qint64 nowMs);
    State state() const { return state_; }
    void reset();

    // The window's words for a state; `xonXoff` when the protocol paces by XON/XOFF.
    static QString text(State s, bool xonXoff);

private:
    State state_ = State::Free;
    qint64 lastPending_ = -1;
    qint64 unchangedSince_ = 0;
};

}
