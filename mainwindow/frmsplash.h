#pragma once
// The splash window of every start: the program's picture and a version line.
// Where the desktop can make a window translucent it fades in: invisible at
// first, then 16 steps of opacity every 50 ms, and it stays at 240 of 255.
#include <QPixmap>
#include <QTime>
#include <QWidget>

class QLabel;
class QTimer;

namespace lumrik {

// The splash picture (Picture1).
QPixmap splashPicture();
// "Version " & major "." minor "." revision & " - " & comments.
QString splashVersionText();

class frmSplash : public QWidget {
    Q_OBJECT
public:
    // `layered`: the window may be translucent (fade in); else it shows at once, opaque.
    explicit frmSplash(bool layered = layeredWindowsSupported(), QWidget *parent = nullptr);

    // Whether this desktop can show translucent top-level windows.
    static bool layeredWindowsSupported();

    QLabel *Picture1 = nullptr;
    QLabel *lblVersion = nullptr;
    QTimer *Timer1 = nullptr; // the fade-in; inactive unless the window is layered

    // The opacity reached so far (0..255; 256 after the last tick).
    int opacity() const { return opacity_; }
    bool layered() const { return layered_; }

public Q_SLOTS:
    void Timer1_Timer();

private:
    void Form_Load();
    int opacity_ = 0;
    bool layered_ = false;
};

// Milliseconds start-up waits with the splash shown: until three seconds after
// the start time `now` rounded to a whole second (2.5 to 3.5 seconds).
int splashWaitMs(const QTime &now);
// Serves events for `ms` milliseconds and returns when they have passed,
// whatever the events do meanwhile (a loop quit from elsewhere, a window
// closed or deleted, a flood of events): the deadline is checked after every
// round of events, and a steady wake-up makes sure there is a next round.
void waitServingEvents(int ms);

// The splash of start-up: shows it, sets its version line, waits while serving
// events (so the fade-in runs) and unloads it. The test build may shorten the
// wait (testHooks().splashWaitMs).
void showStartupSplash();

}
