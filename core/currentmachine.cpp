#include "core/currentmachine.h"

namespace lumrik {

void CurrentMachine::setKeys(const MachineKeys &k)
{
    if (k == keys_)
        return;
    keys_ = k;
    Q_EMIT keysChanged();
}

void CurrentMachine::changeKeys(const std::function<void(MachineKeys &)> &edit)
{
    MachineKeys k = keys_;
    edit(k);
    setKeys(k);
}

void CurrentMachine::use(const QString &name, const QString &file)
{
    if (name == name_ && file == file_)
        return;
    name_ = name;
    file_ = file;
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
