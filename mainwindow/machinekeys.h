#pragma once
// The keys of a machine configuration file that the machine selector loads
// into the settings variables when a machine is chosen.
#include <QString>
#include <array>

namespace lumrik {

struct MachineKeys {
    QString fileExtension;           // "FileExtension", default "*.*"
    int commentColor = 0;            // "CommentColor", default the editor text colour
    std::array<QString, 8> codeText; // "CodeText1".."CodeText8", default empty
    std::array<int, 8> codeColor{};  // "CodeColor1".."CodeColor8", default the editor text colour
    QString rootFolder;              // "DefaultPath", default the current root folder; expanded
};

// Reads section "Settings" of the machine file `cfgFile` in the selector's
// order. A missing file or key gives the default; a colour that is not a whole
// number gives the default too.
MachineKeys readMachineKeys(const QString &cfgFile, int textColor, const QString &rootFolder);

// Puts the keys into gsFileExtension, gCommentColor, gsCodeText, gCodeColor and gsRootFolder.
void applyMachineKeys(const MachineKeys &keys);

// The selector's choice of a machine: gActiveCfg and gActiveCfgFile, then the
// machine's keys (with the current gTextColor and gsRootFolder as defaults).
void selectMachine(const QString &machine);

}
