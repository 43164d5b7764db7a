#pragma once
// The commands that leave the editor: the compare program, the file-database
// program, the calculation program, the updater, the manual, the maker's web
// pages and the about window. Programs are found in their folders by name
// without regard to case; a program that is missing, cannot be started, or
// that others than this user and root can change (it or a folder above it)
// is reported, with the reason, and nothing else happens.
#include <QString>
#include <QStringList>

namespace lumrik {

class frmMain;

// The maker's web pages.
extern const QString kHomePageUrl;
extern const QString kHowToPageUrl;

// The program `name` in `folder` (found without regard to case), or "" when
// there is no such file. A relative folder lies below the program folder.
QString findProgram(const QString &folder, const QString &name);
// The same, when the rule for code (core/trustedcode.h) lets it run; a
// program others can change gives "" and, in `refusal`, the message's lines
// that say why (`refusal` is "" for a missing program).
QString startableProgram(const QString &folder, const QString &name, QString &refusal);

// Message of a failed start of the calculation program.
QString kalmeroFailureText(int fel, int errCode);

// The updater's arguments: the check, and the update of this version.
QStringList updaterCheckArguments();
QStringList updaterUpdateArguments();

// Runs a program and waits for its end. Returns false when it could not be
// started or did not end normally; `exitCode` gets its exit code.
bool runAndWait(const QString &program, const QStringList &arguments, const QString &folder, int &exitCode);

// Compare: the current texts of the two oldest documents go to "1.JTmp" and
// "2.JTmp" in the temporary folder and the compare program opens them.
void mnuCompare_Click(frmMain *w);
// The file-database program: its search, and the information of the active program.
void mnuFindDB_Click(frmMain *w);
void mnuInfo_Click(frmMain *w);
// The calculation program: waits for it, then opens its result "Geo.nc".
void StartKalmero(frmMain *w);
void mnuOptionKalmero_Click(frmMain *w);
// Help menu.
void mnuHelpContents_Click(frmMain *w);
void mnuHelpSearch_Click(frmMain *w);
void mnuHelpHowToDo_Click(frmMain *w);
void mnuHelpWeb_Click(frmMain *w);
void mnuHelpUpdates_Click(frmMain *w);
void mnuHelpAbout_Click(frmMain *w);

}
