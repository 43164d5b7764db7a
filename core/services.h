#pragma once
// Process, shell, dialog and help services over the desktop platform.
#include <QColor>
#include <QString>

class QWidget;
class QMainWindow;

namespace lumrik {

// Starts the command line and waits for its end: 0 when it ran, 1 when it could not start.
int ExecCmd(const QString &commandLine, const QString &folder = {});
// Starts a program without waiting; false when it could not start.
bool RkStartProgram(const QString &commandLine, const QString &folder = {});
// Opens a file or address with the desktop's program for it.
bool RkShellOpen(const QString &pathOrUrl);
// The editor's own program file, for the checks it runs in a process of its
// own (this process's program unless set otherwise).
QString RkProgramFile();
void setRkProgramFile(const QString &path);

// There is no registry here: every value reads as "".
QString RegGetValue(long root, const QString &key, const QString &value);
// The serial ports of this computer, each followed by CR LF, or "".
QString EnumSerialPorts();

QString BrowseForFolder(const QString &prompt, QWidget *owner, const QString &initialFolder);
// `filter` holds pairs of description and pattern separated by "|".
QString ShowSaveFileDialog(QWidget *owner, const QString &title, QString &initialFile,
                           const QString &initialFolder, const QString &defaultExtension,
                           const QString &filter, int filterIndex);
// Moves the file to the desktop's trash: 0 on success. Nothing is deleted when
// there is no trash.
int ShellDeleteFile(QWidget *owner, const QString &path, const QString &progressTitle = {}, int flags = 0x40);
// Renames; never replaces an existing file: 0 on success.
int ShellRenameFile(QWidget *owner, const QString &oldPath, const QString &newPath,
                    const QString &progressTitle = {}, int flags = 0x40);

int SetMenuBarColor(QMainWindow *window, int colour, bool includeSubmenus);
// Colours as stored: 24-bit RGB with red in the low byte; 0x80000000 | n is a system colour.
int TranslateOleColor(int colour);
QColor rkColor(int colour);
int rkColorValue(const QColor &c);

void HelpInit(QWidget *owner);
// Opens "help/<id>.html" of the program folder (or the manual); says so when missing.
void ShowHelpTopic(long contextId);
void HelpQuit();
void RkEmptyProc();

// Lines per wheel step; false and 0 without a wheel setting.
void GetWheelScrollLines(bool &present, int &lines);

}
