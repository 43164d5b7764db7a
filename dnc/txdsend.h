#pragma once
// Sending a program to a CNC control: the settings of the machine file as the
// send uses them, the line transformation (skip rules, NUL padding, filter,
// stop text, end of block), the ISO to EIA translation, and the sender that
// paces the bytes out of the serial port under the machine's handshake.
// Everything here works without a window; frmTxd2Cnc shows it.
#include "core/codepage.h"
#include "core/msgbox.h"
#include "dnc/linehold.h"
#include "dnc/machineconfig.h"
#include "dnc/serialport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

class QEventLoop;
class QTimer;

namespace lumrik {

// ---------------------------------------------------------------------------
// Protocols

struct TxdProtocol {
    bool known = false;
    int handshake = comNone;   // at opening
    bool skipCts = false;      // the machine counts as ready without CTS
    bool waitDc1 = false;      // wait for DC1 from the machine before sending
    bool osp = false;          // after DC1: XON/XOFF only, then RTS on
    bool kearney = false;      // EOT DC4 after the last program line
};
TxdProtocol txdProtocol(const QString &protokoll);

// "CR" -> CR; "CR LF" -> CR LF; "LF" -> LF; "LF CR CR" -> LF CR CR; else none.
QByteArray txdEob(const QString &eobCode);

// ---------------------------------------------------------------------------
// ISO to EIA RS-244

// 91 entries indexed by the ISO code 0..90; codes without an EIA form give 00.
const std::array<unsigned char, 91> &isoToEiaTable();
// Translates text into out. Returns -1, or the index of the first byte that has
// no translation (a code above 90), in which case out is left empty.
qsizetype isoToEia(QByteArrayView text, QByteArray &out);

// ---------------------------------------------------------------------------
// Line transformation

struct TxdOptions {
    bool binary = false;
    QByteArray doNotSend;        // the bytes of one character, or nothing
    char filter = 0;             // "TxdFilter": removed from the program's characters
    QByteArray sendTo;           // the send ends with the first line holding it
    QByteArray eob = "\r\n";
};

// A comment line ("'" first after leading blanks) or a line starting with the
// "DoNotSend" character is not sent. `doNotSend` is the character's bytes in
// the program's encoding: one byte, or one UTF-8 sequence; anything longer is
// more than one character and never matches.
bool txdSkipLine(QByteArrayView line, const QByteArray &doNotSend);

// Appends the line as it goes out to out: NUL padding (50 NULs before the first
// "%" when ".MIN%" stands after the first character; 64 NULs after the first
// "~"), with the filter character removed from the program's own characters
// (never from the padding) when filter is set. Returns the number of bytes added.
qsizetype txdPadLine(QByteArrayView line, bool filter, char filterChr, QByteArray &out);

enum class TxdLineAction { Skip, Send, SendAndStop };
// Transforms one ISO/EIA line (without its line end) into out (emptied first):
// skip rules, padding, filter, the "SendTo" cut (then without end of block),
// otherwise followed by the end-of-block string. Out stays in ISO.
TxdLineAction txdTransformLine(QByteArrayView line, const TxdOptions &o, QByteArray &out);

// Splits the hand-off file into lines: a line ends at CR or CR LF; a LF alone
// stays inside the line.
class TxdLineReader {
public:
    explicit TxdLineReader(QByteArrayView data) : data_(data) {}
    bool atEnd() const { return pos_ >= data_.size(); }
    QByteArrayView next();
    qsizetype position() const { return pos_; }

private:
    QByteArrayView data_;
    qsizetype pos_ = 0;
};

// ---------------------------------------------------------------------------
// Settings of one send

struct TxdSettings {
    int comPort = 1;
    QString commSettings = QStringLiteral("2400,E,7,1");
    int dataBits = 7;             // of the settings text
    bool loopSend = false;
    int delayBeforeClose = 0;     // seconds; 0 means 2, negative no wait
    int chrDelay = 0;             // ms between characters; 0: block output
    QString protokoll;
    TxdProtocol protocol;
    QString code;
    bool eia = false;
    TxdOptions options;           // "DoNotSend" and "SendTo" in Windows-1252 (see txdOptionsFor)
    QString doNotSendText, sendToText;
    QByteArray leader, trailer;
    bool send30Null = false;
    bool displayTxData = true;
    int blockSize = 256;          // 1..256
};

enum class TxdSettingsStatus { Ok, UnknownProtocol, BadHexCode };
// Reads "Communication" of the machine file. An unknown protocol or a malformed
// hex code ("LeaderChr", "TrailerChr", "TxdFilter") is reported in message (the
// text for the user) and nothing is to be sent.
TxdSettingsStatus readTxdSettings(const MachineConfig &cfg, TxdSettings &s, QString *message = nullptr);

// The options for a program in encoding `e`: "DoNotSend" and "SendTo" are
// characters, compared in the program's own bytes for them. A "DoNotSend" of
// more than one character never matches.
TxdOptions txdOptionsFor(const TxdSettings &s, TextEncoding e);

// The program in the hand-off file: its bytes without a UTF-8 byte-order
// mark, which belongs to the file and never goes to the machine.
QByteArrayView txdProgramBytes(QByteArrayView file);
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// " Chr's/sec : " and the rate in the form "####.#"; never divides by zero.
QString txdRateText(qint64 bytes, qint64 elapsedMs);

// ---------------------------------------------------------------------------
// The sender

// Sends the hand-off file under the machine's handshake, driven by the port's
// events and a short timer: every wait (for the machine, for room in the
// output buffer, between characters, before the port closes) is a state it
// comes back to, never a loop that holds the thread. Questions and messages
// go through `ask`, which the window provides.
class TxdSender : public QObject {
    Q_OBJECT
public:
    // The port is not owned; its OnComm event is handled here.
    explicit TxdSender(SerialPort *port, QObject *parent = nullptr);
    ~TxdSender() override;

    SerialPort *port() const { return port_; }
    // Shows a message box and returns the answer (an Mb value). Without one,
    // a plain box without owner.
    std::function<int(const QString &text, MbButtons buttons, MbIcon icon, const QString &title)> ask;

    // State of the send window.
    bool bAbort = false;
    bool bDc1Received = false;
    bool bSkipCts = false, bWaitDc1 = false, bKearney = false;
    QByteArray sEob = "\r\n";
    qint32 lChrDelay = 0;
    bool bNoChrDelay = true;
    int blockSize = 256;
    // Line errors since the window was first used: BREAK, OVER, FRAMING,
    // PARITY, DCB, OTHER.
    std::array<int, 6> errorCounts{};

    // Progress of the running send (read by the window).
    qint64 fileLength = 0;
    qint64 sentCount = 0;
    bool running = false;
    bool reachedSending = false;  // the send got past the port set-up
    bool cancelledByErrorBox = false;  // Cancel in the line-error box ended it
    bool stoppedByEia = false;         // a character without an EIA code ended it
    // The program line being sent (from 1; 0 outside the program's lines) and
    // its text in the program, for the EIA error.
    int currentLine = 0;
    QString currentLineText;
    int failedLine = 0;                // the line the EIA error stopped at
    QString rateText;
    // How far a send got, counting only what is known to have left the port's
    // buffers: the bytes written and the last program line written whole.
    qint64 bytesWritten = 0;
    QByteArray lastLine;
    // The port failure that ended the send (Result::Failed): number and reason.
    long failNumber = 0;
    QString failReason;

    // Window feedback.
    std::function<void(int panel, const QString &text)> onStatus;
    std::function<void(const QByteArray &text)> onLog;

    enum class Result {
        Done,         // sent (the caller closes the window or loops)
        Stopped,      // aborted or output failed: the port is closed
        Empty,        // nothing to send (reported)
        PortFailed,   // the port could not be opened (reported)
        Cancelled,    // a failed step answered with Cancel (reported)
        Failed,       // the port failed in the middle (reported; the port is closed)
    };
    // Starts sending the file with the settings: the port is set up at once,
    // the rest follows from the event loop; finished() tells the end.
    void start(const QString &txdPath, const TxdSettings &s);
    // The encoding of the program the next sends hand off, when its document
    // knows it; without one the file's bytes are judged by the program rule.
    void setProgramEncoding(std::optional<TextEncoding> e) { programEncoding_ = e; }
    // The same, returning when the send has ended (for callers without a
    // window of their own).
    Result send(const QString &txdPath, const TxdSettings &s);

    // The output layer on its own: writes text under the pacing rules and
    // returns when it is out. True when it was stopped or the port failed
    // (the port is then closed; failed() tells which).
    bool SendString(QByteArrayView text, bool eia);
    bool failed() const { return failed_; }
    // Translates and writes in one write; a byte without translation is
    // reported, sets the abort flag and writes nothing. True when written.
    bool SendEIA(QByteArrayView text);
    bool IsCncReady() const;
    void ClosePort();
    void OnCommEvent();
    // The text of the line-error box.
    QString lineErrorText() const;

Q_SIGNALS:
    void finished(lumrik::TxdSender::Result result);

private:
    enum class Stage {
        Idle, WaitMachine, WaitDc1, OspRts, CheckReady, LeadNuls, Leader, Lines, Binary, AfterLines,
        Kearney, Trailer, TrailNuls, Drain, CloseDelay, Close, PieceOnly,
    };
    enum class Out { FirstWait, BlockDrain, BlockReady, BlockRoom, CharWrite, CharDelay };
    struct Piece {
        QByteArray text;
        bool eia = false;
        qsizetype pos = 0;
        qsizetype blockEnd = 0;
        Out phase = Out::FirstWait;
        bool active = false;
        std::function<void()> then;
    };

    int tell(const QString &text, MbButtons buttons, MbIcon icon, const QString &title);
    // Runs the machine as far as it goes now, for at most a few milliseconds.
    void run();
    // One step; false when it has to wait for the port, the machine or the clock.
    bool advance();
    bool advanceOutput();
    void startPiece(const QByteArray &text, bool eia, std::function<void()> then = {});
    bool outputStopped();
    void finish(Result r);
    // A port that went away ends the send as failed (true then); an abort as
    // well, as stopped, for waitEnded.
    bool portGone();
    bool waitEnded();
    // Runs the event loop until the send or piece under way has ended.
    void waitForEnd();
    void setUp(const QString &txdPath, const TxdSettings &s);
    bool stop();
    bool fail();
    Result ended();
    // Shows in panel 3 whether the machine holds the line; a look at most
    // every quarter of a second unless forced.
    void watchHold(bool force = false);
    bool stepFailed(long number, const QString &description);
    bool write(QByteArrayView bytes, bool eia);
    // Everything handed to the port has left its buffers.
    void confirm();
    void handedLine(QByteArrayView line, qint64 fileEnd);
    QByteArray failureReport() const;
    void status(int panel, const QString &text);

    QPointer<SerialPort> port_;
    QTimer *tick_ = nullptr;
    LineHold hold_;
    QElapsedTimer holdClock_;
    qint64 lastHoldLook_ = -1000;
    bool errorBoxOpen_ = false;
    bool inRun_ = false;
    bool finished_ = true;
    Result result_ = Result::Done;
    QEventLoop *waiting_ = nullptr;
    bool failed_ = false;
    bool outStopped_ = false;
    bool binary_ = false;
    TextEncoding encoding_ = TextEncoding::Windows1252;  // of the program being sent
    std::optional<TextEncoding> programEncoding_;          // its document's, when known
    QByteArray eiaBuf_;
    qint64 handed_ = 0;           // bytes the port took in this send
    QByteArray lineInFlight_;     // the last line handed over, not yet confirmed
    qint64 lineWireEnd_ = -1;     // handed_ after it; -1: none in flight
    qint64 lineFileEnd_ = 0;      // its end in the file
    qint64 confirmedFileEnd_ = 0;

    // The send under way.
    Stage stage_ = Stage::Idle;
    Piece piece_;
    TxdSettings settings_;
    TxdOptions options_;
    QFile file_;
    QByteArray copy_;
    QByteArrayView data_;
    std::optional<TxdLineReader> reader_;
    QByteArray out_;
    int lineNo_ = 0;
    bool stoppedBySendTo_ = false;
    QByteArray binaryPiece_;
    qsizetype binaryPos_ = 0;
    QElapsedTimer clock_;
    QDeadlineTimer deadline_;
};

}
