#pragma once
// The send window sends from the event loop: these run it until the window
// has taken up the end of the send it started.
#include "dnc/frmtxd2cnc.h"

#include <QTest>

namespace lumrik::test {

inline bool waitForSendEnd(frmTxd2Cnc &win)
{
    return QTest::qWaitFor([&] { return !win.sendUnderWay(); }, 60000);
}

// Activation (the one machine there is: the send starts at once), then its end.
inline void activateAndWait(frmTxd2Cnc &win)
{
    win.Form_Activate();
    waitForSendEnd(win);
}

inline void clickSendAndWait(frmTxd2Cnc &win)
{
    win.btnTxd2Cnc_Click();
    waitForSendEnd(win);
}

}
