#pragma once
// The program-wide working state shared by the windows and commands. The
// settings of the main settings file, the active program, the last search,
// the feature switches, the macro menu's template folders and the status and
// caption words are the session's (core/sessionstate.h).
#include <QString>
#include <QStringList>

namespace lumrik {

// Start-up and shared state
inline QString gsDataPath;       // program folder (settings, machine and language files)
inline QString gsTmpPath;        // private temporary folder, no trailing separator
inline QString gsExeName = QStringLiteral("lumrik32"); // the executable's name; the settings file is this & ".INI"
inline bool gbNotSwedish = false;
inline QString gsLanguageFile;
inline bool gRkAbort = false;
inline bool gFirstStart = false;

// Names of the hand-off files in the temporary folder, spelled once.
inline const QString kTxdTmp = QStringLiteral("Txd.Tmp");
inline const QString kRxdTmp = QStringLiteral("Rxd.Tmp");
inline const QString kHeaderTmp = QStringLiteral("Header.Tmp");
inline const QString kHelixTmp = QStringLiteral("helix.tmp");

// Full path of a hand-off file. A hand-off folder that has gone meanwhile is
// made again first, as safely as at start (core/session.h).
QString tmpFile(const QString &name);

}
