#include "files/printingjobs.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/printableprogram.h"
#include "core/progress.h"
#include "files/printing.h"
#include "files/printingpaint.h"

#include <QCoreApplication>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

namespace lumrik {

namespace {

constexpr long kErrPrinter = 482;

// Jobs of more pages than this show the progress window (with its abort button).
constexpr int kProgressFromPages = 4;

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

// Prints a finished layout; a failure or an abort throws with its reason.
void printLayout(QPrinter &printer, const PrintLayout &layout, QWidget *owner)
{
    const int pages = int(layout.pages.size());
    std::unique_ptr<ProgressRun> progress;
    if (pages >= kProgressFromPages)
        progress = std::make_unique<ProgressRun>(owner, pages);
    bool aborted = false;
    const QString failure = paintOnPrinter(
        printer, layout, [&](int page) { return !progress || progress->step(page); }, &aborted);
    progress.reset();
    if (aborted) {
        RkMsgBox(failure, MbButtons::Ok, MbIcon::Information, QString(), 0, owner);
        return;
    }
    if (!failure.isEmpty())
        throw RkError(kErrPrinter, failure);
}

}

void setPrinterDialogHook(PrinterDialogFn hook) { printerDialogHook() = std::move(hook); }

QPrinter &sharedPrinter()
{
    std::unique_ptr<QPrinter> &p = printerHolder();
    if (!p) {
        p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The printer goes with the application object, before the print system does.
        qAddPostRoutine([] { printerHolder().reset(); });
    }
    return *p;
}

void PrintDocument(PrintableProgram *doc, int left, int top, int right, int bottom)
{
    if (!doc)
        return;
    runJob("PrintDocument()", [&] {
        const DocumentMargins margins{left, top, right, bottom};
        // A margin that cannot be used is told before a printer is chosen.
        for (int mm : {left, top, right, bottom})
            mmToTwips(mm);

        QWidget *owner = doc->printOwner();
        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        const QDateTime printTime = QDateTime::currentDateTime();

        const QStringList lines = doc->printLines();
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        const PrintLayout layout =
            layoutDocument(lines, doc->printCaption(), margins, PrintOptions::fromSettings(), printTime, metrics);
        printLayout(printer, layout, owner);
    });
}

void RkPrintFile(const QString &path, QWidget *owner)
{
    runJob("RkPrintFile()", [&] {
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

        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        GsPrinterHeader = shown;
        GsPrintDate = RkGeneralDate(QDateTime::currentDateTime());
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        const PrintOptions options = PrintOptions::fromSettings();
        const PrintLayout layout = layoutWithPageTotal([&] { return layoutProgramFile(lines, options, metrics); });
        printLayout(printer, layout, owner);
    });
}

void PrintFileList(const std::vector<QStringList> &rows, bool commentShown, const QString &folder, QWidget *owner)
{
    runJob("PrintFileList()", [&] {
        QPrinter &printer = sharedPrinter();
        if (!showPrinterDialog(printer, owner))
            return;
        GsPrinterHeader = folder;
        GsPrintDate = RkGeneralDate(QDateTime::currentDateTime());
        const DeviceMetrics metrics(&printer, printableTwips(printer));
        const PrintOptions options = PrintOptions::fromSettings();
        const PrintLayout layout =
            layoutWithPageTotal([&] { return layoutFileList(rows, commentShown, options, metrics); });
        printLayout(printer, layout, owner);
    });
}

}
