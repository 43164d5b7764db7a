#include "core/errors.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "core/msgbox.h"

#include <QFile>
#include <QLocale>
#include <cstdlib>

namespace lumrik {

RkError::RkError(long number, const QString &description)
    : std::runtime_error(description.toStdString()), number_(number)
{
}

namespace {
struct Trace {
    std::array<TraceSlot, 8> entries;
    int count = 0;
    bool setUp = false;
};
Trace &trace()
{
    static Trace t;
    return t;
}
std::function<bool(const QString &)> &boxHook()
{
    static std::function<bool(const QString &)> h;
    return h;
}
std::function<void()> &exitHook()
{
    static std::function<void()> h;
    return h;
}

QString slotTime(const QDateTime &t)
{
    if (!t.isValid())
        return QStringLiteral("00:00:00");
    QLocale loc;
    return loc.toString(t.date(), QLocale::ShortFormat) + ' ' + t.time().toString("HH:mm:ss");
}

void appendToLog(const QString &text)
{
    if (gsDataPath.isEmpty())
        return;
    QFile f(gsDataPath + "/error.log");
    // A log that cannot be written is not reported: the report has been shown.
    if (f.open(QIODevice::Append))
        f.write(toCp1252(text + "\r\n"));
}
}

void RkTraceProc(const QString &name)
{
    Trace &t = trace();
    if (t.setUp && t.entries[0].name == name)
        return;
    t.setUp = true;
    t.count = std::min(t.count + 1, 8);
    for (int i = t.count - 1; i >= 1; --i)
        t.entries[i] = t.entries[i - 1];
    t.entries[0] = {name, QDateTime::currentDateTime()};
}

std::array<TraceSlot, 8> RkTraceSlots() { return trace().entries; }
int RkTraceCount() { return trace().count; }
void RkTraceReset() { trace() = Trace{}; }

QString RkErrorText(long number, const QString &description)
{
    const QString crlf = QStringLiteral("\r\n");
    QString s = QStringLiteral("Ett fel uppstod.") + crlf;
    s += QStringLiteral("Beskrivning: ") + description + crlf;
    s += QStringLiteral("Felnummer: ") + QString::number(number) + crlf + crlf;
    s += QStringLiteral("Information:") + crlf;
    for (const TraceSlot &slot : trace().entries)
        s += slotTime(slot.time) + QStringLiteral(" - ") + slot.name + crlf;
    s += crlf;
    s += QStringLiteral("Om detta fel är återkommande, var god kontakta Ortenvik AB och uppge informationen "
                        "i detta fönster samt hur du fick fram detta fel.") + crlf;
    s += QStringLiteral("(Klicka på Avbryt för att tving programmet att stängas av).");
    return s;
}

void RkShowError(long number, const QString &description)
{
    if (number == 0) {
        RkShowError();
        return;
    }
    const QString text = RkErrorText(number, description);
    bool ok;
    if (boxHook())
        ok = boxHook()(text);
    else
        ok = RkMsgBox(text, MbButtons::OkCancel, MbIcon::Critical, QStringLiteral("Fel")) == MbOk;
    if (!ok) {
        if (exitHook()) {
            exitHook()();
            return;
        }
        std::_Exit(1);
    }
    appendToLog(text);
}

void RkShowError() { appendToLog(QString()); }

void setErrorBoxHook(std::function<bool(const QString &)> hook) { boxHook() = std::move(hook); }
void setErrorExitHook(std::function<void()> hook) { exitHook() = std::move(hook); }

}
