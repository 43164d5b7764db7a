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

QAction *CommandRegistry::create(const CommandSpec &spec, QObject *parent)
{
    const QString id = QString::fromLatin1(spec.id);
    auto *a = new QAction(spec.caption ? QString::fromUtf8(spec.caption) : builtInCaption(spec.id), parent);
    a->setObjectName(id);
    if (spec.hasKey()) {
        a->setShortcut(QKeySequence(spec.key));
        a->setShortcutContext(spec.flags & CommandSpec::WidgetShortcut ? Qt::WidgetShortcut : Qt::WindowShortcut);
    }
    if (spec.icon) {
        // The picture is the button's; the menu shows the caption only.
        a->setIcon(toolbarIcon(QString::fromUtf8(spec.icon)));
        a->setIconVisibleInMenu(false);
    }
    if (spec.flags & (CommandSpec::Checkable | CommandSpec::Checked))
        a->setCheckable(true);
    if (spec.flags & CommandSpec::Checked)
        a->setChecked(true);
    if (spec.flags & CommandSpec::Hidden)
        a->setVisible(false);
    for (const MenuText &m : mainMenuTexts())
        if (qstrcmp(m.name, spec.id) == 0)
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
