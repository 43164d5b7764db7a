#pragma once
// One editor per user: a second start hands its command line to the running
// instance over a local socket and ends. The running instance listens on the
// same name, brings its main window to the front and opens the file passed.
#include <QObject>
#include <QString>

class QLocalServer;

namespace lumrik {

// The per-user name the running instance listens on.
QString handOverName();

// Second start: when an instance listens on `name`, sends it the command line
// (empty: just come to the front) and returns true. False when none runs.
bool ActivatePrevInstance(const QString &commandLine, const QString &name = handOverName(), int timeoutMs = 2000);

class HandOverServer : public QObject {
    Q_OBJECT
public:
    explicit HandOverServer(QObject *parent = nullptr);
    // Starts listening; a stale socket left by a crashed instance is removed.
    bool listen(const QString &name = handOverName());
    QString serverName() const;

Q_SIGNALS:
    // A second start asked to come to the front; `commandLine` may be empty.
    void handedOver(const QString &commandLine);

private:
    void readClient();
    QLocalServer *server_;
};

}
