// File > Print, the toolbar's "Print" key and File > Printer settings.
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/progress.h"
#include "core/settings.h"
#include "documents/frmdocument.h"
#include "files/printingjobs.h"
#include "mainwindow/commands_print.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindowfixture.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// A program of some twenty printed pages.
QByteArray longProgram()
{
    QByteArray text;
    for (int i = 1; i <= 3000; ++i)
        text += "N" + QByteArray::number(i * 10) + " G1 X" + QByteArray::number(i) + " (CUT)\r\n";
    return text;
}

// The number of pages of a PDF file.
int pdfPages(const QString &path)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(test::readFile(path)).count(page));
}

class PrintCommandsTest : public test::MainWindowFixture {
protected:
    QTemporaryDir out;
    QStringList printed;

    PrintCommandsTest() { errorsAllowed = true; }
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        setPrinterDialogHook([this](QPrinter &printer, QWidget *) {
            printed << out.filePath(QStringLiteral("p%1.pdf").arg(printed.size() + 1));
            printer.setOutputFileName(printed.back());
            return true;
        });
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        setPrinterDialogHook({});
        RkLoadIniSettings();
    }
};

}

TEST_F(PrintCommandsTest, PrintFollowsTheActiveDocument)
{
    frmMain w;
    installPrintCommands(&w);
    EXPECT_FALSE(enabled(w, "mnuFilePrint"));
    EXPECT_TRUE(enabled(w, "mnuFilePrintSetup"));
    EXPECT_FALSE(w.menuAction("mnuFilePrintPreview")->isVisible());
    // Reached without a document all the same (the toolbar's dispatch by
    // key): nothing is printed, and no error report offers to end the program.
    w.tbToolBar_ButtonClick("Print");
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(boxes.calls().empty());

    const QString path = env.write("ncprog/P1.NC", "N10 G0 X1 (START)\r\nN20 M30\r\n");
    ASSERT_NE(w.openDocument(path, "MILL"), nullptr);
    EXPECT_TRUE(enabled(w, "mnuFilePrint"));
    EXPECT_TRUE(w.toolButton("tbrFile", "Print")->isEnabled());

    w.menuAction("mnuFilePrint")->trigger();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 1);
    EXPECT_TRUE(QFile::exists(printed[0]));
    w.tbToolBar_ButtonClick("Print");
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 2);
    EXPECT_TRUE(QFile::exists(printed[1]));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(PrintCommandsTest, MarginsOutOfRangeAreReported)
{
    frmMain w;
    installPrintCommands(&w);
    ASSERT_NE(w.openDocument(env.write("ncprog/P1.NC", "N10\r\n"), "MILL"), nullptr);
    // Beyond a 16-bit number: a plain message names the margin.
    test::SessionScope::print([](PrintValues &p) { p.leftMargin = 40000; });
    w.runCommand("mnuFilePrint");
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(boxes.saw("40000"));
    EXPECT_TRUE(printed.isEmpty());
    // A number but too large for the page: the print's error box.
    boxes.clear();
    test::SessionScope::print([](PrintValues &p) { p.leftMargin = 600; });
    w.runCommand("mnuFilePrint");
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_TRUE(printed.isEmpty());
}

TEST_F(PrintCommandsTest, PrinterSettingsOpensTheDialogModally)
{
    frmMain w;
    installPrintCommands(&w);
    QString shown;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmPrintSetup" && top->isVisible()) {
                shown = top->windowTitle();
                EXPECT_TRUE(static_cast<QDialog *>(top)->isModal());
                EXPECT_EQ(top->parentWidget(), &w);
                top->findChild<QPushButton *>("cmdSave")->click();
            }
    });
    w.menuAction("mnuFilePrintSetup")->trigger();
    EXPECT_EQ(shown, QString::fromUtf8("Skrivare inställningar"));
    // "Spara" wrote the section.
    EXPECT_EQ(GetIniSetting("Printing", "LeftMargin"), "40");
    EXPECT_TRUE(errors.empty());
}

// A close of the program while a long print goes out comes once the last
// page is out: the printer is not taken away under the job.
TEST_F(PrintCommandsTest, AProgramCloseDuringAPrintComesAfterTheLastPage)
{
    const QString path = env.write("ncprog/LONG.NC", longProgram());
    auto *w = new frmMain;
    QPointer<frmMain> alive(w);
    w->setAttribute(Qt::WA_DeleteOnClose);
    installPrintCommands(w);
    w->show();
    ASSERT_NE(w->openDocument(path, "MILL"), nullptr);
    w->menuAction("mnuFilePrint")->trigger();
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 1);
    const int pages = pdfPages(printed[0]);
    ASSERT_GE(pages, 20);

    w->menuAction("mnuFilePrint")->trigger();
    ASSERT_EQ(printed.size(), 2);
    EXPECT_FALSE(w->close()); // not under the job
    EXPECT_TRUE(w->isVisible());
    ASSERT_TRUE(test::untilLongWorkIsOver());
    for (int i = 0; i < 20 && alive; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(alive);
    EXPECT_EQ(pdfPages(printed[1]), pages);
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(PrintCommandsTest, APrintOfAProgramUnderLongWorkPrintsTheFinishedText)
{
    const QString path = env.write("ncprog/LONG.NC", longProgram());
    frmMain w;
    installPrintCommands(&w);
    frmDocument *doc = w.openDocument(path, "MILL");
    ASSERT_NE(doc, nullptr);
    {
        // Long work rewrites the program: the print waits for its end.
        LongWork work;
        doc->setBusy(true);
        w.menuAction("mnuFilePrint")->trigger();
        QCoreApplication::processEvents();
        EXPECT_TRUE(printed.isEmpty());
        doc->txtText->setTextAll("N10 G0 X1\r\nN20 M30\r\n");
        doc->setBusy(false);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !printed.isEmpty(); }, 60000));
    ASSERT_TRUE(test::untilLongWorkIsOver());
    ASSERT_EQ(printed.size(), 1);
    EXPECT_EQ(pdfPages(printed[0]), 1);
    EXPECT_TRUE(errors.empty());
}
