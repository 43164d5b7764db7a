#pragma once
// Process, shell, dialog and help services over the desktop platform.
#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class QMainWindow;

namespace lumrik {

class OpenedFolder;

// Other programs are started with their arguments as a list: each argument
// reaches the program as exactly one argument, its exact bytes (a file name's
// kept bytes given back), never joined into a command line and split again.
// `program` is a path (a bare name is looked up in PATH); `folder` is the
// working folder of the program ("": this process's). An argument holding a
// NUL character cannot be passed: the program is not started.
//
// Starts the program and waits for its end: 0 when it ran, 1 when it could
// not start. `exitCode` (when given) gets its exit code, or -1 when it did
// not end normally.
int ExecCmd(const QString &program, const QStringList &arguments, const QString &folder = {},
            int *exitCode = nullptr);
// The same without the trace: false when it could not be started or did not
// end normally.
bool RkRunAndWait(const QString &program, const QStringList &arguments, const QString &folder, int &exitCode);
// Starts a program in a session of its own without waiting; false when it could not start.
bool RkStartProgram(const QString &program, const QStringList &arguments = {}, const QString &folder = {});
// Opens a file or address with the desktop's program for it.
bool RkShellOpen(const QString &pathOrUrl);
// The editor's own program file, for the checks it runs in a process of its
// own (this process's program unless set otherwise).
QString RkProgramFile();
void setRkProgramFile(const QString &path);

// What the test build changes: the installed program never sets these, and
// no environment variable reaches them.
struct TestHooks {
    bool plainFileDialogs = false; // Qt's own file dialogs instead of the desktop's
    int splashWaitMs = -1;         // the splash wait in ms (0: none); -1 the normal wait
    // Called with the library's path as the check of a plug-in library starts.
    std::function<void(const QString &library)> pluginCheckStarts;
};
TestHooks &testHooks();

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
// The same for the entry `name` of a folder opened before the user was asked.
int ShellDeleteFileIn(const OpenedFolder &folder, const QString &name, int flags = 0x40);
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

// Lines per wheel step; false and 0 without a wheel setting.
void GetWheelScrollLines(bool &present, int &lines);

}
