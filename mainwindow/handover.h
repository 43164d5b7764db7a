#pragma once
// One editor per user and desktop session: a second start hands its command
// line to the running instance over a local socket and ends. The running
// instance listens on the same name, brings its main window to the front and
// opens the file passed.
//
// Which start is the instance is decided by a lock that the first start takes
// before anything else and holds until it ends (the system lets go of it when
// the process ends, also by a crash), so that of two starts close together
// only one becomes the editor. A start on another display belongs to another
// session and becomes an instance of its own there.
#include "core/session.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace lumrik {

// The lock file and the socket of this user's session (instanceName()).
QString instanceLockPath();
QString handOverName();

// The instance lock of this process, taken at its first use and held until
// the process ends. True when this process is the running instance.
bool isFirstInstance();
// Takes the lock when it has come free (the editor that held it has ended);
// true when this process holds it now.
bool takeInstanceLock();
bool holdsInstanceLock();

// Second start: sends the command line (empty: just come to the front) to the
// instance listening on `name`, trying again while it is starting up; true
// when the instance took it, false when none answered within `timeoutMs`.
// With `stopWhenLockFree`, the tries end as soon as this process can take
// the instance lock (the editor has ended): false then, with the lock held.
bool ActivatePrevInstance(const QString &commandLine, const QString &name = handOverName(), int timeoutMs = 10000,
                          bool stopWhenLockFree = false);

class HandOverServer : public QObject {
    Q_OBJECT
public:
    explicit HandOverServer(QObject *parent = nullptr);
    // Starts listening; a stale socket left by a crashed instance is removed.
    bool listen(const QString &name = handOverName());
    QString serverName() const;
    // Stops listening: later starts find no editor to hand over to.
    void close();

Q_SIGNALS:
    // A second start asked to come to the front; `commandLine` may be empty.
    // Emitted from the event loop after the caller has been answered and its
    // connection closed, never from inside the socket's own handler.
    void handedOver(const QString &commandLine);

private:
    void accept(QLocalSocket *s);
    QLocalServer *server_;
};

// The server of this process (listening when this process is the instance),
// made at its first use.
HandOverServer *instanceServer();

}
