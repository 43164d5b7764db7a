#include "dnc/serialport.h"
#include "dnc/qtserialport.h"

#include "core/errors.h"
#include "core/inifile.h"

#include <QCollator>
#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <QFile>

#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace lumrik {

// ---------------------------------------------------------------------------
// Port numbers

namespace {
const QString kComPorts = QStringLiteral("ComPorts");

QString portKey(int n) { return QStringLiteral("COM%1").arg(n); }

// The reason a port failed, in the user's language: the system's own texts
// are English and name disks where a serial line is meant.
QString portErrnoText(int err)
{
    switch (err) {
    case EIO:
    case ENXIO:
    case ENODEV: return QStringLiteral("enheten svarar inte (kabeln eller adaptern borttagen?)");
    case EBADF: return QStringLiteral("porten är stängd");
    default: return RkSystemErrorText(err);
    }
}

QString portErrorText(QSerialPort::SerialPortError e)
{
    switch (e) {
    case QSerialPort::DeviceNotFoundError: return QStringLiteral("enheten finns inte");
    case QSerialPort::PermissionError:
        return QStringLiteral("åtkomst nekad (porten används av ett annat program, eller behörighet saknas)");
    case QSerialPort::OpenError: return QStringLiteral("porten är redan öppen");
    case QSerialPort::ResourceError: return portErrnoText(EIO);
    case QSerialPort::UnsupportedOperationError: return QStringLiteral("inställningen stöds inte av porten");
    case QSerialPort::WriteError: return QStringLiteral("skrivfel");
    case QSerialPort::ReadError: return QStringLiteral("läsfel");
    default: return QStringLiteral("okänt fel");
    }
}

// Why a path is no serial line, as far as the file system tells before
// anything is opened: a folder, a plain file, a pipe. Empty for a device, and
// for a path that does not exist (the opening says so).
QString notASerialPort(const QString &device)
{
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("sökvägen är en mapp, ingen serieport");
    if (S_ISREG(st.st_mode))
        return QStringLiteral("sökvägen är en vanlig fil, ingen serieport");
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("sökvägen är ingen serieport");
    return {};
}

// A device that is no terminal line (such as /dev/null) takes no serial settings.
bool isTerminalDevice(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true;  // cannot tell: the opening's own reason stands
    const bool tty = ::isatty(fd) == 1;
    ::close(fd);
    return tty;
}

bool hasPortSection(const IniFile &ini) { return ini.sections().contains(kComPorts, Qt::CaseInsensitive); }

// What the first fill numbers: this computer's ports in natural order, from 1.
QStringList firstFillPorts()
{
    QStringList paths;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(paths.begin(), paths.end(), [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return paths;
}

// Fills the section from this computer's ports, once: later calls find the
// section and keep its numbering even when ports come and go.
void fillPortSection()
{
    IniFile ini;
    ini.load(mainSettingsFile());
    if (hasPortSection(ini))
        return;
    const QStringList paths = firstFillPorts();
    if (paths.isEmpty())
        return;
    IniWriteBatch batch; // one write, one report if it fails
    for (int i = 0; i < paths.size(); ++i)
        SaveIniSetting(kComPorts, portKey(i + 1), paths[i]);
}
}

bool rememberSerialPort(int number, const QString &device)
{
    fillPortSection();
    for (const auto &[n, stored] : serialPortList(false))
        if (n == number)
            return stored == device;
    return SaveIniSetting(kComPorts, portKey(number), device);
}

QString serialPortDevice(int portNumber)
{
    fillPortSection();
    return GetIniSetting(kComPorts, portKey(portNumber), QString()).trimmed();
}

QList<QPair<int, QString>> serialPortList(bool fillOnce)
{
    if (fillOnce)
        fillPortSection();
    QList<QPair<int, QString>> out;
    IniFile ini;
    ini.load(mainSettingsFile());
    if (!fillOnce && !hasPortSection(ini)) {
        // The numbers the first fill will give, nothing written.
        const QStringList paths = firstFillPorts();
        for (int i = 0; i < paths.size(); ++i)
            out.append({i + 1, paths[i]});
        return out;
    }
    for (const QString &key : ini.keys(kComPorts)) {
        if (!key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int n = key.mid(3).toInt(&ok);
        if (ok && n > 0)
            out.append({n, ini.value(kComPorts, key).trimmed()});
    }
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    return out;
}

// ---------------------------------------------------------------------------
// Loss of an open port

void SerialPort::portLost(long number, const QString &reason)
{
    if (lost())
        return;
    LostNumber = number;
    LostReason = reason;
    const int generation = lossGeneration_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == lossGeneration_ && lost())
                raise(comEventPortLost);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Factory

namespace {
SerialPortFactory gFactory = nullptr;
}

void setSerialPortFactory(SerialPortFactory factory) { gFactory = factory; }

std::unique_ptr<SerialPort> createSerialPort()
{
    if (gFactory)
        return gFactory();
    return std::make_unique<QtSerialPort>();
}

// ---------------------------------------------------------------------------
// Settings text

bool parsePortSettings(const QString &text, PortSettings &out, QString *error)
{
    const QStringList f = text.split(',');
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Ogiltiga portinställningar \"%1\": %2").arg(text, why);
        return false;
    };
    if (f.size() != 4)
        return fail(QStringLiteral("fyra fält väntas (hastighet,paritet,databitar,stoppbitar)"));
    bool ok = false;
    const int baud = f[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return fail(QStringLiteral("hastigheten"));
    out.baud = baud;
    const QString p = f[1].trimmed().toUpper();
    if (p == "N" || p == "NONE" || p == "INGEN")
        out.parity = QSerialPort::NoParity;
    else if (p == "E" || p == "EVEN" || p == QStringLiteral("JÄMN"))
        out.parity = QSerialPort::EvenParity;
    else if (p == "O" || p == "ODD" || p == "UDDA")
        out.parity = QSerialPort::OddParity;
    else if (p == "M" || p == "MARK")
        out.parity = QSerialPort::MarkParity;
    else if (p == "S" || p == "SPACE")
        out.parity = QSerialPort::SpaceParity;
    else
        return fail(QStringLiteral("pariteten"));
    const int data = f[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return fail(QStringLiteral("databitarna"));
    out.dataBits = QSerialPort::DataBits(data);
    const QString s = f[3].trimmed();
    if (s == "1")
        out.stopBits = QSerialPort::OneStop;
    else if (s == "1.5" || s == "1,5")
        out.stopBits = QSerialPort::OneAndHalfStop;
    else if (s == "2")
        out.stopBits = QSerialPort::TwoStop;
    else
        return fail(QStringLiteral("stoppbitarna"));
    return true;
}

// ---------------------------------------------------------------------------
// The real port

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent)
{
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { pollLines(); });
    QObject::connect(&port_, &QSerialPort::readyRead, this, [this] {
        if (RThreshold > 0 && port_.bytesAvailable() >= RThreshold)
            raise(comEvReceive);
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || !port_.isOpen() || checkQueued_)
            return;
        // Looked into from the event loop, not inside Qt's own notifier. A hung
        // up line keeps reporting read errors until then; one look is enough.
        checkQueued_ = true;
        const QString qtReason = e == QSerialPort::ResourceError ? portErrorText(e) : QString();
        QTimer::singleShot(0, this, [this, qtReason] {
            checkQueued_ = false;
            checkLine(qtReason);
        });
    });
}

QtSerialPort::~QtSerialPort()
{
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::PortOpen() const { return port_.isOpen(); }

int QtSerialPort::handle() const { return port_.isOpen() ? int(port_.handle()) : -1; }

void QtSerialPort::closePort()
{
    poll_.stop();
    if (writer_) {
        // Possibly called from the notifier's own signal: delete it later.
        writer_->setEnabled(false);
        writer_->deleteLater();
        writer_ = nullptr;
    }
    out_.clear();
    outPos_ = 0;
    port_.close();
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open == port_.isOpen())
        return;
    if (!open) {
        closePort();
        return;
    }
    clearLost();
    leftover_.clear();
    const QString device = serialPortDevice(CommPort);
    if (device.isEmpty())
        throw RkError(8002, QStringLiteral("Ogiltigt portnummer: COM%1 finns inte på den här datorn.").arg(CommPort));
    PortSettings ps;
    QString why;
    if (!parsePortSettings(Settings, ps, &why))
        throw RkError(380, why);
    const auto cannotOpen = [&](long number, const QString &why) {
        return RkError(number, QStringLiteral("Porten COM%1 (%2) kunde inte öppnas: %3").arg(CommPort).arg(device, why));
    };
    if (const QString why = notASerialPort(device); !why.isEmpty())
        throw cannotOpen(8002, why);
    port_.setPortName(device);
    device_ = device;
    port_.setBaudRate(ps.baud);
    port_.setParity(ps.parity);
    port_.setDataBits(ps.dataBits);
    port_.setStopBits(ps.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const long number = error == QSerialPort::PermissionError ? 8005 : 8002;
        if (error != QSerialPort::PermissionError && error != QSerialPort::DeviceNotFoundError
            && !isTerminalDevice(device))
            throw cannotOpen(number, QStringLiteral("enheten är ingen serieport"));
        throw cannotOpen(number, portErrorText(error));
    }
    out_.clear();
    outPos_ = 0;
    writer_ = new QSocketNotifier(port_.handle(), QSocketNotifier::Write, this);
    writer_->setEnabled(false);
    QObject::connect(writer_, &QSocketNotifier::activated, this, [this] { writeOut(); });
    applyFlowControl();
    if (!(handshake_ & comRTS))
        applyRts();
    lastCts_ = CTSHolding();
    haveCounts_ = false;
    pollLines();
    poll_.start();
}

void QtSerialPort::setHandshaking(int mode)
{
    handshake_ = mode & 3;
    if (port_.isOpen())
        applyFlowControl();
}

void QtSerialPort::setRTSEnable(bool on)
{
    rts_ = on;
    if (port_.isOpen())
        applyRts();
}

void QtSerialPort::applyFlowControl()
{
    const int fd = handle();
    if (fd < 0)
        return;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    if (handshake_ & comRTS)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    if (handshake_ & comXOnXOff)
        tio.c_iflag |= IXOFF;
    else
        tio.c_iflag &= ~IXOFF;
    // The machine's XON and XOFF stop our output only when we send: the line
    // discipline swallows every DC1 and DC3 it takes for them.
    if ((handshake_ & comXOnXOff) && !XonXoffInputOnly)
        tio.c_iflag |= IXON;
    else
        tio.c_iflag &= ~IXON;
    // Output that XOFF stopped resumes on XON only, never on any other byte.
    tio.c_iflag &= ~IXANY;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    ::tcsetattr(fd, TCSANOW, &tio);
}

void QtSerialPort::applyRts()
{
    const int fd = handle();
    if (fd < 0)
        return;
    // Also under hardware flow control, where Qt refuses to touch RTS. A
    // pseudo-terminal has no RTS line: the call fails and nothing changes.
    int bits = TIOCM_RTS;
    ::ioctl(fd, rts_ ? TIOCMBIS : TIOCMBIC, &bits);
}

bool QtSerialPort::CTSHolding() const
{
    const int fd = handle();
    if (fd < 0)
        return false;
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0)
        return true;  // no modem lines (pseudo-terminal): always ready
    return (bits & TIOCM_CTS) != 0;
}

int QtSerialPort::InBufferCount() const
{
    return port_.isOpen() ? int(port_.bytesAvailable()) : int(leftover_.size());
}

int QtSerialPort::OutBufferCount() const
{
    if (!port_.isOpen())
        return 0;
    // Only counts: the queue is handed to the driver by writeOut, whenever
    // the descriptor takes more.
    qint64 n = out_.size() - outPos_;
    int queued = 0;
    if (::ioctl(handle(), TIOCOUTQ, &queued) == 0 && queued > 0)
        n += queued;
    return int(std::min<qint64>(n, std::numeric_limits<int>::max()));
}

void QtSerialPort::clearOutBuffer()
{
    if (!port_.isOpen())
        return;
    out_.clear();
    outPos_ = 0;
    if (writer_)
        writer_->setEnabled(false);
    ::tcflush(handle(), TCOFLUSH);
}

void QtSerialPort::clearInBuffer()
{
    leftover_.clear();
    if (!port_.isOpen())
        return;
    // What the driver holds as well as what Qt has read already.
    ::tcflush(handle(), TCIFLUSH);
    port_.clear(QSerialPort::Input);
}

QByteArray QtSerialPort::Input()
{
    if (!port_.isOpen()) {
        if (InputLen > 0 && leftover_.size() > InputLen) {
            QByteArray head = leftover_.left(InputLen);
            leftover_.remove(0, InputLen);
            return head;
        }
        return std::exchange(leftover_, QByteArray());
    }
    if (InputLen > 0)
        return port_.read(InputLen);
    return port_.readAll();
}

bool QtSerialPort::Output(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return false;
    if (bytes.isEmpty())
        return true;
    // Written on the descriptor by our own queue: a line stopped by XOFF makes
    // write() refuse with EAGAIN, which QSerialPort's queue takes for a fault.
    out_.append(bytes);
    writeOut();
    return port_.isOpen();
}

void QtSerialPort::writeOut()
{
    const int fd = handle();
    if (fd < 0)
        return;
    while (outPos_ < out_.size()) {
        const ssize_t n = ::write(fd, out_.constData() + outPos_, size_t(out_.size() - outPos_));
        if (n > 0) {
            outPos_ += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // The device is gone (adapter pulled) or refuses to write.
            lose(kPortDeviceError, portErrnoText(errno));
            return;
        }
        // The driver is full or the line is stopped: go on when it takes more.
        if (writer_)
            writer_->setEnabled(true);
        return;
    }
    out_.clear();
    outPos_ = 0;
    if (writer_)
        writer_->setEnabled(false);
}

void QtSerialPort::checkLine(const QString &qtReason)
{
    const int fd = handle();
    if (fd < 0)
        return;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        lose(kPortDeviceError, portErrnoText(errno));
        return;
    }
    pollfd p{fd, 0, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        lose(kPortDeviceError, QStringLiteral("linjen bröts"));
        return;
    }
    if (!qtReason.isEmpty())
        lose(kPortDeviceError, qtReason);
}

void QtSerialPort::lose(long number, const QString &systemReason)
{
    if (!port_.isOpen())
        return;
    // What was read before the failure stays for Input().
    leftover_ += port_.readAll();
    closePort();
    portLost(number, QStringLiteral("Porten COM%1 (%2) slutade fungera: %3").arg(CommPort).arg(device_, systemReason));
}

void QtSerialPort::pollLines()
{
    checkLine();
    const int fd = handle();
    if (fd < 0)
        return;
    const bool cts = CTSHolding();
    if (cts != lastCts_) {
        lastCts_ = cts;
        raise(comEvCTS);
        if (!port_.isOpen())
            return;
    }
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return;  // not a UART (pseudo-terminal, some USB adapters)
    const std::array<int, 5> now{ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
    if (!haveCounts_) {
        counts_ = now;
        haveCounts_ = true;
        return;
    }
    static constexpr int codes[5] = {comEventFrame, comEventOverrun, comEventRxParity, comEventBreak, comEventRxOver};
    const std::array<int, 5> before = counts_;
    counts_ = now;
    for (int i = 0; i < 5; ++i)
        if (now[i] != before[i]) {
            raise(codes[i]);
            if (!port_.isOpen())
                return;
        }
}

}

