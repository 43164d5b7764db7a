#include "fakeserialport.h"

#include "core/errors.h"

namespace lumrik {

namespace {
FakeSerialPort *gLast = nullptr;
std::function<void(FakeSerialPort &)> gSetup;

std::unique_ptr<SerialPort> makeFake()
{
    auto p = std::make_unique<FakeSerialPort>();
    if (gSetup)
        gSetup(*p);
    return p;
}
}

FakeSerialPort::FakeSerialPort(QObject *parent) : SerialPort(parent) { gLast = this; }

FakeSerialPort::~FakeSerialPort()
{
    if (gLast == this)
        gLast = nullptr;
}

FakeSerialPort *FakeSerialPort::last() { return gLast; }

void FakeSerialPort::install(std::function<void(FakeSerialPort &)> setup)
{
    gSetup = std::move(setup);
    gLast = nullptr; // a fake still alive from an earlier user is not this one's
    setSerialPortFactory(&makeFake);
}

void FakeSerialPort::uninstall()
{
    gSetup = {};
    setSerialPortFactory(nullptr);
}

void FakeSerialPort::setPortOpen(bool open)
{
    if (open == open_)
        return;
    if (open) {
        if (failOpenNumber != 0)
            throw RkError(failOpenNumber, failOpenText);
        clearLost();
        open_ = true;
        ++opens;
        sessions.append(QByteArray());
        openedWith << QStringLiteral("COM%1 %2 hs=%3").arg(CommPort).arg(Settings).arg(handshake_);
    } else {
        open_ = false;
        ++closes;
        pending_ = 0;
    }
}

void FakeSerialPort::setHandshaking(int mode)
{
    handshake_ = mode;
    handshakeLog << mode;
}

void FakeSerialPort::setRTSEnable(bool on)
{
    rts_ = on;
    rtsLog << on;
}

int FakeSerialPort::OutBufferCount() const
{
    const int n = pending_;
    if (drainPerQuery > 0)
        pending_ = std::max(0, pending_ - drainPerQuery);
    return n;
}

void FakeSerialPort::clearOutBuffer()
{
    pending_ = 0;
    ++purges;
}

void FakeSerialPort::clearInBuffer()
{
    input_.clear();
    ++inputClears;
}

QByteArray FakeSerialPort::Input()
{
    QByteArray out;
    if (InputLen > 0) {
        out = input_.left(InputLen);
        input_.remove(0, out.size());
    } else {
        out.swap(input_);
    }
    return out;
}

bool FakeSerialPort::Output(const QByteArray &bytes)
{
    if (!open_ || refuseOutput)
        return false;
    if (failOutputAfter >= 0 && bytes.size() > failOutputAfter) {
        const QByteArray taken = bytes.left(failOutputAfter);
        written += taken;
        if (!sessions.isEmpty())
            sessions.last() += taken;
        failOutputAfter = -1;
        loseDevice(kPortDeviceError, writeFailure);
        return false;
    }
    if (failOutputAfter > 0)
        failOutputAfter -= bytes.size();
    if (recordWrites) {
        outCountAtWrite << pending_;
        writes << bytes;
    }
    written += bytes;
    if (!sessions.isEmpty())
        sessions.last() += bytes;
    if (holdOutput)
        pending_ += int(bytes.size());
    if (onOutput)
        onOutput(*this, bytes);
    return true;
}

void FakeSerialPort::setCts(bool on)
{
    if (on == cts_)
        return;
    cts_ = on;
    if (open_)
        raise(comEvCTS);
}

void FakeSerialPort::injectLineError(int code)
{
    if (open_)
        raise(code);
}

void FakeSerialPort::receive(const QByteArray &bytes)
{
    if (!open_ || bytes.isEmpty())
        return;
    input_ += bytes;
    if (RThreshold > 0)
        raise(comEvReceive);
}

void FakeSerialPort::loseDevice(long number, const QString &reason)
{
    if (!open_)
        return;
    open_ = false;
    ++closes;
    pending_ = 0;
    portLost(number, reason);
}

void FakeSerialPort::drain(int bytes)
{
    pending_ = bytes < 0 ? 0 : std::max(0, pending_ - bytes);
}

}
