#include "dnc/txdsend.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/settings.h"
#include "dnc/hexlists.h"
#include "core/nctext.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cmath>
#include <cstring>

namespace lumrik {

// ---------------------------------------------------------------------------
// Protocols and end of block

TxdProtocol txdProtocol(const QString &p)
{
    TxdProtocol t;
    t.known = true;
    if (p == cfg::ProtIngen) {
        t.handshake = comNone;
        t.skipCts = true;
    } else if (p == cfg::ProtRtsCts) {
        t.handshake = comRTS;
    } else if (p == cfg::ProtRtsCts2) {
        t.handshake = comRTS;
        t.skipCts = true;
    } else if (p == cfg::ProtXonXoff) {
        t.handshake = comRTSXOnXOff;
    } else if (p == cfg::ProtDcKoder) {
        t.handshake = comRTS;
        t.waitDc1 = true;
    } else if (p == cfg::ProtOsp5000) {
        t.handshake = comRTS;
        t.skipCts = true;
        t.waitDc1 = true;
        t.osp = true;
    } else if (p == cfg::ProtKearney) {
        t.handshake = comRTS;
        t.waitDc1 = true;
        t.kearney = true;
    } else {
        t = TxdProtocol{};
    }
    return t;
}

QByteArray txdEob(const QString &eobCode)
{
    if (eobCode == QLatin1String("CR"))
        return QByteArray("\r");
    if (eobCode == QLatin1String("CR LF"))
        return QByteArray("\r\n");
    if (eobCode == QLatin1String("LF"))
        return QByteArray("\n");
    if (eobCode == QLatin1String("LF CR CR"))
        return QByteArray("\n\r\r");
    return QByteArray();
}

// ---------------------------------------------------------------------------
// EIA

const std::array<unsigned char, 91> &isoToEiaTable()
{
    static const std::array<unsigned char, 91> table = [] {
        std::array<unsigned char, 91> t{};
        const struct {
            unsigned char iso, eia;
        } rows[] = {
            {'0', 0x20}, {'1', 0x01}, {'2', 0x02}, {'3', 0x13}, {'4', 0x04}, {'5', 0x15}, {'6', 0x16},
            {'7', 0x07}, {'8', 0x08}, {'9', 0x19}, {'A', 0x61}, {'B', 0x62}, {'C', 0x73}, {'D', 0x64},
            {'E', 0x75}, {'F', 0x76}, {'G', 0x67}, {'H', 0x68}, {'I', 0x79}, {'J', 0x51}, {'K', 0x52},
            {'L', 0x43}, {'M', 0x54}, {'N', 0x45}, {'O', 0x46}, {'P', 0x57}, {'Q', 0x58}, {'R', 0x49},
            {'S', 0x32}, {'T', 0x23}, {'U', 0x34}, {'V', 0x25}, {'W', 0x26}, {'X', 0x37}, {'Y', 0x38},
            {'Z', 0x29}, {' ', 0x10}, {0x08, 0x2A}, {0x09, 0x3E}, {0x0A, 0x80}, {'%', 0x0B}, {'&', 0x0E},
            {'(', 0x1A}, {')', 0x4A}, {'+', 0x70}, {',', 0x3B}, {'-', 0x40}, {'.', 0x6B}, {'/', 0x31},
        };
        for (const auto &r : rows)
            t[r.iso] = r.eia;
        return t;
    }();
    return table;
}

qsizetype isoToEia(QByteArrayView text, QByteArray &out)
{
    const auto &t = isoToEiaTable();
    out.resize(text.size());
    char *d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > 90) {
            out.clear();
            return i;
        }
        d[i] = char(t[c]);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Lines

bool txdSkipLine(QByteArrayView line, const QByteArray &doNotSend)
{
    const QByteArrayView t = ltrimBlanks(line);
    if (t.isEmpty())
        return false;
    if (t[0] == '\'')
        return true;
    if (doNotSend.isEmpty() || !t.startsWith(doNotSend))
        return false;
    // One character: one byte, or one whole UTF-8 sequence.
    return doNotSend.size() == 1
        || (utf8SequenceLength(static_cast<unsigned char>(doNotSend[0])) == doNotSend.size()
            && isValidUtf8(doNotSend));
}

namespace {
void appendFiltered(QByteArray &out, QByteArrayView seg, bool filter, char f)
{
    if (seg.isEmpty())
        return;
    if (!filter || !std::memchr(seg.data(), f, size_t(seg.size()))) {
        out.append(seg);
        return;
    }
    for (char c : seg)
        if (c != f)
            out.append(c);
}
}

qsizetype txdPadLine(QByteArrayView line, bool filter, char filterChr, QByteArray &out)
{
    const qsizetype before = out.size();
    // Where the padding goes, found in the line as the program wrote it.
    qsizetype minPad = -1, tildePad = -1;
    const qsizetype min = line.indexOf(QByteArrayView(".MIN%"));
    if (min > 0)
        minPad = line.indexOf('%');
    const qsizetype tilde = line.indexOf('~');
    if (tilde >= 0)
        tildePad = tilde + 1;
    if (minPad < 0 && tildePad < 0) {
        appendFiltered(out, line, filter, filterChr);
        return out.size() - before;
    }
    struct Pad {
        qsizetype at;
        int count;
    } pads[2];
    int n = 0;
    if (minPad >= 0)
        pads[n++] = {minPad, 50};
    if (tildePad >= 0)
        pads[n++] = {tildePad, 64};
    if (n == 2 && pads[1].at < pads[0].at)
        std::swap(pads[0], pads[1]);
    qsizetype pos = 0;
    for (int i = 0; i < n; ++i) {
        appendFiltered(out, line.sliced(pos, pads[i].at - pos), filter, filterChr);
        out.append(QByteArray(pads[i].count, '\0'));
        pos = pads[i].at;
    }
    appendFiltered(out, line.sliced(pos), filter, filterChr);
    return out.size() - before;
}

TxdLineAction txdTransformLine(QByteArrayView line, const TxdOptions &o, QByteArray &out)
{
    out.clear();
    if (txdSkipLine(line, o.doNotSend))
        return TxdLineAction::Skip;
    txdPadLine(line, true, o.filter, out);
    if (!o.sendTo.isEmpty()) {
        const qsizetype at = out.indexOf(o.sendTo);
        if (at >= 0) {
            out.truncate(at + o.sendTo.size());
            return TxdLineAction::SendAndStop;
        }
    }
    out.append(o.eob);
    return TxdLineAction::Send;
}

QByteArrayView TxdLineReader::next()
{
    const qsizetype start = pos_;
    const qsizetype n = data_.size();
    const void *cr = start < n ? std::memchr(data_.data() + start, '\r', size_t(n - start)) : nullptr;
    if (!cr) {
        pos_ = n;
        return data_.sliced(start);
    }
    const qsizetype end = static_cast<const char *>(cr) - data_.data();
    pos_ = end + 1;
    if (pos_ < n && data_[pos_] == '\n')
        ++pos_;
    return data_.sliced(start, end - start);
}

// ---------------------------------------------------------------------------
// Settings

TxdSettingsStatus readTxdSettings(const MachineConfig &cfg, TxdSettings &s, QString *message)
{
    auto get = [&](const char *key, const QString &def) {
        return cfg.value(kCfgCommunication, QString::fromLatin1(key), def);
    };
    auto bad = [&](const char *key, const QString &why) {
        if (message)
            *message = QStringLiteral("Inställningen \"%1\" i %2 går inte att använda.\r\n\r\n%3\r\n\r\n"
                                      "Ingenting har sänts. Rätta värdet under [ Arkiv ] & [ Inställningar CNC ].")
                           .arg(QString::fromLatin1(key), QFileInfo(cfg.file()).fileName(), why);
        return TxdSettingsStatus::BadHexCode;
    };

    const QString port = get("ComPort", "1");
    const auto portNo = toInt32(port);
    if (!portNo || *portNo < 1)
        return bad("ComPort", QStringLiteral("Portnumret \"%1\" är inte ett nummer.").arg(port));
    s.comPort = *portNo;
    const QString baud = get("BaudRate", "2400");
    const QString dataBits = get("DataBits", "7");
    const QString parity = get("Parity", cfg::ParityEven);
    const QString stopBits = get("StopBits", "1");
    s.commSettings = commSettingsText(baud, parity, dataBits, stopBits);
    s.dataBits = toInt16(dataBits).value_or(8);
    s.loopSend = loopSendValue(get("LoopSend", "False")).value_or(false);
    s.delayBeforeClose = toInt16(get("DelayBeforeClose", "0")).value_or(0);
    s.chrDelay = std::max(0, toInt32(get("ChrDelayInMs", "0")).value_or(0));
    s.protokoll = get("Protokoll", cfg::ProtRtsCts);
    s.protocol = txdProtocol(s.protokoll);
    if (!s.protocol.known) {
        if (message)
            *message = QStringLiteral("Stop i SelectProtokoll !!!");
        return TxdSettingsStatus::UnknownProtocol;
    }

    s.code = get("Code", cfg::CodeIso);
    s.options.binary = s.code == cfg::CodeBinary;
    s.eia = s.code == cfg::CodeEia;
    QString why;
    const auto leader = expandHexCodes(get("LeaderChr", QString()), &why);
    if (!leader)
        return bad("LeaderChr", why);
    s.leader = *leader;
    const auto trailer = expandHexCodes(get("TrailerChr", QString()), &why);
    if (!trailer)
        return bad("TrailerChr", why);
    s.trailer = *trailer;
    s.doNotSendText = get("DoNotSend", QString());
    s.options.doNotSend = toCp1252(s.doNotSendText);
    const auto filter = parseHexCode(get("TxdFilter", QString()), &why);
    if (!filter)
        return bad("TxdFilter", why);
    s.options.filter = char(*filter);
    s.sendToText = get("SendTo", QString());
    s.options.sendTo = toCp1252(s.sendToText);
    s.send30Null = toInt16(get("Send30Null", "0")).value_or(0) == 1;
    s.displayTxData = toInt16(get("DisplayTxData", "1")).value_or(1) != 0;
    s.options.eob = txdEob(get("EobCode", "CR LF"));
    s.blockSize = std::clamp(toInt16(get("BufSize", "256")).value_or(256), 1, 256);
    return TxdSettingsStatus::Ok;
}

TxdOptions txdOptionsFor(const TxdSettings &s, TextEncoding e)
{
    TxdOptions o = s.options;
    auto encode = [e](const QString &text) { return e == TextEncoding::Utf8 ? text.toUtf8() : toCp1252(text); };
    o.sendTo = encode(s.sendToText);
    // More than one character never matches: nothing to compare then.
    o.doNotSend = s.doNotSendText.toUcs4().size() == 1 ? encode(s.doNotSendText) : QByteArray();
    return o;
}

QByteArrayView txdProgramBytes(QByteArrayView file)
{
    return file.startsWith(QByteArrayView(kUtf8Bom)) ? file.sliced(3) : file;
}

QString txdRateText(qint64 bytes, qint64 elapsedMs)
{
    // At least one millisecond, so a send that took no measurable time shows
    // a (large) rate instead of dividing by zero.
    const double seconds = double(std::max<qint64>(elapsedMs, 1)) / 1000.0;
    const double rate = double(bytes) / seconds;
    // "####.#": no leading zero, one decimal that is left out when it is 0.
    const qint64 tenths = qint64(std::llround(rate * 10.0));
    const qint64 whole = tenths / 10;
    const int tenth = int(tenths % 10);
    QString text = whole > 0 ? QString::number(whole) : QString();
    text += '.';
    if (tenth != 0)
        text += QString::number(tenth);
    return QStringLiteral(" Chr's/sec : ") + text;
}

// ---------------------------------------------------------------------------
// The sender

namespace {
// How often a waiting send looks at the port and the clock.
constexpr int kTickMs = 1;
// The longest stretch of work before the window's events run again.
constexpr qint64 kSliceMs = 10;
}

TxdSender::TxdSender(SerialPort *port, QObject *parent) : QObject(parent), port_(port)
{
    if (port)
        connect(port, &SerialPort::OnComm, this, &TxdSender::OnCommEvent);
    tick_ = new QTimer(this);
    tick_->setTimerType(Qt::PreciseTimer);
    tick_->setInterval(kTickMs);
    connect(tick_, &QTimer::timeout, this, &TxdSender::run);
    holdClock_.start();
}

TxdSender::~TxdSender() = default;

int TxdSender::tell(const QString &text, MbButtons buttons, MbIcon icon, const QString &title)
{
    return ask ? ask(text, buttons, icon, title) : RkMsgBox(text, buttons, icon, title, 0, nullptr);
}

void TxdSender::status(int panel, const QString &text)
{
    if (onStatus)
        onStatus(panel, text);
}

void TxdSender::watchHold(bool force)
{
    if (!port_ || !port_->PortOpen())
        return;
    const qint64 now = holdClock_.elapsed();
    if (!force && now - lastHoldLook_ < 250)
        return;
    lastHoldLook_ = now;
    const LineHold::State before = hold_.state();
    const LineHold::State after = hold_.look(port_->OutBufferCount(), IsCncReady(), now);
    if (after != before)
        status(3, after == LineHold::State::Free ? rateText
                                                 : LineHold::text(after, port_->Handshaking() & comXOnXOff));
}

bool TxdSender::IsCncReady() const
{
    if (bSkipCts)
        return true;
    return port_ && port_->CTSHolding();
}

void TxdSender::ClosePort()
{
    RkGuard("ClosePort()", [&] {
        if (port_ && port_->PortOpen()) {
            port_->clearOutBuffer();
            port_->setHandshaking(comNone);
            port_->setPortOpen(false);
        }
    });
}

bool TxdSender::stop()
{
    ClosePort();
    return true;
}

bool TxdSender::fail()
{
    // An abort by the user closes the port too: that is no failure.
    if (bAbort)
        return stop();
    if (!failed_) {
        failed_ = true;
        if (port_ && port_->lost()) {
            failNumber = port_->LostNumber;
            failReason = port_->LostReason;
        } else if (port_ && !port_->PortOpen()) {
            failNumber = kPortNotOpen;
            failReason = QStringLiteral("Porten COM%1 stängdes under sändningen.").arg(port_->CommPort);
        } else {
            failNumber = kPortDeviceError;
            failReason = QStringLiteral("Porten COM%1 tog inte emot fler tecken.").arg(port_ ? port_->CommPort : 0);
        }
    }
    return stop();
}

void TxdSender::confirm()
{
    bytesWritten = handed_;
    if (lineWireEnd_ >= 0 && handed_ >= lineWireEnd_) {
        lastLine = lineInFlight_;
        confirmedFileEnd_ = lineFileEnd_;
        lineWireEnd_ = -1;
    }
}

void TxdSender::handedLine(QByteArrayView line, qint64 fileEnd)
{
    lineInFlight_ = line.toByteArray();
    lineWireEnd_ = handed_;
    lineFileEnd_ = fileEnd;
}

bool TxdSender::write(QByteArrayView bytes, bool eia)
{
    const bool ok = eia ? SendEIA(bytes) : port_->Output(bytes.toByteArray());
    if (ok)
        handed_ += bytes.size();
    // The line moves again: the window says so at once.
    if (ok && hold_.state() != LineHold::State::Free)
        watchHold(true);
    return ok;
}

bool TxdSender::SendEIA(QByteArrayView text)
{
    const qsizetype bad = isoToEia(text, eiaBuf_);
    if (bad >= 0) {
        QString message = QStringLiteral("EIA översättningsfel.\r\nÖverföringen har avbrutits.");
        if (currentLine > 0) {
            // Where, and which character: the rest of its UTF-8 sequence may
            // be in the next block, so the code shows the bytes at hand.
            const auto lead = static_cast<unsigned char>(text[bad]);
            const QByteArrayView bytes = text.sliced(
                bad, std::min<qsizetype>(lead >= 0x80 ? utf8SequenceLength(lead) : 1, text.size() - bad));
            const QString shown = lead < 0x80 ? QString(QChar(lead)) : decodeText(bytes, encoding_);
            message += QStringLiteral("\r\n\r\nRad %1: %2\r\nTecknet \"%3\" (%4 hex) finns inte i EIA-koden; "
                                      "ingenting av raden har sänts.")
                           .arg(currentLine)
                           .arg(currentLineText, shown, QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper()));
        }
        // Stopped before the box is up: nothing more goes out meanwhile.
        stoppedByEia = true;
        failedLine = currentLine;
        bAbort = true;
        tell(message, MbButtons::Ok, MbIcon::Critical, QStringLiteral("Översättningsfel"));
        return false;
    }
    return port_ && port_->Output(eiaBuf_);
}

// ---------------------------------------------------------------------------
// The output layer: one piece of text under the pacing rules

void TxdSender::startPiece(const QByteArray &text, bool eia, std::function<void()> then)
{
    if (text.isEmpty()) {
        if (then)
            then();
        return;
    }
    piece_ = Piece{};
    piece_.text = text;
    piece_.eia = eia;
    piece_.active = true;
    piece_.then = std::move(then);
}

bool TxdSender::outputStopped()
{
    piece_.active = false;
    outStopped_ = true;
    finish(stage_ == Stage::PieceOnly ? Result::Stopped : ended());
    return false;
}

bool TxdSender::advanceOutput()
{
    Piece &p = piece_;
    // Every wait also watches the port: one that failed or was closed under
    // the send ends it as failed, never as sent.
    switch (p.phase) {
    case Out::FirstWait: {
        // Every piece starts only after everything written before has left.
        if (bAbort)
            return stop(), outputStopped();
        const int pending = port_->OutBufferCount();
        if (!port_->PortOpen())
            return fail(), outputStopped();
        if (pending == 0)
            confirm();
        if (pending != 0 || !IsCncReady())
            return false;
        p.phase = bNoChrDelay ? Out::BlockDrain : Out::CharWrite;
        return true;
    }
    case Out::BlockDrain: {
        if (p.pos >= p.text.size())
            break;
        const int pending = port_->OutBufferCount();
        if (!port_->PortOpen())
            return fail(), outputStopped();
        if (pending != 0) {
            if (bAbort)
                return stop(), outputStopped();
            return false;
        }
        confirm();
        p.blockEnd = std::min<qsizetype>(p.pos + std::clamp(blockSize, 1, 256), p.text.size());
        p.phase = Out::BlockReady;
        return true;
    }
    case Out::BlockReady:
        if (!IsCncReady()) {
            if (bAbort)
                return stop(), outputStopped();
            if (!port_->PortOpen())
                return fail(), outputStopped();
            return false;
        }
        p.phase = Out::BlockRoom;
        return true;
    case Out::BlockRoom: {
        const qsizetype size = p.blockEnd - p.pos;
        const int need = int(std::min<qsizetype>(size, std::max(1, port_->OutBufferSize)));
        if (port_->OutBufferSize - port_->OutBufferCount() < need) {
            if (bAbort)
                return stop(), outputStopped();
            if (!port_->PortOpen())
                return fail(), outputStopped();
            return false;
        }
        if (!write(QByteArrayView(p.text).sliced(p.pos, size), p.eia))
            return fail(), outputStopped();
        p.pos = p.blockEnd;
        if (bAbort)
            return stop(), outputStopped();
        p.phase = Out::BlockDrain;
        return true;
    }
    case Out::CharWrite:
        if (p.pos >= p.text.size())
            break;
        if (!write(QByteArrayView(p.text).sliced(p.pos, 1), p.eia))
            return fail(), outputStopped();
        ++p.pos;
        // The pause between characters lets the window run meanwhile.
        deadline_ = QDeadlineTimer(lChrDelay, Qt::PreciseTimer);
        p.phase = Out::CharDelay;
        return false;
    case Out::CharDelay:
        if (bAbort)
            return stop(), outputStopped();
        if (!deadline_.hasExpired())
            return false;
        if (!port_->PortOpen())
            return fail(), outputStopped();
        p.phase = Out::CharWrite;
        return true;
    }
    // The piece is out.
    p.active = false;
    if (auto then = std::move(p.then))
        then();
    return true;
}

bool TxdSender::SendString(QByteArrayView text, bool eia)
{
    if (text.isEmpty())
        return false;
    if (!port_)
        return true;
    finished_ = false;
    outStopped_ = false;
    stage_ = Stage::PieceOnly;
    startPiece(text.toByteArray(), eia);
    tick_->start();
    run();
    waitForEnd();
    stage_ = Stage::Idle;
    return outStopped_;
}

// ---------------------------------------------------------------------------
// Line errors and the machine's DC1

QString TxdSender::lineErrorText() const
{
    static const char *labels[6] = {"BREAK  ", "OVER   ", "FRAMING", "PARITY ", "DCB    ", "OTHER  "};
    QString t = RkText(710, QStringLiteral("Överföringsfel har påträffats!")) + QStringLiteral("\r\n\r\n");
    for (int i = 0; i < 6; ++i)
        t += QString::fromLatin1(labels[i]) + '\t' + QString::number(errorCounts[size_t(i)]) + QStringLiteral("\r\n");
    return t;
}

void TxdSender::OnCommEvent()
{
    if (!port_)
        return;
    const int code = port_->CommEvent;
    int slot = -1;
    switch (code) {
    case comEvReceive: {
        // The machine's DC1 counts wherever it stands in what arrived.
        if (port_->Input().contains('\x11'))
            bDc1Received = true;
        return;
    }
    case comEvCTS:
        status(2, port_->CTSHolding() ? QString() : QStringLiteral("CTS"));
        return;
    case comEventBreak: slot = 0; break;
    case comEventOverrun:
    case comEventRxOver: slot = 1; break;
    case comEventFrame: slot = 2; break;
    case comEventRxParity: slot = 3; break;
    case comEventDCB: slot = 4; break;
    case comEventCDTO:
    case comEventCTSTO:
    case comEventDSRTO:
    case comEventTxFull: slot = 5; break;
    default: return;
    }
    if (errorCounts[size_t(slot)] < std::numeric_limits<int>::max())
        ++errorCounts[size_t(slot)];
    // One box at a time: errors while it is open are counted and show in the
    // next one. The send waits while it is open.
    if (errorBoxOpen_)
        return;
    errorBoxOpen_ = true;
    const QString title = gbNotSwedish ? RkGetLanguage(710).toUpper() : QStringLiteral("Kommunikationsfel !");
    const int answer = tell(lineErrorText(), MbButtons::RetryCancel, MbIcon::Critical, title);
    errorBoxOpen_ = false;
    if (answer == MbCancel) {
        bAbort = true;
        cancelledByErrorBox = true;
    }
}

QByteArray TxdSender::failureReport() const
{
    QString t = QStringLiteral("\r\n*** SÄNDNINGEN MISSLYCKADES ***\r\n") + failReason + QStringLiteral("\r\n")
                + QStringLiteral("%1 byte hade skrivits till porten när felet kom.\r\n").arg(bytesWritten);
    QByteArray out = toCp1252(t);
    if (!binary_ && !lastLine.isEmpty())
        out += toCp1252(QStringLiteral("Sista hela rad som skrevs: ")) + lastLine + "\r\n";
    else if (!binary_)
        out += toCp1252(QStringLiteral("Ingen programrad hann skrivas.\r\n"));
    out += toCp1252(QStringLiteral("Programmet i CNC:n är inte komplett.\r\n"));
    return out;
}

TxdSender::Result TxdSender::ended()
{
    if (!failed_)
        return Result::Stopped;
    // The window shows how far the send got, then the guarded failure box;
    // OK and Cancel both end the send: nothing more goes to a dead port.
    sentCount = confirmedFileEnd_;
    status(3, QStringLiteral("Sändningen misslyckades."));
    if (onLog)
        onLog(failureReport());
    RkTraceProc(QStringLiteral("SendString()"));
    stepFailed(failNumber, failReason);
    return Result::Failed;
}

bool TxdSender::stepFailed(long number, const QString &description)
{
    const QString title = RkText(710, QStringLiteral("Överföringsfel")) + QStringLiteral(" # ") +
                          QString::number(number) + '(' + description + ')';
    return tell(description, MbButtons::OkCancel, MbIcon::Critical, title) == MbOk;
}

// ---------------------------------------------------------------------------
// The send

void TxdSender::finish(Result r)
{
    if (finished_)
        return;
    finished_ = true;
    result_ = r;
    running = false;
    if (waiting_)
        waiting_->quit();
    stage_ = Stage::Idle;
    piece_.active = false;
    tick_->stop();
    file_.close();
    copy_.clear();
    data_ = {};
    reader_.reset();
    // From the event loop: the one who listens may start the next send.
    QMetaObject::invokeMethod(this, [this, r] { Q_EMIT finished(r); }, Qt::QueuedConnection);
}

void TxdSender::waitForEnd()
{
    if (finished_)
        return;
    QEventLoop loop;
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
}

TxdSender::Result TxdSender::send(const QString &txdPath, const TxdSettings &s)
{
    start(txdPath, s);
    waitForEnd();
    return result_;
}

void TxdSender::start(const QString &txdPath, const TxdSettings &s)
{
    RkTraceProc(QStringLiteral("btnTxd2Cnc_Click()"));
    finished_ = false;
    running = true;
    reachedSending = false;
    cancelledByErrorBox = false;
    stoppedByEia = false;
    failedLine = currentLine = 0;
    currentLineText.clear();
    sentCount = 0;
    fileLength = 0;
    rateText.clear();
    failed_ = false;
    outStopped_ = false;
    failNumber = 0;
    failReason.clear();
    bytesWritten = handed_ = 0;
    hold_.reset();
    lastLine.clear();
    lineWireEnd_ = -1;
    confirmedFileEnd_ = 0;
    binary_ = s.options.binary;
    settings_ = s;
    piece_ = Piece{};
    try {
        setUp(txdPath, s);
    } catch (const RkError &e) {
        stepFailed(e.number(), e.description());
        ClosePort();
        finish(Result::Cancelled);
    } catch (const std::exception &e) {
        stepFailed(kErrInvalidCall, QString::fromUtf8(e.what()));
        ClosePort();
        finish(Result::Cancelled);
    }
    if (!finished_) {
        tick_->start();
        run();
    }
}

void TxdSender::setUp(const QString &txdPath, const TxdSettings &s)
{
    bSkipCts = s.protocol.skipCts;
    bWaitDc1 = s.protocol.waitDc1;
    bKearney = s.protocol.kearney;
    sEob = s.options.eob;
    lChrDelay = s.chrDelay;
    bNoChrDelay = s.chrDelay <= 0;
    blockSize = s.blockSize;
    if (!port_)
        return finish(Result::PortFailed);

    // Port set-up, in this order.
    try {
        port_->InputLen = 0;
        port_->CommPort = s.comPort;
        port_->RThreshold = 1;
        port_->Settings = s.commSettings;
        port_->setRTSEnable(false);
        port_->setHandshaking(s.protocol.handshake);
        port_->setPortOpen(true);
        port_->setHandshaking(s.protocol.handshake);
    } catch (const RkError &e) {
        RkTraceProc(QStringLiteral("PortOpen()"));
        stepFailed(e.number(), e.description());
        ClosePort();
        return finish(Result::PortFailed);
    }
    status(1, port_->Settings);
    if (lChrDelay > 0)
        status(2, QStringLiteral("ChrDelay = %1 ms").arg(lChrDelay));

    sentCount = 0;
    bAbort = false;
    reachedSending = true;

    file_.setFileName(findFileNoCase(RkNativePath(txdPath)));
    const qint64 length = file_.exists() ? file_.size() : 0;
    if (length <= 0 || !file_.open(QIODevice::ReadOnly)) {
        tell(RkText(721, QStringLiteral("Det finns inget att sända till CNC !!!")), MbButtons::Ok,
             MbIcon::Information, QString());
        ClosePort();
        return finish(Result::Empty);
    }
    const uchar *mapped = file_.map(0, length);
    if (mapped) {
        data_ = QByteArrayView(reinterpret_cast<const char *>(mapped), length);
    } else {
        copy_ = file_.readAll();
        data_ = copy_;
    }
    // The program's own encoding decides how "DoNotSend" and "SendTo" are
    // spelt in it; its byte-order mark is never sent.
    encoding_ = programEncoding_.value_or(textEncodingOf(data_));
    options_ = txdOptionsFor(s, encoding_);
    data_ = txdProgramBytes(data_);
    fileLength = data_.size();
    clock_.start();

    // Wait for the machine. What the line held before this send is dropped
    // once, here; a DC1 that arrives from now on counts, however soon.
    port_->clearInBuffer();
    bDc1Received = false;
    status(3, RkText(722, QStringLiteral("Väntar CNC...")));
    stage_ = Stage::WaitMachine;
}

void TxdSender::run()
{
    if (inRun_ || finished_)
        return;
    inRun_ = true;
    QElapsedTimer slice;
    slice.start();
    try {
        while (!finished_ && !errorBoxOpen_) {
            if (!advance()) {
                // While output waits; the waits for the machine say their own words.
                if (!finished_ && (piece_.active || stage_ == Stage::Drain))
                    watchHold();
                break;
            }
            if (slice.elapsed() >= kSliceMs)
                break;
        }
    } catch (const RkError &e) {
        stepFailed(e.number(), e.description());
        ClosePort();
        outStopped_ = true;
        finish(Result::Cancelled);
    } catch (const std::exception &e) {
        stepFailed(kErrInvalidCall, QString::fromUtf8(e.what()));
        ClosePort();
        outStopped_ = true;
        finish(Result::Cancelled);
    }
    inRun_ = false;
}

bool TxdSender::portGone()
{
    if (port_->PortOpen())
        return false;
    fail();
    finish(ended());
    return true;
}

bool TxdSender::waitEnded()
{
    if (!bAbort)
        return portGone();
    ClosePort();
    finish(Result::Stopped);
    return true;
}

bool TxdSender::advance()
{
    if (piece_.active)
        return advanceOutput();
    const TxdSettings &s = settings_;
    switch (stage_) {
    case Stage::Idle:
        return false;
    case Stage::PieceOnly:
        finish(Result::Done);
        return false;
    case Stage::WaitMachine:
        if (bWaitDc1) {
            port_->setHandshaking(comRTS);
            status(3, RkText(723, QStringLiteral("Väntar på DC-Kod...")));
            bDc1Received = false;
            stage_ = Stage::WaitDc1;
            return true;
        }
        stage_ = Stage::CheckReady;
        return true;
    case Stage::WaitDc1:
        if (waitEnded())
            return false;
        if (!bDc1Received)
            return false;
        if (s.protocol.osp) {
            port_->setHandshaking(comXOnXOff);
            stage_ = Stage::OspRts;
        } else {
            port_->setHandshaking(comRTSXOnXOff);
            stage_ = Stage::CheckReady;
        }
        return false;  // the port's events first
    case Stage::OspRts:
        port_->setRTSEnable(true);
        stage_ = Stage::CheckReady;
        return false;
    case Stage::CheckReady:
        if (waitEnded())
            return false;
        if (!IsCncReady()) {
            // Not ready after its DC1: the machine is waited for again, by its next DC1.
            bDc1Received = false;
            stage_ = Stage::WaitMachine;
            return bWaitDc1;
        }
        status(3, QString());
        stage_ = Stage::LeadNuls;
        return true;
    case Stage::LeadNuls:
        stage_ = Stage::Leader;
        if (s.send30Null)
            startPiece(QByteArray(30, '\0'), false);
        return true;
    case Stage::Leader:
        stage_ = options_.binary ? Stage::Binary : Stage::Lines;
        if (options_.binary) {
            // The file as one piece: padded, never skipped, filtered or
            // translated, in slices of 4.
            binaryPiece_.clear();
            binaryPiece_.reserve(data_.size());
            txdPadLine(data_, false, 0, binaryPiece_);
            binaryPos_ = 0;
        } else {
            reader_.emplace(data_);
            lineNo_ = 0;
            stoppedBySendTo_ = false;
        }
        startPiece(s.leader, false);
        return true;
    case Stage::Binary: {
        if (binaryPos_ >= binaryPiece_.size()) {
            if (s.displayTxData && onLog)
                onLog(binaryPiece_ + "\r\n");
            binaryPiece_.clear();
            stage_ = Stage::AfterLines;
            return true;
        }
        const QByteArray slice = binaryPiece_.mid(binaryPos_, 4);
        binaryPos_ += slice.size();
        startPiece(slice, false, [this, n = slice.size()] {
            sentCount = std::min<qint64>(sentCount + n, fileLength);
            handedLine({}, sentCount);
        });
        return true;
    }
    case Stage::Lines: {
        if (reader_->atEnd() || stoppedBySendTo_) {
            stage_ = Stage::AfterLines;
            return true;
        }
        const QByteArrayView line = reader_->next();
        ++lineNo_;
        const TxdLineAction action = txdTransformLine(line, options_, out_);
        if (action == TxdLineAction::Skip) {
            sentCount = reader_->position();
            return true;
        }
        const bool stopped = action == TxdLineAction::SendAndStop;
        if (s.eia) {
            currentLine = lineNo_;
            currentLineText = decodeText(line.first(std::min<qsizetype>(line.size(), 300)), encoding_);
        }
        startPiece(out_, s.eia, [this, stopped] {
            currentLine = 0;
            stoppedBySendTo_ = stopped;
            if (!stopped)
                out_.chop(settings_.options.eob.size());
            handedLine(out_, reader_->position());
            if (settings_.displayTxData && onLog)
                onLog(out_ + "\r\n");
            sentCount = reader_->position();
        });
        return true;
    }
    case Stage::AfterLines:
        rateText = txdRateText(fileLength, clock_.elapsed());
        status(3, rateText);
        stage_ = Stage::Kearney;
        return true;
    case Stage::Kearney:
        stage_ = Stage::Trailer;
        if (bKearney)
            startPiece(QByteArray("\x04\x14"), false);
        return true;
    case Stage::Trailer:
        stage_ = Stage::TrailNuls;
        startPiece(s.trailer, false);
        return true;
    case Stage::TrailNuls:
        stage_ = Stage::Drain;
        if (s.send30Null)
            startPiece(QByteArray(30, '\0'), false);
        return true;
    case Stage::Drain: {
        // A port that fails meanwhile fails the send: the last bytes may not have left.
        if (!bAbort) {
            const int pending = port_->OutBufferCount();
            if (portGone())
                return false;
            if (pending > 0)
                return false;
            confirm();
        }
        sentCount = fileLength;
        const int seconds = s.delayBeforeClose == 0 ? 2 : s.delayBeforeClose;
        if (seconds > 0 && !bAbort) {
            // Time for the machine before the line drops.
            deadline_ = QDeadlineTimer(qint64(seconds) * 1000);
            stage_ = Stage::CloseDelay;
        } else {
            stage_ = Stage::Close;
        }
        return true;
    }
    case Stage::CloseDelay:
        if (!bAbort) {
            if (portGone())
                return false;
            if (!deadline_.hasExpired())
                return false;
        }
        stage_ = Stage::Close;
        return true;
    case Stage::Close:
        if (bAbort) {
            ClosePort();
            finish(Result::Stopped);
            return false;
        }
        // Everything has left: close without purging, so nothing still on its
        // way (a UART's transmit FIFO, a pseudo-terminal's peer buffer) is lost.
        RkGuard("ClosePort()", [&] {
            if (port_->PortOpen()) {
                port_->setHandshaking(comNone);
                port_->setPortOpen(false);
            }
        });
        finish(Result::Done);
        return false;
    }
    return false;
}

}
