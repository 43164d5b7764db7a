#include "mainwindow/commandregistry.h"

#include "core/language.h"
#include "mainwindow/commanddefs.h"
#include "mainwindow/icons.h"
#include "mainwindow/mainlanguage.h"

#include <QAction>
#include <QVariant>

namespace lumrik {

void CommandRegistry::insert(const QString &id, QAction *action)
{
    if (!action || byId_.contains(id))
        return;
    byId_.insert(id, action);
    if (!order_.contains(action))
        order_ << action;
}

QAction *CommandRegistry::action(const QString &id) const { return byId_.value(id); }

QAction *CommandRegistry::create(const CommandEntry &entry, QObject *parent)
{
    const QString id = QString::fromLatin1(entry.id);
    auto *a = new QAction(entry.caption ? QString::fromUtf8(entry.caption) : builtInCaption(entry.id), parent);
    a->setObjectName(id);
    if (entry.hasKey()) {
        a->setShortcut(QKeySequence(entry.key));
        a->setShortcutContext(entry.flags & CommandEntry::WidgetShortcut ? Qt::WidgetShortcut : Qt::WindowShortcut);
    }
    if (entry.icon) {
        // The picture is the button's; the menu shows the caption only.
        a->setIcon(toolbarIcon(QString::fromUtf8(entry.icon)));
        a->setIconVisibleInMenu(false);
    }
    if (entry.flags & (CommandEntry::Checkable | CommandEntry::Checked))
        a->setCheckable(true);
    if (entry.flags & CommandEntry::Checked)
        a->setChecked(true);
    if (entry.flags & CommandEntry::Hidden)
        a->setVisible(false);
    for (const MenuText &m : mainMenuTexts())
        if (qstrcmp(m.name, entry.id) == 0)
            setTag(a, m.id);
    setCommandOf(a, id);
    insert(id, a);
    return a;
}

QString CommandRegistry::commandOf(const QAction *action)
{
    return action ? action->property("command").toString() : QString();
}

void CommandRegistry::setCommandOf(QAction *action, const QString &command)
{
    action->setProperty("command", command);
}

void CommandRegistry::setHandler(const QString &command, std::function<void(int)> handler)
{
    if (handler)
        handlers_.insert(command, std::move(handler));
    else
        handlers_.remove(command);
    updateAllEnabled();
}

void CommandRegistry::run(const QString &command, int index) const
{
    const auto it = handlers_.constFind(command);
    if (it == handlers_.constEnd())
        return;
    const auto handler = *it;
    handler(index);
}

void CommandRegistry::setAllowed(QAction *action, bool allowed)
{
    allowed_[action] = allowed;
    updateEnabled(action);
}

void CommandRegistry::updateEnabled(QAction *action) const
{
    const QString command = commandOf(action);
    if (command.isEmpty())
        return;
    action->setEnabled(allowed_.value(action, true) && has(command));
}

void CommandRegistry::updateAllEnabled() const
{
    for (QAction *a : order_)
        updateEnabled(a);
}

}
