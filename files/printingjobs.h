#pragma once
// The print jobs: the active document (File > Print) and the file
// selector's program and list prints. Each job shows the printer dialog,
// lays its pages out with the chosen printer's measures and prints them:
// the pages go out from the event loop after the call has returned
// (printingrun.h), and an abort or a failure on the way is told when the job
// ends. A job asked for while another is printing is refused with a message
// before its printer dialog. Cancel in the printer dialog ends a job
// silently; every failure is told in a message box (critical icon, the
// application's title) and changes nothing: printing never touches a
// document's text or a file.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPrinter;
class QWidget;

namespace lumrik {

class PrintableProgram;

// The printer dialog. Fills in the printer's choice and returns false when
// the user cancelled. Tests (and runs without a display) replace it.
using PrinterDialogFn = std::function<bool(QPrinter &printer, QWidget *owner)>;
void setPrinterDialogHook(PrinterDialogFn hook);

// The one printer of the program run: a choice made in the printer dialog
// stays for the next print.
QPrinter &sharedPrinter();

// Prints the document's text with header and footer; margins in whole
// millimetres. Nothing happens without a document.
void PrintDocument(PrintableProgram *doc, int left, int top, int right, int bottom);

// Prints one NC program straight from disk ("[exedir]" and "[exedrive]" in
// the path are expanded).
void RkPrintFile(const QString &path, QWidget *owner = nullptr);

// Prints a list of files (the file selector's, in its order and columns):
// each row's texts are file name, comment when `commentShown`, changed and
// size; `folder` is the title of every page.
void PrintFileList(const std::vector<QStringList> &rows, bool commentShown, const QString &folder,
                   QWidget *owner = nullptr);

}
