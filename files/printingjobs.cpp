#include "files/printingjobs.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/printableprogram.h"
#include "files/printing.h"
#include "files/printingpaint.h"
#include "files/printingrun.h"

#include <QApplication>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

namespace lumrik {

namespace {

PrinterDialogFn &printerDialogHook()
{
    static PrinterDialogFn hook;
    return hook;
}

std::unique_ptr<QPrinter> &printerHolder()
{
    static std::unique_ptr<QPrinter> printer;
    return printer;
}

bool showPrinterDialog(QPrinter &printer, QWidget *owner)
{
    if (const PrinterDialogFn &hook = printerDialogHook())
        return hook(printer, owner);
    QPrintDialog dialog(&printer, owner);
    // The engines always print every line once: no selection, no page range.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    return dialog.exec() == QDialog::Accepted;
}

// Runs a job body: a failure ends the job with the error box.
template <class F>
void runJob(const char *name, F &&body)
{
    RkTraceProc(QString::fromLatin1(name));
    try {
        body();
    } catch (const RkError &e) {
        RkErrorBox(e.description());
    } catch (const std::bad_alloc &) {
        RkErrorBox(QStringLiteral("Slut på minne: utskriften kunde inte göras."));
    } catch (const std::exception &e) {
        RkErrorBox(QString::fromUtf8(e.what()));
    }
}

// Where the keyboard is when a job begins: it goes back there at the end.
QPointer<QWidget> keyboardNow()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    return QApplication::focusWidget();
}

// A job while another is printing is refused before it touches the printer.
bool refusedWhilePrinting(QWidget *owner)
{
    if (!printRunUnderWay())
        return false;
    RkMsgBox(QStringLiteral("En utskrift pågår redan. Vänta tills den är klar och försök sedan igen."),
             MbButtons::Ok, MbIcon::Exclamation, QString(), 0, owner);
    return true;
}

}

void setPrinterDialogHook(PrinterDialogFn hook) { printerDialogHook() = std::move(hook); }

QPrinter &sharedPrinter()
{
    std::unique_ptr<QPrinter> &p = printerHolder();
    if (!p) {
        p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The printer goes with the application object, before the print
        // system does; a job still printing is given up first.
        qAddPostRoutine([] {
            abandonPrintRun();
            printerHolder().reset();
        });
    }
    return *p;
}

void PrintDocument(PrintableProgram *doc, int left, int top, int right, int bottom)
{
    if (!doc)
        return;
    runJob("PrintDocument()", [&] {
        const QPointer<QWidget> keyboard = keyboardNow();
        const DocumentMargins margins{left, top, right, bottom};
        // A margin that cannot be used is told before a printer is chosen.
        for (int mm : {left, top, right, bottom})
            mmToTwips(mm);

        QWidget *owner = doc->printOwner();
        if (refusedWhilePrinting(owner))
            return;
        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        const QDateTime printTime = QDateTime::currentDateTime();

        const QStringList lines = doc->printLines();
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        PrintLayout layout =
            layoutDocument(lines, doc->printCaption(), margins, PrintOptions::fromSettings(), printTime, metrics);
        startPrintRun(printer, std::move(layout), owner, keyboard);
    });
}

void RkPrintFile(const QString &path, QWidget *owner)
{
    runJob("RkPrintFile()", [&] {
        const QPointer<QWidget> keyboard = keyboardNow();
        const QString native = findFileNoCase(RkNativePath(ExpandExePath(path)));
        const QString shown = RkShownName(path);
        QFile file;
        if (!RkOpenFile(file, native, QIODevice::ReadOnly))
            throw RkExpected(kErrFileNotFound,
                          QStringLiteral("Filen \"%1\" kan inte öppnas för utskrift:\n%2").arg(shown, RkFileErrorText(file)));
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw RkExpected(kErrIo, QStringLiteral("Filen \"%1\" kan inte läsas:\n%2").arg(shown, RkFileErrorText(file)));
        file.close();
        const QStringList lines = programFileLines(bytes);

        if (refusedWhilePrinting(owner))
            return;
        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        GsPrinterHeader = shown;
        GsPrintDate = RkGeneralDate(QDateTime::currentDateTime());
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        const PrintOptions options = PrintOptions::fromSettings();
        PrintLayout layout = layoutWithPageTotal([&] { return layoutProgramFile(lines, options, metrics); });
        startPrintRun(printer, std::move(layout), owner, keyboard);
    });
}

void PrintFileList(const std::vector<QStringList> &rows, bool commentShown, const QString &folder, QWidget *owner)
{
    runJob("PrintFileList()", [&] {
        const QPointer<QWidget> keyboard = keyboardNow();
        if (refusedWhilePrinting(owner))
            return;
        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        GsPrinterHeader = folder;
        GsPrintDate = RkGeneralDate(QDateTime::currentDateTime());
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        const PrintOptions options = PrintOptions::fromSettings();
        PrintLayout layout =
            layoutWithPageTotal([&] { return layoutFileList(rows, commentShown, options, metrics); });
        startPrintRun(printer, std::move(layout), owner, keyboard);
    });
}

}
