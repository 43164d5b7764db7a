#pragma once
// Sending a program to a CNC control: the settings of the machine file as the
// send uses them, the line transformation (skip rules, NUL padding, filter,
// stop text, end of block), the ISO to EIA translation, and the sender that
// paces the bytes out of the serial port under the machine's handshake.
// Everything here works without a window; frmTxd2Cnc shows it.
#include "core/codepage.h"
#include "dnc/linehold.h"
#include "dnc/machineconfig.h"
#include "dnc/serialport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

class QWidget;

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

class TxdSender : public QObject {
    Q_OBJECT
public:
    // The port is not owned; its OnComm event is handled here.
    explicit TxdSender(SerialPort *port, QObject *parent = nullptr);

    SerialPort *port() const { return port_; }
    // Owner of the message boxes.
    QWidget *owner = nullptr;

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
    // Sends the file with the settings (port set-up to closing).
    Result send(const QString &txdPath, const TxdSettings &s);

    // Output layer. True when the send was stopped or the port failed (the
    // port is then closed; failed() tells which).
    bool SendString(QByteArrayView text, bool eia);
    bool failed() const { return failed_; }
    // Translates and writes in one write; a byte without translation shows the
    // box, sets the abort flag and writes nothing. True when written.
    bool SendEIA(QByteArrayView text);
    bool IsCncReady() const;
    void ClosePort();
    void OnCommEvent();
    // The text of the line-error box.
    QString lineErrorText() const;

    // Lets window messages run; at most every few milliseconds unless forced.
    void pump(bool force = false);

private:
    bool stop();
    bool fail();
    Result ended();
    bool waitIdle(int &round);
    // Shows in panel 3 whether the machine holds the line; a look at most
    // every quarter of a second unless forced.
    void watchHold(bool force = false);
    bool delay(int ms);
    bool stepFailed(long number, const QString &description);
    bool write(QByteArrayView bytes, bool eia);
    // Everything handed to the port has left its buffers.
    void confirm();
    void handedLine(QByteArrayView line, qint64 fileEnd);
    QByteArray failureReport() const;

    QPointer<SerialPort> port_;
    QElapsedTimer lastPump_;
    LineHold hold_;
    QElapsedTimer holdClock_;
    qint64 lastHoldLook_ = -1000;
    bool errorBoxOpen_ = false;
    bool failed_ = false;
    bool binary_ = false;
    TextEncoding encoding_ = TextEncoding::Windows1252;  // of the program being sent
    QByteArray eiaBuf_;
    qint64 handed_ = 0;           // bytes the port took in this send
    QByteArray lineInFlight_;     // the last line handed over, not yet confirmed
    qint64 lineWireEnd_ = -1;     // handed_ after it; -1: none in flight
    qint64 lineFileEnd_ = 0;      // its end in the file
    qint64 confirmedFileEnd_ = 0;
};

}
