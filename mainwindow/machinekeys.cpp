#include "mainwindow/machinekeys.h"

#include "core/currentmachine.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "core/sessionstate.h"
#include "core/settings.h"

namespace lumrik {

MachineKeys readMachineKeys(const QString &cfgFile, int textColor, const QString &rootFolder)
{
    MachineKeys k;
    // A file argument this short would name the main settings file.
    if (cfgFile.size() < 2) {
        k.fileExtension = QStringLiteral("*.*");
        k.commentColor = textColor;
        k.codeColor.fill(textColor);
        k.rootFolder = ExpandExePath(rootFolder);
        return k;
    }
    const IniReadRound round; // the file is read once for all its keys
    const QString section = QStringLiteral("Settings");
    const QString colourDefault = QString::number(textColor);
    auto colour = [&](const QString &key) {
        return toInt32(GetIniSetting(section, key, colourDefault, cfgFile)).value_or(textColor);
    };
    k.fileExtension = GetIniSetting(section, QStringLiteral("FileExtension"), QStringLiteral("*.*"), cfgFile);
    k.commentColor = colour(QStringLiteral("CommentColor"));
    for (int i = 0; i < 8; ++i) {
        k.codeText[i] = GetIniSetting(section, QStringLiteral("CodeText%1").arg(i + 1), QString(), cfgFile);
        k.codeColor[i] = colour(QStringLiteral("CodeColor%1").arg(i + 1));
    }
    QString root = GetIniSetting(section, QStringLiteral("DefaultPath"), rootFolder, cfgFile);
    k.rootFolder = ExpandExePath(root);
    return k;
}

void applyMachineKeys(const MachineKeys &keys)
{
    currentMachine().setKeys(keys);
}

void selectMachine(const QString &machine)
{
    currentMachine().use(machine, machineFile(machine));
    applyMachineKeys(readMachineKeys(currentMachine().file(), programSession().settings().values().textColor,
                                     currentMachine().keys().rootFolder));
}

}
