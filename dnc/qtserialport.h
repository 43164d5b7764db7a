#pragma once
// The real serial port: QSerialPort for opening, settings, reading and
// writing; the tty calls Qt does not offer are made on its descriptor (RTS under
// hardware flow control, CTS changes, line-error counts, the driver's output
// queue, XON/XOFF that resumes on DC1 only). On a pseudo-terminal, which has no
// modem lines or error counters, those calls fail quietly: CTS then reads as on.
// A device that fails while open (adapter pulled, line hung up, a write the
// system refuses) closes the port and raises comEventPortLost; the bytes read
// before the failure stay readable through Input().
#include "dnc/serialport.h"

#include <QList>
#include <QPair>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>
#include <array>

namespace lumrik {

class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool PortOpen() const override;
    void setPortOpen(bool open) override;
    int Handshaking() const override { return handshake_; }
    void setHandshaking(int mode) override;
    bool RTSEnable() const override { return rts_; }
    void setRTSEnable(bool on) override;
    bool CTSHolding() const override;
    int InBufferCount() const override;
    int OutBufferCount() const override;
    void clearOutBuffer() override;
    void clearInBuffer() override;
    QByteArray Input() override;
    bool Output(const QByteArray &bytes) override;

    // The descriptor of the open port, -1 when closed.
    int handle() const;
    // Milliseconds between two looks at CTS and the error counters.
    void setPollInterval(int ms) { poll_.setInterval(ms); }

private:
    void applyFlowControl();
    void applyRts();
    void pollLines();
    void writeOut();
    void closePort();
    // Looks whether the open line still works; `qtReason`, when given, is Qt's
    // word that the device is gone.
    void checkLine(const QString &qtReason = {});
    void lose(long number, const QString &systemReason);

    QSerialPort port_;
    QTimer poll_;
    QSocketNotifier *writer_ = nullptr;
    QByteArray out_;           // bytes not yet taken by the driver, from outPos_
    qsizetype outPos_ = 0;
    QString device_;           // the path opened
    QByteArray leftover_;      // read before the port failed, not yet taken
    bool checkQueued_ = false;
    int handshake_ = comNone;
    bool rts_ = false;
    bool lastCts_ = true;
    bool haveCounts_ = false;
    std::array<int, 5> counts_{};  // frame, overrun, parity, brk, buf_overrun
};

// Parses the settings text "baud,parity,data,stop". False when a field is not
// one the port can take.
struct PortSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
bool parsePortSettings(const QString &text, PortSettings &out, QString *error = nullptr);

// The numbered ports of section "ComPorts" of the main settings file, in number
// order (filled from this computer's ports the first time it is asked; with
// `fillOnce` false nothing is written, and a missing section gives the numbers
// the first fill would give).
QList<QPair<int, QString>> serialPortList(bool fillOnce = true);
// Stores a port number for a device that has none yet (after the first fill);
// false when the number is taken by another device or the write failed.
bool rememberSerialPort(int number, const QString &device);

}
