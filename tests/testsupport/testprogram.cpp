// The editor as the tests that start it as a user would run it: the same
// program, with what those tests need switched on by the environment of the
// start. Built for the tests only, never installed.
//
//   LUMRIK_TEST           no splash wait; Qt's own file dialogs
//   LUMRIK_TEST_SPLASHMS  the splash waits this many milliseconds instead
//   LUMRIK_TEST_BOXLOG    every message box is written to this file (title,
//                         TAB, text with its line breaks as " | ", one line
//                         each) and, after it has been up for
//                         LUMRIK_TEST_BOXMS milliseconds (300 when not set),
//                         answered with its default button, as a user would;
//                         each box gone adds a line to the file named like
//                         the log with ".answered" added
//   LUMRIK_TEST_MARKS     when the splash has closed, "splash-closed" and the
//                         monotonic clock in nanoseconds are added to this file
//                         (for the benchmark that times opening from there)
#include "core/msgbox.h"
#include "core/services.h"
#include "mainwindow/frmsplash.h"
#include "mainwindow/startup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <ctime>

namespace {

void answerBoxes()
{
    const QString log = qEnvironmentVariable("LUMRIK_TEST_BOXLOG");
    if (log.isEmpty())
        return;
    bool ok = false;
    int ms = qEnvironmentVariableIntValue("LUMRIK_TEST_BOXMS", &ok);
    if (!ok)
        ms = 300;
    lumrik::setMsgBoxHook([log, ms](const lumrik::MsgBoxCall &c) {
        QFile f(log);
        if (f.open(QIODevice::Append)) {
            QString text = c.text;
            text.replace(QStringLiteral("\r\n"), QStringLiteral(" | ")).replace('\n', QStringLiteral(" | "));
            f.write((c.title + '\t' + text + '\n').toUtf8());
        }
        QTimer::singleShot(ms, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QAbstractButton *b = box->defaultButton();
            if (!b)
                b = box->buttons().value(0);
            if (b)
                b->click();
        });
        const int answer = lumrik::RkMsgBoxWindow(c);
        // Each box gone is noted beside the log, for tests that must know
        // whether something happened while a box was still up.
        QFile done(log + QStringLiteral(".answered"));
        if (done.open(QIODevice::Append))
            done.write("answered\n");
        return answer;
    });
}

void markSplashClosed()
{
    lumrik::showStartupSplash();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    QFile f(qEnvironmentVariable("LUMRIK_TEST_MARKS"));
    if (f.open(QIODevice::Append))
        f.write("splash-closed " + QByteArray::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec) + '\n');
}

void prepareForTests()
{
    lumrik::TestHooks &h = lumrik::testHooks();
    if (qEnvironmentVariableIsSet("LUMRIK_TEST")) {
        h.plainFileDialogs = true;
        h.splashWaitMs = 0;
    }
    bool ok = false;
    const int splashMs = qEnvironmentVariableIntValue("LUMRIK_TEST_SPLASHMS", &ok);
    if (ok && splashMs >= 0)
        h.splashWaitMs = splashMs;
    if (!qEnvironmentVariableIsEmpty("LUMRIK_TEST_MARKS"))
        lumrik::startupHooks().showSplash = &markSplashClosed;
    answerBoxes();
}

}

int main(int argc, char **argv) { return lumrik::programMain(argc, argv, &prepareForTests); }
