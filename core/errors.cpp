#include "core/errors.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
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
std::function<void()> &forcedExitPrompt()
{
    static std::function<void()> h;
    return h;
}
bool gPromptRunning = false;

// "Avbryt" in the report: the changed documents are offered first, then the
// program ends with nothing else saved.
void endProgramFromReport()
{
    if (gPromptRunning)
        return; // the pass that is offering the documents ends the program
    if (forcedExitPrompt()) {
        gPromptRunning = true;
        forcedExitPrompt()();
        gPromptRunning = false;
    }
    if (exitHook()) {
        exitHook()();
        return;
    }
    std::_Exit(1);
}

QString slotTime(const QDateTime &t)
{
    if (!t.isValid())
        return QStringLiteral("00:00:00");
    return RkGeneralDate(t);
}

void appendToLog(const QString &text)
{
    if (gsDataPath.isEmpty())
        return;
    QFile f(gsDataPath + "/error.log");
    // The log keeps one encoding, as the settings files do. A log without
    // bytes above 127 so far that is to hold a character Windows-1252 lacks
    // begins as UTF-8, which it is read as from then on.
    const QString entry = text + QStringLiteral("\r\n");
    QByteArray before;
    if (f.open(QIODevice::ReadOnly)) {
        before = f.readAll();
        f.close();
    }
    TextEncoding enc = textEncodingOf(before);
    if (!hasHighBytes(before) && !firstUnencodable(entry, enc).isNull())
        enc = TextEncoding::Utf8;
    // A log that cannot be written is not reported: the report has been shown.
    if (f.open(QIODevice::Append))
        f.write(enc == TextEncoding::Utf8 ? entry.toUtf8() : toCp1252(entry));
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

QString RkSystemErrorText(int errnum)
{
    switch (errnum) {
    case EACCES:
    case EPERM: return QStringLiteral("Åtkomst nekad");
    case EROFS: return QStringLiteral("Filsystemet är skrivskyddat");
    case ENOENT: return QStringLiteral("Filen eller mappen finns inte");
    case ENOTDIR: return QStringLiteral("En del av sökvägen är ingen mapp");
    case EISDIR: return QStringLiteral("Det är en mapp");
    case ENOSPC: return QStringLiteral("Disken är full");
    case EDQUOT: return QStringLiteral("Diskutrymmet för användaren är slut");
    case EFBIG: return QStringLiteral("Filen blir för stor");
    case EIO: return QStringLiteral("In- eller utmatningsfel på disken");
    case ENAMETOOLONG: return QStringLiteral("Namnet är för långt");
    case ELOOP: return QStringLiteral("För många symboliska länkar i sökvägen");
    case EMFILE:
    case ENFILE: return QStringLiteral("För många öppna filer");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("Filen används");
    case EXDEV: return QStringLiteral("Filen kan inte flyttas mellan olika diskar");
    case 0: return QStringLiteral("Okänt fel");
    default: return QStringLiteral("Systemfel %1").arg(errnum);
    }
}

QString RkFileErrorText(const QFileDevice &file)
{
    const QString text = file.errorString();
    for (int err = 1; err < 256; ++err)
        if (text == qt_error_string(err))
            return RkSystemErrorText(err);
    switch (file.error()) {
    case QFileDevice::PermissionsError: return RkSystemErrorText(EACCES);
    case QFileDevice::ResourceError: return RkSystemErrorText(ENOSPC);
    default: return text;
    }
}

std::array<TraceSlot, 8> RkTraceSlots() { return trace().entries; }
int RkTraceCount() { return trace().count; }
void RkTraceReset() { trace() = Trace{}; }

RkTraceKeep::RkTraceKeep() : entries_(trace().entries), count_(trace().count) {}
RkTraceKeep::~RkTraceKeep()
{
    trace().entries = entries_;
    trace().count = count_;
}

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
    {
        // Esc and the close box mean OK: only "Avbryt" itself ends the program.
        MsgBoxCall call{text, QStringLiteral("Fel"), MbButtons::OkCancel, MbIcon::Critical, 0};
        call.escapeButton = 0;
        ok = RkMsgBox(call) != MbCancel;
    }
    if (!ok) {
        endProgramFromReport();
        return;
    }
    appendToLog(text);
}

void RkShowError() { appendToLog(QString()); }

bool RkIsExpectedError(const RkError &e) { return dynamic_cast<const RkExpected *>(&e) != nullptr; }

void RkTellExpected(const QString &description)
{
    RkMsgBox(description, MbButtons::Ok, MbIcon::Exclamation);
}

void setForcedExitPrompt(std::function<void()> prompt) { forcedExitPrompt() = std::move(prompt); }

void setErrorBoxHook(std::function<bool(const QString &)> hook) { boxHook() = std::move(hook); }
void setErrorExitHook(std::function<void()> hook) { exitHook() = std::move(hook); }

}
