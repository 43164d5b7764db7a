#include "mainwindow/handover.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace lumrik {

QString handOverName() { return QStringLiteral("lumrik32-%1").arg(getuid()); }

bool ActivatePrevInstance(const QString &commandLine, const QString &name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // The command line goes as UTF-16 text with its length in bytes in front.
    QByteArray payload(reinterpret_cast<const char *>(commandLine.utf16()), commandLine.size() * 2);
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << quint32(payload.size());
    frame += payload;
    socket.write(frame);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait until the running instance has taken it (it answers one byte).
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

HandOverServer::HandOverServer(QObject *parent) : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                Q_UNUSED(this);
                if (s->bytesAvailable() < 4)
                    return;
                QByteArray head = s->peek(4);
                QDataStream in(head);
                quint32 size = 0;
                in >> size;
                if (size > (1u << 20)) { // no path is that long: drop the caller
                    s->abort();
                    return;
                }
                if (s->bytesAvailable() < qint64(4 + size))
                    return;
                s->read(4);
                const QByteArray payload = s->read(size);
                const QString line = QString::fromUtf16(reinterpret_cast<const char16_t *>(payload.constData()),
                                                        payload.size() / 2);
                s->write("k");
                s->flush();
                Q_EMIT handedOver(line);
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
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

QString HandOverServer::serverName() const { return server_->serverName(); }

}
