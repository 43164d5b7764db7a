#pragma once
// The program-wide settings of the main settings file: loaded in one place
// (RkLoadIniSettings), changed only through the session's Settings object,
// which signals each change. The print settings (core/printsettings.h) and
// the keys a machine file may override (mainwindow/machinekeys.h) are
// objects of their own.
#include "core/sessionvalues.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace lumrik {

// The values, with the key each is stored under (section "Settings" unless
// named otherwise).
struct SettingValues {
    QString textFont;                                           // "EditFont"
    int textFontSize = 0;                                       // "EditFontSize"
    int textColor = 0, textBackColor = 0;                       // "EditFontColor", "EditBackColor"
    int mainLeft = 0, mainTop = 0, mainWidth = 0, mainHeight = 0; // "MainLeft" .. "MainHeight", twips
    int mainWindowState = 0;                                    // "MainWindowState"
    int fileLeft = 0, fileTop = 0, fileWidth = 0, fileHeight = 0; // "FileLeft" .. "FileHeight", twips
    QString showFileExt, showFileExtText;                       // "ShowFileExt", "ShowFileExtText"
    QString kalmeroPath;                                        // "KalmeroPath", expanded
    bool useKalmero = false;                                    // the calculation program was found
    QString programInfoPath;                                    // "ProgramInfoPath", expanded
    bool showAllFiles = false;                                  // "ShowAllFiles"
    bool numKbdDec = false;                                     // "NumKbdDec"
    bool upperCase = false;                                     // "UpperCase"
    bool noBack = false;                                        // "NoBackground"
    QString defaultTile;                                        // "DefaultTile": "0", "1" or "2"
    bool scanComment = false;                                   // "ScanComment"
    bool numberSort = false;                                    // "NumberSort"
    bool kollegieBlock = false;                                 // "KollegieBlock"
    int scrollbarShow = 0;                                      // "RullningsList": 2 when true, else 4
    int saveAsUnixType = 0;                                     // "SaveAsUnix": 2 when true, else 1
    QString toolListChrs;                                       // "ToolListChrs"
    QString decCheckBlockChars;                                 // "DecCheckChrs"
    bool setupAllowed = false;                                  // "Setup" of "Options"
    QString title;                                              // "Title" of "Options"
    int maxComPorts = 0;                                        // "ComPorts" of "Options"
    bool operator==(const SettingValues &) const = default;
};

// The settings in use, the session's (core/sessionstate.h). Every reader reads
// them here, the plug-ins through the plug-in host's table of names.
class Settings : public SessionValues<SettingValues> {};

// Fills the session's settings from the main settings file. A value that cannot
// be converted takes that key's default; loading goes on with the next key.
void RkLoadIniSettings();

// Conversions of stored text, as the loading uses them. Empty on failure.
std::optional<int> toInt16(const QString &text);
std::optional<int> toInt32(const QString &text);
std::optional<bool> toTruth(const QString &text);

// Window placements are stored in twips. A window shown where it was stored
// and not moved gives back the very twips it was stored with, not its pixels
// turned back into twips, so that a placement never creeps at each save.
int placementPixels(double twips, double twipsPerPixel);
qint64 placementTwips(int pixels, double storedTwips, double twipsPerPixel);

}
