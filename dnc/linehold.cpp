#include "dnc/linehold.h"

namespace lumrik {

LineHold::State LineHold::look(qint64 pending, bool ctsReady, qint64 nowMs)
{
    if (pending != lastPending_ || pending == 0) {
        lastPending_ = pending;
        unchangedSince_ = nowMs;
    }
    if (!ctsReady)
        state_ = State::Cts;
    else if (pending > 0 && nowMs - unchangedSince_ >= kStoppedAfterMs)
        state_ = State::Stopped;
    else
        state_ = State::Free;
    return state_;
}

void LineHold::reset()
{
    state_ = State::Free;
    lastPending_ = -1;
    unchangedSince_ = 0;
}

QString LineHold::text(State s, bool xonXoff)
{
    switch (s) {
    case State::Cts: return QStringLiteral("CNC:n håller linjen (CTS). Väntar...");
    case State::Stopped:
        return xonXoff ? QStringLiteral("CNC:n har stoppat överföringen (XOFF). Väntar på XON...")
                       : QStringLiteral("CNC:n tar inte emot fler tecken. Väntar...");
    case State::Free: break;
    }
    return {};
}

}
