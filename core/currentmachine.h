#pragma once
// The current machine: the machine whose configuration file the program
// reads (the variables gActiveCfg and gActiveCfgFile are its read-only view,
// read by the plug-ins by name) and the machine the main window's selector
// shows. Windows tell it when they pick a machine; nothing reads a machine
// back from a widget.
#include <QObject>
#include <QString>

namespace lumrik {

class CurrentMachine : public QObject {
    Q_OBJECT
public:
    QString name() const;
    QString file() const;

    // From now on the machine's configuration is used; the main window's
    // selector stays as it is (the selector itself, the file selector's own
    // machine list, the set-up and receive windows, which keep the selector
    // they were given in step themselves).
    void use(const QString &name, const QString &file);
    // Used, and the main window's selector is to show it (the send window).
    void choose(const QString &name, const QString &file);

    // The main window whose selector follows (nullptr without one), and the
    // machine that selector shows ("" when it shows none).
    QObject *selectorOwner() const { return owner_; }
    void setSelectorOwner(QObject *owner);
    void releaseSelector(QObject *owner);
    QString shown() const { return shown_; }
    void setShown(const QString &name) { shown_ = name; }

Q_SIGNALS:
    void changed(const QString &name);
    void chosen(const QString &name);

private:
    QObject *owner_ = nullptr;
    QString shown_;
};

// The program's one: the session's (core/sessionstate.h).
CurrentMachine &currentMachine();

}
