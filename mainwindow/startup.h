#pragma once
#include "core/session.h"

#include <QString>
#include <QStringList>

namespace lumrik {

class frmMain;

// The program's folders: LUMRIK_DATA when set; else the executable's folder
// when a settings file lies there (portable install); else the per-user data folder.
QString resolveDataPath(const QString &exeDir);
// A new data folder gets a sample machine, a sample program and the syntax file.
void installSampleData(const QString &dataPath);
// The command line as one file path: every double quote removed, a "file://"
// address taken as its file, and made absolute against the folder the program
// was started in (`workingFolder`, the current folder when empty).
QString commandLinePath(const QStringList &arguments, const QString &workingFolder = {});

// Start-up after the application object exists: returns the shown main window,
// or nullptr when this start handed over to a running instance (or failed).
frmMain *Main(const QStringList &arguments);

// The whole program, as main() runs it: the check of one plug-in library when
// asked for, else the editor. `prepare` (may be nullptr) runs once the
// application object exists, before start-up: the test build sets its hooks
// there.
int programMain(int argc, char **argv, void (*prepare)() = nullptr);
// The first thing programMain does: SIGXFSZ ignored, so that a write past a
// file-size limit fails as a full disk would rather than ending the editor.
void ignoreFileSizeSignal();

// Seams: the splash window and the hand-over to a running instance.
// A second start whose hand-over nobody took: true when the editor has
// ended meanwhile and this start has become the editor; otherwise the user is
// told that the running editor does not answer, and false.
bool becomeEditorWhenNoneAnswers(const QString &cmd);
// The exit code of a start that ends without a window of its own.
int startupExitCode();

struct StartupHooks {
    bool (*handOver)(const QString &commandLine) = nullptr; // instead of ActivatePrevInstance
    void (*showSplash)() = nullptr;
};
StartupHooks &startupHooks();

}
