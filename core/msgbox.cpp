#include "core/msgbox.h"
#include "core/filenames.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace lumrik {

namespace {
MsgBoxHook &hookRef()
{
    static MsgBoxHook h;
    return h;
}
QString &titleRef()
{
    static QString t = QStringLiteral("Lumrik-32");
    return t;
}
}

void setMsgBoxHook(MsgBoxHook hook) { hookRef() = std::move(hook); }
bool hasMsgBoxHook() { return bool(hookRef()); }
QString appTitle() { return titleRef(); }
void setAppTitle(const QString &title) { titleRef() = title; }

static std::function<void()> &beepHookRef()
{
    static std::function<void()> h;
    return h;
}

void setBeepHook(std::function<void()> hook) { beepHookRef() = std::move(hook); }

void RkBeep()
{
    if (beepHookRef()) {
        beepHookRef()();
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::beep();
}

int RkMsgBox(const QString &text, MbButtons buttons, MbIcon icon, const QString &title,
             int defaultButton, QWidget *parent)
{
    return RkMsgBox(MsgBoxCall{text, title, buttons, icon, defaultButton}, parent);
}

int RkMsgBox(const MsgBoxCall &given, QWidget *parent)
{
    MsgBoxCall call = given;
    if (call.title.isEmpty())
        call.title = appTitle();
    if (hookRef())
        return hookRef()(call);
    return RkMsgBoxWindow(call, parent);
}

int RkMsgBoxWindow(const MsgBoxCall &given, QWidget *parent)
{
    MsgBoxCall call = given;
    if (call.title.isEmpty())
        call.title = appTitle();
    const QString &text = call.text;
    const MbButtons buttons = call.buttons;
    const int defaultButton = call.defaultButton;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return buttons == MbButtons::YesNo || buttons == MbButtons::YesNoCancel ? MbNo : MbOk;

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setObjectName("RkMsgBox");
    // File names and values are shown as they are, never read as markup; the
    // bytes of a name kept as they are on disk show as the characters they
    // stand for.
    box.setWindowTitle(RkShownName(call.title));
    box.setTextFormat(Qt::PlainText);
    box.setText(RkShownName(text));
    switch (call.icon) {
    case MbIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MbIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MbIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MbIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MbIcon::None: break;
    }
    struct B { QMessageBox::StandardButton sb; int result; };
    std::vector<B> list;
    switch (buttons) {
    case MbButtons::Ok: list = {{QMessageBox::Ok, MbOk}}; break;
    case MbButtons::OkCancel: list = {{QMessageBox::Ok, MbOk}, {QMessageBox::Cancel, MbCancel}}; break;
    case MbButtons::YesNo: list = {{QMessageBox::Yes, MbYes}, {QMessageBox::No, MbNo}}; break;
    case MbButtons::YesNoCancel:
        list = {{QMessageBox::Yes, MbYes}, {QMessageBox::No, MbNo}, {QMessageBox::Cancel, MbCancel}};
        break;
    case MbButtons::RetryCancel: list = {{QMessageBox::Retry, MbRetry}, {QMessageBox::Cancel, MbCancel}}; break;
    case MbButtons::AbortRetryIgnore:
        list = {{QMessageBox::Abort, MbAbort}, {QMessageBox::Retry, MbRetry}, {QMessageBox::Ignore, MbIgnore}};
        break;
    }
    QMessageBox::StandardButtons all;
    for (const B &b : list) all |= b.sb;
    box.setStandardButtons(all);
    // Swedish captions on the standard buttons.
    auto caption = [](QMessageBox::StandardButton sb) -> QString {
        switch (sb) {
        case QMessageBox::Ok: return "OK";
        case QMessageBox::Cancel: return "Avbryt";
        case QMessageBox::Yes: return "&Ja";
        case QMessageBox::No: return "&Nej";
        case QMessageBox::Retry: return "&Försök igen";
        case QMessageBox::Abort: return "A&vbryt";
        case QMessageBox::Ignore: return "&Ignorera";
        default: return {};
        }
    };
    for (const B &b : list)
        if (QAbstractButton *btn = box.button(b.sb)) btn->setText(caption(b.sb));
    if (defaultButton >= 0 && defaultButton < int(list.size()))
        box.setDefaultButton(list[defaultButton].sb);
    if (call.escapeButton >= 0 && call.escapeButton < int(list.size()))
        box.setEscapeButton(list[size_t(call.escapeButton)].sb);
    else if (buttons == MbButtons::OkCancel || buttons == MbButtons::YesNoCancel || buttons == MbButtons::RetryCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    auto *clicked = box.clickedButton();
    for (const B &b : list)
        if (clicked == box.button(b.sb)) return b.result;
    if (call.escapeButton >= 0 && call.escapeButton < int(list.size()))
        return list[size_t(call.escapeButton)].result;
    return list.size() > 1 ? list.back().result : MbOk;
}

void RkErrorBox(const QString &description)
{
    RkMsgBox(description, MbButtons::Ok, MbIcon::Critical, QString());
}

}
