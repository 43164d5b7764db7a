#pragma once
// The keys of a machine configuration file that the machine selector loads
// into the settings variables when a machine is chosen.
#include "core/currentmachine.h"

#include <QString>

namespace lumrik {

// Reads section "Settings" of the machine file `cfgFile` in the selector's
// order. A missing file or key gives the default; a colour that is not a whole
// number gives the default too.
MachineKeys readMachineKeys(const QString &cfgFile, int textColor, const QString &rootFolder);

// Puts the keys in use: the current machine's (core/currentmachine.h).
void applyMachineKeys(const MachineKeys &keys);

// The selector's choice of a machine: the current machine's name and file, then the
// machine's keys (with the current gTextColor and root folder as defaults).
void selectMachine(const QString &machine);

}
