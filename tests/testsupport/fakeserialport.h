#pragma once
// A serial port without hardware, for tests and benchmarks: it records every
// byte written and every change of the port's state, and lets the caller script
// CTS, line errors, received data and the output buffer count.
#include "dnc/serialport.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace lumrik {

class FakeSerialPort : public SerialPort {
public:
    explicit FakeSerialPort(QObject *parent = nullptr);
    ~FakeSerialPort() override;

    // The fake made last since install() (nullptr once it is destroyed).
    static FakeSerialPort *last();
    // Makes createSerialPort() hand out fakes; setup, when given, runs on each
    // new fake before it is returned.
    static void install(std::function<void(FakeSerialPort &)> setup = {});
    static void uninstall();

    // --- SerialPort
    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override;
    int Handshaking() const override { return handshake_; }
    void setHandshaking(int mode) override;
    bool RTSEnable() const override { return rts_; }
    void setRTSEnable(bool on) override;
    bool CTSHolding() const override { return open_ && cts_; }
    int InBufferCount() const override { return int(input_.size()); }
    int OutBufferCount() const override;
    void clearOutBuffer() override;
    void clearInBuffer() override;
    QByteArray Input() override;
    bool Output(const QByteArray &bytes) override;

    // --- Record
    bool recordWrites = true;           // keep writes and outCountAtWrite (off for long runs)
    QByteArray written;                 // every byte written, in order
    QList<QByteArray> writes;           // one entry per Output call
    QList<int> outCountAtWrite;         // OutBufferCount just before each write
    QList<int> handshakeLog;            // every Handshaking value set
    QList<bool> rtsLog;                 // every RTSEnable value set
    QStringList openedWith;             // "COM<n> <settings> hs=<mode>" at each opening
    int opens = 0, closes = 0, purges = 0, inputClears = 0;
    // Bytes written while the port was open, for each opening.
    QList<QByteArray> sessions;

    // --- Script
    // CTS line; a change while open raises comEvCTS.
    void setCts(bool on);
    // Raises a line error event (comEventFrame ...).
    void injectLineError(int code);
    // Data from the machine: queued for Input(), comEvReceive raised.
    void receive(const QByteArray &bytes);
    // Output buffer model. With holdOutput, written bytes stay counted in the
    // buffer until drained; drainPerQuery bytes leave on every OutBufferCount
    // query (0: only drain() empties it).
    bool holdOutput = false;
    int drainPerQuery = 0;
    void drain(int bytes = -1);
    int pending() const { return pending_; }
    // Opening fails with this RkError number and text when set.
    long failOpenNumber = 0;
    QString failOpenText;
    // Output refuses bytes (returns false) while set.
    bool refuseOutput = false;
    // The device fails in the middle of a write once this many more bytes have
    // been taken (-1: never): the bytes up to the limit are written, Output
    // returns false and the port is lost with writeFailure as its reason.
    qint64 failOutputAfter = -1;
    QString writeFailure = QStringLiteral("Porten COM1 (/dev/ttyUSB0) slutade fungera: enheten svarar inte (kabeln eller adaptern borttagen?)");
    // The device vanishes (adapter pulled): the port closes at once and
    // comEventPortLost follows from the event loop.
    void loseDevice(long number, const QString &reason);
    // Called after each write with the bytes just written.
    std::function<void(FakeSerialPort &, const QByteArray &)> onOutput;

private:
    bool open_ = false;
    int handshake_ = comNone;
    bool rts_ = false;
    bool cts_ = true;
    mutable int pending_ = 0;
    QByteArray input_;
};

}
