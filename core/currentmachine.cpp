#include "core/currentmachine.h"

#include "core/globals.h"

namespace lumrik {

QString CurrentMachine::name() const { return gActiveCfg; }
QString CurrentMachine::file() const { return gActiveCfgFile; }

void CurrentMachine::use(const QString &name, const QString &file)
{
    if (name == gActiveCfg && file == gActiveCfgFile)
        return;
    gActiveCfg = name;
    gActiveCfgFile = file;
    Q_EMIT changed(name);
}

void CurrentMachine::choose(const QString &name, const QString &file)
{
    use(name, file);
    Q_EMIT chosen(name);
}

void CurrentMachine::setSelectorOwner(QObject *owner)
{
    owner_ = owner;
    shown_.clear();
}

void CurrentMachine::releaseSelector(QObject *owner)
{
    if (owner_ != owner)
        return;
    owner_ = nullptr;
    shown_.clear();
}

}
