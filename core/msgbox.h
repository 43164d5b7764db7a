#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace lumrik {

enum class MbButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MbIcon { None, Critical, Question, Exclamation, Information };
// Answers, numbered as the classic message box numbers them.
enum MbResult { MbOk = 1, MbCancel = 2, MbAbort = 3, MbRetry = 4, MbIgnore = 5, MbYes = 6, MbNo = 7 };

struct MsgBoxCall {
    QString text;
    QString title;
    MbButtons buttons = MbButtons::Ok;
    MbIcon icon = MbIcon::None;
    int defaultButton = 0; // 0 = first button, 1 = second, 2 = third
    // The button that Esc and the window's close box choose (same numbering);
    // -1: Cancel when the box has one, else the last button.
    int escapeButton = -1;
};

// Shows a message box and returns the button chosen. An empty title means the
// application title. A hook, when set, answers instead of a window (tests, and
// runs without a display).
int RkMsgBox(const QString &text, MbButtons buttons = MbButtons::Ok, MbIcon icon = MbIcon::None,
             const QString &title = {}, int defaultButton = 0, QWidget *parent = nullptr);

// The same with every detail of the call.
int RkMsgBox(const MsgBoxCall &call, QWidget *parent = nullptr);
// The box window itself, shown modally whatever hook is set.
int RkMsgBoxWindow(const MsgBoxCall &call, QWidget *parent = nullptr);

using MsgBoxHook = std::function<int(const MsgBoxCall &)>;
void setMsgBoxHook(MsgBoxHook hook);
bool hasMsgBoxHook();

// The system beep; a test may take it instead (an empty hook gives it back).
void RkBeep();
void setBeepHook(std::function<void()> hook);

// Shows an error's description with the critical icon, titled with the
// application's title.
void RkErrorBox(const QString &description);

// Title of message boxes without a title of their own.
QString appTitle();
void setAppTitle(const QString &title);

}
