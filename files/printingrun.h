#pragma once
// A print job's pages going out to the printer: one page a round of the
// window's event loop, so that the windows stay alive while a long job
// prints and nothing opens an event loop of its own. One job at a time: the
// shared printer belongs to it until it ends.
#include <QPointer>
#include <QWidget>

class QPrinter;

namespace lumrik {

struct PrintLayout;

// Jobs of this many pages or more show the progress dialog with "Avbryt".
inline constexpr int kProgressFromPages = 4;

// Starts printing `layout` on `printer` and returns: at once when the job
// could not start, else with its first page still to come. The pages go out
// from the event loop; while they do, long work is under way (a close of the
// program, a drop, waits for the end of the job). At the end the progress
// dialog goes, the keyboard goes back to `keyboard`, and an abort is told in
// an information box and a failure in the error box, both owned by `owner`.
void startPrintRun(QPrinter &printer, PrintLayout layout, QWidget *owner, QPointer<QWidget> keyboard);

// True from the start of a job to its end.
bool printRunUnderWay();

// Stops a job under way at once, without a word: the program ends, and the
// printer with it.
void abandonPrintRun();

}
