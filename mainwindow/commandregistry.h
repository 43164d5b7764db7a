#pragma once
// The main window's commands: one QAction for each menu item, menu and named
// separator (its objectName is the command's id, e.g. "mnuFileSave"), and for
// each toolbar button that keeps a state of its own. A button that behaves
// exactly like its menu item places the menu item's action and is found under
// "<toolbar>:<key>" as well ("tbrEdit:Paste" is "mnuEditPaste"). The handlers
// run by id; an action whose command has no handler stays disabled. A menu
// item's action is made from its entry in the command table (commanddefs.h).
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QObject;

namespace lumrik {

struct CommandEntry;

class CommandRegistry {
public:
    // An action under `id` (a command's id or "<toolbar>:<key>"); an id
    // already taken keeps its action.
    void insert(const QString &id, QAction *action);
    QAction *action(const QString &id) const;
    // Makes the action of a command from its table entry (objectName and
    // command = its id; caption, language id, key, picture and flags), owned
    // by `parent`, and inserts it under its id.
    QAction *create(const CommandEntry &entry, QObject *parent);
    // Every action once, in the order they came.
    const QList<QAction *> &actions() const { return order_; }

    // The command an action runs (the "command" property; "" for none).
    static QString commandOf(const QAction *action);
    static void setCommandOf(QAction *action, const QString &command);

    // Handlers by command id; an empty handler withdraws the command.
    void setHandler(const QString &command, std::function<void(int)> handler);
    bool has(const QString &command) const { return handlers_.contains(command); }
    // Runs the command (nothing when it has no handler); the handler may
    // replace itself while it runs.
    void run(const QString &command, int index = -1) const;

    // The enabled flag the command state gives an action; the action is
    // enabled when that flag is set and its command has a handler.
    void setAllowed(QAction *action, bool allowed);
    void updateEnabled(QAction *action) const;
    void updateAllEnabled() const;

private:
    QHash<QString, QAction *> byId_;
    QList<QAction *> order_;
    QHash<QString, std::function<void(int)>> handlers_;
    QHash<QAction *, bool> allowed_;
};

}
