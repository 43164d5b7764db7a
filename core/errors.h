#pragma once
#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <stdexcept>
#include <type_traits>

class QFileDevice;

namespace lumrik {

// A run-time failure with the classic error number and description.
class RkError : public std::runtime_error {
public:
    RkError(long number, const QString &description);
    long number() const { return number_; }
    QString description() const { return QString::fromUtf8(what()); }
private:
    long number_;
};

// A condition of the user's files, folders, settings or input rather than a
// fault of the program (a vanished, unreadable or unwritable file or folder, a
// full disk, a bad value): RkGuard tells it in a plain box and the command does
// nothing more; the error report is not shown. Whoever throws decides: every
// such condition is thrown as RkExpected, whatever its number; everything else
// thrown as a plain RkError is a fault of the program and goes to the report.
class RkExpected : public RkError {
public:
    using RkError::RkError;
};

// Error numbers used by the program's own throws.
enum RkErrNo : long {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrSubscript = 9,
    kErrTypeMismatch = 13,
    kErrFileNotFound = 53,
    kErrPathNotFound = 76,
    kErrIo = 57,
    kErrDiskFull = 61,
    kErrPermissionDenied = 70,
};

struct TraceSlot {
    QString name;
    QDateTime time; // invalid for a slot never filled
};

// Records that a procedure was entered (the name with "()" appended).
void RkTraceProc(const QString &name);
std::array<TraceSlot, 8> RkTraceSlots();
int RkTraceCount();
void RkTraceReset();
// Keeps the trace as it stands and puts it back on leaving the scope: the
// clean-up after a failure runs procedures of its own, and the report must
// still name the procedure that failed as the newest.
class RkTraceKeep {
public:
    RkTraceKeep();
    ~RkTraceKeep();
    RkTraceKeep(const RkTraceKeep &) = delete;
    RkTraceKeep &operator=(const RkTraceKeep &) = delete;
private:
    std::array<TraceSlot, 8> entries_;
    int count_;
};

// The system's reason for a failed file operation (an errno value), in Swedish.
QString RkSystemErrorText(int errnum);
// The same for a file device whose last operation failed: Qt words its
// reason with the system's English text, which is given back in Swedish.
QString RkFileErrorText(const QFileDevice &file);

// The report text for an error, exactly as it is shown and logged.
QString RkErrorText(long number, const QString &description);

// Reports a failure: the box with OK and Cancel, titled "Fel". Cancel ends the
// program at once, with nothing saved or logged; OK appends the text to
// "error.log" in the program folder and returns.
void RkShowError(long number, const QString &description);
// Without a pending error: shows nothing and appends an empty line to the log.
void RkShowError();

// True for an RkExpected: a condition to tell plainly, not a fault to report.
bool RkIsExpectedError(const RkError &e);
// Tells an expected condition: a plain box with the description and OK.
void RkTellExpected(const QString &description);

// Run before "Avbryt" in the report ends the program: each changed document
// is offered for saving (set by the main window). A report raised while it
// runs does not end the program; the pass goes on and ends it.
void setForcedExitPrompt(std::function<void()> prompt);

// Hooks for tests: the box answer (true = OK), and what ending the program does.
void setErrorBoxHook(std::function<bool(const QString &text)> hook);
void setErrorExitHook(std::function<void()> hook);

// Runs a procedure's body with the trace and the one error handler: a failure
// inside goes to the report, and the procedure returns its empty value.
template <class F>
auto RkGuard(const char *name, F &&body) -> std::invoke_result_t<F>
{
    using R = std::invoke_result_t<F>;
    RkTraceProc(QString::fromLatin1(name));
    try {
        return body();
    } catch (const RkError &e) {
        if (RkIsExpectedError(e))
            RkTellExpected(e.description());
        else
            RkShowError(e.number(), e.description());
    } catch (const std::bad_alloc &) {
        RkShowError(7, QStringLiteral("Slut på minne"));
    } catch (const std::exception &e) {
        RkShowError(kErrInvalidCall, QString::fromUtf8(e.what()));
    }
    if constexpr (!std::is_void_v<R>)
        return R{};
}

}
