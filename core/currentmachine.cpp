#include "core/currentmachine.h"

#include "core/globals.h"

namespace lumrik {

QString CurrentMachine::name() const { return gActiveCfg; }
QString CurrentMachine::file() const { return gActiveCfgFile; }

MachineKeys CurrentMachine::keys() const
{
    MachineKeys k;
    k.fileExtension = gsFileExtension;
    k.commentColor = gCommentColor;
    k.codeText = gsCodeText;
    k.codeColor = gCodeColor;
    k.rootFolder = gsRootFolder;
    return k;
}

void CurrentMachine::setKeys(const MachineKeys &k)
{
    if (k == keys())
        return;
    gsFileExtension = k.fileExtension;
    gCommentColor = k.commentColor;
    gsCodeText = k.codeText;
    gCodeColor = k.codeColor;
    gsRootFolder = k.rootFolder;
    Q_EMIT keysChanged();
}

void CurrentMachine::changeKeys(const std::function<void(MachineKeys &)> &edit)
{
    MachineKeys k = keys();
    edit(k);
    setKeys(k);
}

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
