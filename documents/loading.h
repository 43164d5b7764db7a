#pragma once
// Loading NC program files into document windows: line-end detection, the
// extension modes of section "Extensions" (text, read-only text, hex views)
// and automatic syntax colouring on open.
//
// frmDocument's members FileOpen, ForceFileStamp, FixCh and Asc2hex are
// defined in loading.cpp. FileOpen throws RkError when the file cannot be
// read or its "Extensions" value is not a whole number from 0 to 255; the
// window is then as it was (text, caption, flags), with bLoading False and
// screen updating on. Callers run it inside their RkGuard. A hex view is
// rendered off the window (renderHexView): FileOpen returns with the window
// busy, and the dump, the flags and the file's stamp come in from the event
// loop once the rendering is over; what waits for the end of long work
// (LongWork::whenDone) comes after them.
#include <QString>

namespace lumrik {

// Sets the active program's line ends (core/activeprogram.h) from the file's
// first 1024 bytes (1 when CR LF occurs, else 2). Path tokens are expanded. A
// file that cannot be opened is reported and the line ends stay as they are. Returns true when the file was classified.
bool RkSetFileFormat(const QString &path);

// Why a file cannot be opened as a program, in Swedish ("" when it can): it
// is missing, a folder, not a regular file, or cannot be read.
QString RkOpenProblem(const QString &path);
// The message for such a file: its full name and the reason.
QString openProblemText(const QString &path, const QString &problem);

// The "Extensions" mode of a file: the value of its extension (the text after
// the last "."; no extension means 0) in the main settings file; 0 when the
// key is missing. Throws RkError for a value that is not a whole number from
// 0 to 255.
int extensionMode(const QString &path);

// True while the main window's View menu item "mnuViewAutoColorNC" is checked
// (a checkable action of that name in the main window, or in any top-level
// window when no main window is registered).
bool autoColorOnOpen();

// Lines coloured when a file is opened, and the time budget for them.
inline constexpr int kAutoColorLines = 1000;
inline constexpr int kAutoColorBudgetMs = 3000;

}
