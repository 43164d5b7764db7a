#pragma once
// Path, file and folder routines shared by every subsystem. Stored paths may use
// "\" as separator; RkNativePath turns them into paths this system can open.
#include <QRect>
#include <QString>
#include <QStringList>

class QComboBox;
class QWidget;

namespace lumrik {

// "\" becomes "/".
QString RkNativePath(const QString &path);
// The path itself when it exists; otherwise the entry of its folder whose name
// matches without regard to case; otherwise the path unchanged.
QString findFileNoCase(const QString &path);
QString findFileNoCase(const QString &folder, const QString &name);

// Case-insensitive wildcard match of a file name ("*", "?"); "*.*" also matches
// names without a dot. Several patterns may be given separated by ";".
bool RkMatchWildcard(const QString &name, const QString &pattern);
// One pattern, no ";" list.
bool RkMatchPattern(const QString &name, const QString &pattern);

// The window in normal state, a tenth of the screen from each edge.
void RkFormFix(QWidget *window);
QRect RkFormFixRect(const QRect &screen);
bool RkFileExists(const QString &path);
// Elements 1..n receive the pieces; element 0 is empty. Returns n.
int RkParseString(QStringList &out, const QString &text, const QString &separator);
void rkCopyFiles(const QString &source, const QString &target, int &count);
QString RkAddBackslash(const QString &path);
QStringList GetFolderFiles(const QString &folder, const QString &extension, bool fullPaths);
bool RkFolderExists(const QString &path);
QString RkFileBaseName(const QString &path);
bool IsValidFileName(const QString &name);
QString GetFileNamePart(const QString &path);
QString GetPathPart(const QString &path);
QString GetFileExtension(const QString &path);
QString TrimAtNull(const QString &text);
QString GetDrivePart(const QString &path);
bool IsDirectory(const QString &path);

// "[exedir]" is the program folder, "[exedrive]" the user's home folder.
// Expanding replaces the tokens (case-sensitive); a text that held a token
// comes back with this computer's separators, any other text unchanged.
// Collapsing puts a token in place of the program folder or the home folder
// and gives the stored form, "\" between folders ("[exedir]\ncprog\"); a
// path outside both comes back unchanged.
QString ExpandExePath(QString &path);
QString ExpandExePath(const QString &path);
// A folder of the settings as a path of this computer: tokens expanded, and a
// relative one taken below the program folder, never below the working
// folder. "" stays "".
QString settingFolder(const QString &stored);
QString CollapseExePath(QString &path);
QString CollapseExePath(const QString &path);
QString exeDrive();

// The current machine's folder of kind "root", "send" or "rec"; "" for another kind.
QString GetDefaultPath(const QString &kind);

void FillComboWithFiles(const QString &folder, const QString &extension, QComboBox *combo);
void SelectComboItem(const QString &text, QComboBox *combo);
QString ZeroPadLeft(const QString &text, int length);

// The machine configuration file of a machine name (found without regard to case).
QString machineFile(const QString &machine);

}
