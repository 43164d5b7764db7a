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

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

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
    const char c = t[0];
    if (c == '\'')
        return true;
    return doNotSend.size() == 1 && c == doNotSend[0];
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
    s.options.doNotSend = toCp1252(get("DoNotSend", QString()));
    const auto filter = parseHexCode(get("TxdFilter", QString()), &why);
    if (!filter)
        return bad("TxdFilter", why);
    s.options.filter = char(*filter);
    s.options.sendTo = toCp1252(get("SendTo", QString()));
    s.send30Null = toInt16(get("Send30Null", "0")).value_or(0) == 1;
    s.displayTxData = toInt16(get("DisplayTxData", "1")).value_or(1) != 0;
    s.options.eob = txdEob(get("EobCode", "CR LF"));
    s.blockSize = std::clamp(toInt16(get("BufSize", "256")).value_or(256), 1, 256);
    return TxdSettingsStatus::Ok;
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

TxdSender::TxdSender(SerialPort *port, QObject *parent) : QObject(parent), port_(port)
{
    if (port)
        connect(port, &SerialPort::OnComm, this, &TxdSender::OnCommEvent);
    lastPump_.start();
}

void TxdSender::pump(bool force)
{
    if (!force && lastPump_.elapsed() < 10)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    lastPump_.restart();
}

bool TxdSender::waitIdle(int &round)
{
    // Let events run, then sleep a little longer each round (up to 2 ms), so a
    // long wait costs little and a short one reacts fast.
    pump(true);
    round = std::min(round + 1, 20);
    QThread::usleep(100UL * ulong(round));
    return !bAbort;
}

bool TxdSender::delay(int ms)
{
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        pump(true);
        if (bAbort)
            return false;
        const qint64 left = deadline.remainingTimeNSecs() / 1000;
        if (left > 0)
            QThread::usleep(ulong(std::min<qint64>(left, 1000)));
    }
    return true;
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
    return ok;
}

bool TxdSender::SendEIA(QByteArrayView text)
{
    if (isoToEia(text, eiaBuf_) >= 0) {
        RkMsgBox(QStringLiteral("EIA översättningsfel.\r\nÖverföringen har avbrutits."), MbButtons::Ok,
                 MbIcon::Critical, QStringLiteral("Översättningsfel"), 0, owner);
        bAbort = true;
        return false;
    }
    return port_ && port_->Output(eiaBuf_);
}

bool TxdSender::SendString(QByteArrayView text, bool eia)
{
    if (text.isEmpty())
        return false;
    if (!port_)
        return true;
    // Every wait also watches the port: one that failed or was closed under
    // the send ends it as failed, never as sent.
    int round = 0;
    for (;;) {
        pump();
        if (bAbort)
            return stop();
        const int pending = port_->OutBufferCount();
        if (!port_->PortOpen())
            return fail();
        if (pending == 0)
            confirm();
        if (pending == 0 && IsCncReady())
            break;
        waitIdle(round);
    }
    if (bNoChrDelay) {
        const qsizetype size = std::clamp(blockSize, 1, 256);
        for (qsizetype pos = 0; pos < text.size();) {
            const QByteArrayView block = text.sliced(pos, std::min(size, text.size() - pos));
            pos += block.size();
            round = 0;
            for (;;) {
                const int pending = port_->OutBufferCount();
                if (!port_->PortOpen())
                    return fail();
                if (pending == 0)
                    break;
                waitIdle(round);
                if (bAbort)
                    return stop();
            }
            confirm();
            round = 0;
            while (!IsCncReady()) {
                waitIdle(round);
                if (bAbort)
                    return stop();
                if (!port_->PortOpen())
                    return fail();
            }
            round = 0;
            const int need = int(std::min<qsizetype>(block.size(), std::max(1, port_->OutBufferSize)));
            while (port_->OutBufferSize - port_->OutBufferCount() < need) {
                if (bAbort)
                    return stop();
                if (!port_->PortOpen())
                    return fail();
                waitIdle(round);
            }
            if (!write(block, eia))
                return fail();
            if (bAbort)
                return stop();
        }
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!write(text.sliced(i, 1), eia))
            return fail();
        pump(true);
        if (bAbort)
            return stop();
        // The pause between characters lets the window run meanwhile.
        if (!delay(lChrDelay))
            return stop();
        if (!port_->PortOpen())
            return fail();
    }
    return false;
}

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
        if (onStatus)
            onStatus(2, port_->CTSHolding() ? QString() : QStringLiteral("CTS"));
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
    // next one.
    if (errorBoxOpen_)
        return;
    errorBoxOpen_ = true;
    const QString title = gbNotSwedish ? RkGetLanguage(710).toUpper() : QStringLiteral("Kommunikationsfel !");
    const int answer = RkMsgBox(lineErrorText(), MbButtons::RetryCancel, MbIcon::Critical, title, 0, owner);
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
    if (onStatus)
        onStatus(3, QStringLiteral("Sändningen misslyckades."));
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
    return RkMsgBox(description, MbButtons::OkCancel, MbIcon::Critical, title, 0, owner) == MbOk;
}

TxdSender::Result TxdSender::send(const QString &txdPath, const TxdSettings &s)
{
    RkTraceProc(QStringLiteral("btnTxd2Cnc_Click()"));
    struct Running {
        bool &flag;
        explicit Running(bool &f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running_(running);
    reachedSending = false;
    cancelledByErrorBox = false;
    sentCount = 0;
    fileLength = 0;
    rateText.clear();
    failed_ = false;
    failNumber = 0;
    failReason.clear();
    bytesWritten = handed_ = 0;
    lastLine.clear();
    lineWireEnd_ = -1;
    confirmedFileEnd_ = 0;
    binary_ = s.options.binary;
    auto status = [&](int panel, const QString &text) {
        if (onStatus)
            onStatus(panel, text);
    };

    bSkipCts = s.protocol.skipCts;
    bWaitDc1 = s.protocol.waitDc1;
    bKearney = s.protocol.kearney;
    sEob = s.options.eob;
    lChrDelay = s.chrDelay;
    bNoChrDelay = s.chrDelay <= 0;
    blockSize = s.blockSize;
    if (!port_)
        return Result::PortFailed;

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
        return Result::PortFailed;
    }
    status(1, port_->Settings);
    if (lChrDelay > 0)
        status(2, QStringLiteral("ChrDelay = %1 ms").arg(lChrDelay));

    sentCount = 0;
    bAbort = false;
    reachedSending = true;

    try {
        QFile file(findFileNoCase(RkNativePath(txdPath)));
        const qint64 length = file.exists() ? file.size() : 0;
        if (length <= 0 || !file.open(QIODevice::ReadOnly)) {
            RkMsgBox(RkText(721, QStringLiteral("Det finns inget att sända till CNC !!!")), MbButtons::Ok,
                     MbIcon::Information, QString(), 0, owner);
            ClosePort();
            return Result::Empty;
        }
        QByteArray copy;
        const uchar *mapped = file.map(0, length);
        QByteArrayView data;
        if (mapped) {
            data = QByteArrayView(reinterpret_cast<const char *>(mapped), length);
        } else {
            copy = file.readAll();
            data = copy;
        }
        fileLength = data.size();
        QElapsedTimer clock;
        clock.start();

        // Wait for the machine. What the line held before this send is dropped
        // once, here; a DC1 that arrives from now on counts, however soon.
        port_->clearInBuffer();
        bDc1Received = false;
        status(3, RkText(722, QStringLiteral("Väntar CNC...")));
        for (;;) {
            pump(true);
            if (bWaitDc1) {
                port_->setHandshaking(comRTS);
                status(3, RkText(723, QStringLiteral("Väntar på DC-Kod...")));
                int round = 0;
                while (!bDc1Received) {
                    waitIdle(round);
                    if (bAbort) {
                        ClosePort();
                        return Result::Stopped;
                    }
                    if (!port_->PortOpen()) {
                        fail();
                        return ended();
                    }
                }
                if (s.protocol.osp) {
                    port_->setHandshaking(comXOnXOff);
                    pump(true);
                    port_->setRTSEnable(true);
                    pump(true);
                } else {
                    port_->setHandshaking(comRTSXOnXOff);
                    pump(true);
                }
            }
            if (bAbort) {
                ClosePort();
                return Result::Stopped;
            }
            if (!port_->PortOpen()) {
                fail();
                return ended();
            }
            if (IsCncReady())
                break;
            // Not ready after its DC1: the machine is waited for again, by its next DC1.
            bDc1Received = false;
            if (!bWaitDc1)
                QThread::usleep(1000);
        }
        status(3, QString());

        if (s.send30Null && SendString(QByteArray(30, '\0'), false))
            return ended();
        if (SendString(s.leader, false))
            return ended();

        if (s.options.binary) {
            // The file as one piece: padded, never skipped, filtered or
            // translated, in slices of 4.
            QByteArray piece;
            piece.reserve(data.size());
            txdPadLine(data, false, 0, piece);
            for (qsizetype pos = 0; pos < piece.size(); pos += 4) {
                const QByteArrayView slice = QByteArrayView(piece).sliced(pos, std::min<qsizetype>(4, piece.size() - pos));
                if (SendString(slice, false))
                    return ended();
                sentCount = std::min<qint64>(sentCount + slice.size(), fileLength);
                handedLine({}, sentCount);
            }
            if (s.displayTxData && onLog)
                onLog(piece + "\r\n");
        } else {
            TxdLineReader reader(data);
            QByteArray out;
            bool stopped = false;
            while (!reader.atEnd() && !stopped) {
                const QByteArrayView line = reader.next();
                const TxdLineAction action = txdTransformLine(line, s.options, out);
                if (action != TxdLineAction::Skip) {
                    stopped = action == TxdLineAction::SendAndStop;
                    if (SendString(out, s.eia))
                        return ended();
                    if (!stopped)
                        out.chop(s.options.eob.size());
                    handedLine(out, reader.position());
                    if (s.displayTxData && onLog)
                        onLog(out + "\r\n");
                }
                sentCount = reader.position();
            }
        }

        rateText = txdRateText(fileLength, clock.elapsed());
        status(3, rateText);

        if (bKearney && SendString(QByteArray("\x04\x14"), false))
            return ended();
        if (SendString(s.trailer, false))
            return ended();
        if (s.send30Null && SendString(QByteArray(30, '\0'), false))
            return ended();

        // Drain, then give the machine time before the line drops. A port
        // that fails meanwhile fails the send: the last bytes may not have left.
        int round = 0;
        while (!bAbort) {
            const int pending = port_->OutBufferCount();
            if (!port_->PortOpen()) {
                fail();
                return ended();
            }
            if (pending == 0)
                break;
            waitIdle(round);
        }
        if (!bAbort)
            confirm();
        sentCount = fileLength;
        const int seconds = s.delayBeforeClose == 0 ? 2 : s.delayBeforeClose;
        if (seconds > 0 && !bAbort) {
            QDeadlineTimer deadline(qint64(seconds) * 1000);
            while (!deadline.hasExpired() && !bAbort) {
                pump(true);
                if (!port_->PortOpen()) {
                    fail();
                    return ended();
                }
                QThread::usleep(2000);
            }
        }
        if (bAbort) {
            ClosePort();
            return Result::Stopped;
        }
        // Everything has left: close without purging, so nothing still on its
        // way (a UART's transmit FIFO, a pseudo-terminal's peer buffer) is lost.
        RkGuard("ClosePort()", [&] {
            if (port_->PortOpen()) {
                port_->setHandshaking(comNone);
                port_->setPortOpen(false);
            }
        });
        return Result::Done;
    } catch (const RkError &e) {
        stepFailed(e.number(), e.description());
    } catch (const std::exception &e) {
        stepFailed(kErrInvalidCall, QString::fromUtf8(e.what()));
    }
    ClosePort();
    return Result::Cancelled;
}

}
