#include "core/errors.h"

#include "core/codepage.h"
#include "core/folderwrites.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

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

// The most of a log read whole to find its encoding.
constexpr qint64 kLogSniffBytes = 16 << 20;

void appendToLog(const QString &text)
{
    if (gsDataPath.isEmpty())
        return;
    // Never through a link another user put in the program folder, and a
    // missing log is made, not found made through a dangling link.
    // A log that cannot be written is not reported: the report has been shown.
    const int fd = RkOpenForAppend(gsDataPath + QStringLiteral("/error.log"));
    if (fd < 0)
        return;
    QFile f;
    if (!f.open(fd, QIODevice::ReadWrite | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    // The log keeps one encoding, as the settings files do. A log without
    // bytes above 127 so far that is to hold a character Windows-1252 lacks
    // begins as UTF-8, which it is read as from then on.
    const QString entry = text + QStringLiteral("\r\n");
    QByteArray before;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && st.st_size <= kLogSniffBytes) {
        before.resize(qsizetype(st.st_size));
        const ssize_t n = ::pread(fd, before.data(), size_t(before.size()), 0);
        before.resize(n > 0 ? qsizetype(n) : 0);
    } else if (st.st_size > kLogSniffBytes) {
        // A long log: its encoding is judged on its last megabyte, from the
        // first character that begins in it.
        before.resize(1 << 20);
        const ssize_t n = ::pread(fd, before.data(), size_t(before.size()), st.st_size - before.size());
        before.resize(n > 0 ? qsizetype(n) : 0);
        qsizetype lead = 0;
        while (lead < before.size() && lead < 4 && (uchar(before[lead]) & 0xC0) == 0x80)
            ++lead;
        before.remove(0, lead);
    }
    TextEncoding enc = textEncodingOf(before);
    if (!hasHighBytes(before) && !firstUnencodable(entry, enc).isNull())
        enc = TextEncoding::Utf8;
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
