#include "mainwindow/handover.h"

#include "core/msgbox.h"
#include "core/session.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace lumrik {

namespace {
// A caller that connects and sends nothing whole is dropped after this long.
constexpr int kReadTimeoutMs = 5000;
// A frame longer than this holds no path.
constexpr quint32 kMaxFrame = 1u << 20;
}

QString instanceLockPath() { return instanceName() + QStringLiteral(".lock"); }

QString handOverName() { return instanceName() + QStringLiteral(".sock"); }

namespace {
// Whether this process holds the instance lock; the descriptor stays open,
// and the lock held, until the process ends.
bool &holdsLock()
{
    static bool held = false;
    return held;
}

bool tryLock()
{
    if (holdsLock())
        return true;
    const QByteArray path = QFile::encodeName(instanceLockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return holdsLock() = true; // no lock to be had: better an editor of its own than none
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return holdsLock() = true;
    ::close(fd);
    return false;
}
}

bool isFirstInstance()
{
    static const bool first = tryLock();
    return first;
}

bool takeInstanceLock() { return tryLock(); }

bool holdsInstanceLock() { return holdsLock(); }

bool ActivatePrevInstance(const QString &commandLine, const QString &name, int timeoutMs, bool stopWhenLockFree)
{
    // The command line goes as UTF-16 text with its length in bytes in front.
    QByteArray payload(reinterpret_cast<const char *>(commandLine.utf16()), commandLine.size() * 2);
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << quint32(payload.size());
    frame += payload;

    const QDeadlineTimer deadline(timeoutMs);
    // The instance listens right after taking its lock; until then, try again.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            RkBeep(); // the running editor is there: it takes over
            socket.write(frame);
            if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
                return false;
            // The instance answers one byte once it has the whole line.
            const bool taken = socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))
                               && socket.read(1) == "k";
            socket.disconnectFromServer();
            return taken;
        }
        // Nobody listens: the editor may be ending; once it has, the lock is free.
        if (deadline.hasExpired() || (stopWhenLockFree && tryLock()))
            return false;
        QThread::msleep(50);
    }
}

HandOverServer::HandOverServer(QObject *parent) : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = server_->nextPendingConnection())
            accept(s);
    });
}

void HandOverServer::accept(QLocalSocket *s)
{
    connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    QTimer::singleShot(kReadTimeoutMs, s, [s] { s->abort(); });
    // Everything here concerns the socket alone: read the frame whole, answer,
    // close. What the line asks for is done later, from the event loop, when
    // nothing of this connection is on the stack any more.
    connect(s, &QLocalSocket::readyRead, s, [this, s] {
        if (s->bytesAvailable() < 4)
            return;
        QDataStream in(s->peek(4));
        quint32 size = 0;
        in >> size;
        if (size > kMaxFrame || size % 2 != 0) {
            s->abort();
            return;
        }
        if (s->bytesAvailable() < qint64(4 + size))
            return;
        s->read(4);
        const QByteArray payload = s->read(size);
        const QString line =
            QString::fromUtf16(reinterpret_cast<const char16_t *>(payload.constData()), payload.size() / 2);
        s->write("k");
        s->flush();
        s->disconnectFromServer();
        QMetaObject::invokeMethod(this, [this, line] { Q_EMIT handedOver(line); }, Qt::QueuedConnection);
    });
}

bool HandOverServer::listen(const QString &name)
{
    if (server_->listen(name))
        return true;
    // Nobody answers on the name: a crashed instance left its socket behind.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

QString HandOverServer::serverName() const { return server_->fullServerName(); }

void HandOverServer::close() { server_->close(); }

HandOverServer *instanceServer()
{
    static HandOverServer *server = [] {
        auto *s = new HandOverServer(QCoreApplication::instance());
        if (isFirstInstance() || holdsInstanceLock())
            s->listen();
        return s;
    }();
    return server;
}

}
