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
    virtual QByteArray Input() = 0;         // takes the waiting bytes
    // Queues bytes for output; false when the port refused them.
    virtual bool Output(const QByteArray &bytes) = 0;
    // The code of the event being raised (valid inside OnComm).
    int CommEvent = 0;

Q_SIGNALS:
    void OnComm();

protected:
    void raise(int code)
    {
        CommEvent = code;
        Q_EMIT OnComm();
    }
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
