#pragma once
// The serial line as the send and receive windows use it: a port with the
// settings text "baud,parity,data,stop", a handshaking mode, RTS, CTS, buffer
// counts, and one event for data, CTS changes and line errors. One
// implementation drives a real port (QSerialPort plus the tty calls Qt lacks);
// a fake one scripts CTS, line errors and buffer counts for tests.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

namespace lumrik {

// Event codes of OnComm.
enum CommEventCode {
    comEvReceive = 2,
    comEvCTS = 3,
    comEventBreak = 1001,
    comEventCDTO = 1002,
    comEventCTSTO = 1003,
    comEventFrame = 1004,
    comEventOverrun = 1006,
    comEventDSRTO = 1007,
    comEventRxOver = 1008,
    comEventRxParity = 1009,
    comEventTxFull = 1010,
    comEventDCB = 1011,
    // The open port stopped working (device gone, line hung up, a write or
    // read the system refused): the port is closed, LostNumber and LostReason
    // say why.
    comEventPortLost = 1012,
};

// Error numbers of a port that stopped working while open.
enum PortLostNumber : long {
    kPortDeviceError = 57,   // the device failed or vanished (I/O error, hang-up)
    kPortNotOpen = 8018,     // the port was closed under its user
    kPortReadError = 8020,   // reading the port failed
};

// Handshaking modes.
enum Handshake { comNone = 0, comXOnXOff = 1, comRTS = 2, comRTSXOnXOff = 3 };

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Port number; the device behind each number comes from the main settings
    // file (see serialPortDevice()).
    int CommPort = 1;
    // "9600,E,7,2": baud rate, parity letter (N, E, O, M, S or the word), data bits, stop bits.
    QString Settings = QStringLiteral("9600,N,8,1");
    int InputLen = 0;      // 0: Input() returns every waiting byte
    int RThreshold = 1;
    int OutBufferSize = 512;
    // Software flow control (XON/XOFF handshaking) for a reception: the port
    // asks the machine to pause (XOFF) when its input fills and to go on (XON)
    // afterwards, but never acts on what the machine sends, so DC1 and DC3
    // arrive as data like every other byte. Takes effect at the next opening
    // or change of Handshaking.
    bool XonXoffInputOnly = false;

    virtual bool PortOpen() const = 0;
    // Opening applies CommPort, Settings, Handshaking and RTSEnable. Throws RkError
    // when the port cannot be opened (the message says why).
    virtual void setPortOpen(bool open) = 0;
    virtual int Handshaking() const = 0;
    virtual void setHandshaking(int mode) = 0;
    virtual bool RTSEnable() const = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual bool CTSHolding() const = 0;
    virtual int InBufferCount() const = 0;
    virtual int OutBufferCount() const = 0;
    virtual void clearOutBuffer() = 0;      // OutBufferCount = 0 and purge
    virtual void clearInBuffer() = 0;       // InBufferCount = 0, the driver's queue too
    virtual QByteArray Input() = 0;         // takes the waiting bytes
    // Queues bytes for output; false when the port refused them.
    virtual bool Output(const QByteArray &bytes) = 0;
    // The code of the event being raised (valid inside OnComm).
    int CommEvent = 0;

    // Why the port stopped working while it was open: a PortLostNumber and a
    // text that names the port and gives the system's reason. 0 and empty
    // while it works; cleared when the port is opened again.
    long LostNumber = 0;
    QString LostReason;
    bool lost() const { return LostNumber != 0; }

Q_SIGNALS:
    void OnComm();

protected:
    void raise(int code)
    {
        CommEvent = code;
        Q_EMIT OnComm();
    }
    // Called by an implementation that found its open port failing, after it
    // stopped using the port (PortOpen() is false from here on): keeps the
    // first reason and raises comEventPortLost from the event loop, never
    // inside the call that found the failure.
    void portLost(long number, const QString &reason);
    void clearLost()
    {
        LostNumber = 0;
        LostReason.clear();
        ++lossGeneration_;
    }

private:
    int lossGeneration_ = 0;
};

// The device path of a port number: section "ComPorts" of the main settings
// file, key "COM<n>"; filled once from the sorted list of this computer's ports
// when the section is missing, so the numbering stays stable.
QString serialPortDevice(int portNumber);

// Makes the port the windows use; tests replace the factory with a fake.
using SerialPortFactory = std::unique_ptr<SerialPort> (*)();
void setSerialPortFactory(SerialPortFactory factory);
std::unique_ptr<SerialPort> createSerialPort();

}
