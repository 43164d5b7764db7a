#pragma once
// The common set-up of the main window tests: fresh data and temporary
// folders with a settings file and a milling machine "MILL" for *.NC
// programs, the built-in Swedish words, message boxes answered by a recorder
// and error boxes collected in `errors`; at the end the queued events run and
// no error may have been reported.
//
// A fixture changes the files through `settingsIni` / `machineCfg` (in its
// constructor) and the end through `settleRounds`, `settleDeletes` and
// `errorsAllowed`; its own SetUp and TearDown call these and add their part.
#include "core/errors.h"
#include "core/globals.h"
#include "core/progress.h"
#include "core/settings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lumrik::test {

// Does `act` once, at the first round of the event loop while long work is
// under way (an operation computed off the window, between its pieces), as an event
// from the display would arrive then.
class OnceDuringWork {
public:
    explicit OnceDuringWork(std::function<void()> act) : act_(std::move(act))
    {
        tick_.setInterval(0);
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            if (!LongWork::underWay())
                return;
            tick_.stop();
            ran_ = true;
            act_();
        });
        tick_.start();
    }
    bool ran() const { return ran_; }

private:
    std::function<void()> act_;
    QTimer tick_;
    bool ran_ = false;
};


class MainWindowFixture : public ::testing::Test {
protected:
    SessionScope session; // first made, last given back
    TempEnv env;
    MsgBoxRecorder boxes;
    std::vector<QString> errors;

    // "lumrik32.INI" and "MILL.cfg" as SetUp writes them; an empty machine
    // file is not written.
    QByteArray settingsIni = "[Settings]\r\nLastCnc=MILL\r\nFirstStart=False\r\nAutoColor=0\r\n";
    QByteArray machineCfg = "[Settings]\r\nFileExtension=*.NC\r\n";
    int settleRounds = 3;       // rounds of queued events TearDown lets run
    bool settleDeletes = false; // ... deleting windows closed with deleteLater first
    bool errorsAllowed = false; // the tests check `errors` themselves

    void SetUp() override
    {
        hookErrors();
        env.write("lumrik32.INI", settingsIni);
        if (!machineCfg.isEmpty())
            env.write("MILL.cfg", machineCfg);
        gbNotSwedish = false;
        RkLoadIniSettings();
        setBuiltInWords();
    }
    void TearDown() override
    {
        letEventsRun(settleRounds, settleDeletes);
        setErrorBoxHook({});
        if (!errorsAllowed) {
            EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().toStdString());
        }
    }

    // Error boxes go to `errors` instead of the screen.
    void hookErrors()
    {
        setErrorBoxHook([this](const QString &t) {
            errors.push_back(t);
            return true;
        });
    }
    static void letEventsRun(int rounds, bool deferredDeletes = false)
    {
        for (int i = 0; i < rounds; ++i) {
            if (deferredDeletes)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    static bool enabled(frmMain &w, const char *name) { return w.menuAction(name)->isEnabled(); }
};

}
