// The renumbering command and its dialog: options, per-machine storage, a
// failed write, selection, cancel, abort and undo.
#include "core/globals.h"
#include "core/inifile.h"
#include "ncops/frmomnum.h"
#include "ncops/omnum.h"
#include "ncops_testutil.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {

// A fresh program folder with the current machine set, and a fresh dialog.
struct MachineEnv {
    TempEnv env;
    test::MachineScope restoreMachine;
    MachineEnv() { frmOmnum::unload(); }
    ~MachineEnv()
    {
        frmOmnum::unload();
    }
    QString select(const QString &machine, const QByteArray &content = "[Settings]\r\nPort=1\r\n")
    {
        const QString path = env.path(machine + ".cfg");
        if (!QFileInfo::exists(path))
            env.write(machine + ".cfg", content);
        currentMachine().use(machine, path);
        return path;
    }
};

// Answers the renumbering dialog: `set` fills it in, then Start (or Cancel).
struct OmnumAnswer {
    std::function<void(frmOmnum *)> set;
    bool start = true;
    bool sawRangeEnabled = true;
    QString caption;
    WindowDriver driver{[this](QWidget *w) {
        auto *dlg = qobject_cast<frmOmnum *>(w);
        if (!dlg)
            return false;
        caption = dlg->windowTitle();
        sawRangeEnabled = dlg->txtOmNumFrom->isEnabled() && dlg->txtOmNumTom->isEnabled();
        if (set)
            set(dlg);
        (start ? dlg->btnStartOmnum : dlg->btnOmnumCancel)->click();
        return true;
    }};
    explicit OmnumAnswer(std::function<void(frmOmnum *)> s = {}, bool st = true) : set(std::move(s)), start(st) {}
};

}

TEST(OmnumCommand, DefaultsRenumberAsOneUndoStep)
{
    MachineEnv m;
    m.select("MILL");
    MsgBoxRecorder boxes;
    TestDoc d("  N5 G1\r\nN7 X1\r\nN9 M30");
    d.doc.setWindowTitle("/tmp/prog.nc");
    OmnumAnswer answer;
    RkOmnum(&d.doc);
    EXPECT_EQ(answer.caption, QStringLiteral("Omnumrering - /TMP/PROG.NC"));
    EXPECT_EQ(d.text(), "N10 G1\r\nN20 X1\r\nN30 M30");
    EXPECT_TRUE(d.ed()->IsDirty());
    EXPECT_TRUE(d.ed()->Redraw());
    EXPECT_EQ(d.ed()->TextIndex(), 3);
    EXPECT_EQ(d.ed()->SelText(), d.text()); // the whole program stays selected
    EXPECT_TRUE(boxes.calls().empty());
    d.ed()->setAction(6);
    EXPECT_EQ(d.text(), "  N5 G1\r\nN7 X1\r\nN9 M30");
}

TEST(OmnumCommand, CancelLeavesTheDocumentUntouched)
{
    MachineEnv m;
    m.select("MILL");
    TestDoc d("  N5 G1\r\nN7 X1");
    {
        OmnumAnswer answer({}, false);
        RkOmnum(&d.doc);
    }
    EXPECT_EQ(d.text(), "  N5 G1\r\nN7 X1");
    EXPECT_FALSE(d.ed()->IsDirty());
    // Closing the dialog (Esc or its close box) cancels too.
    WindowDriver close([](QWidget *w) {
        if (!qobject_cast<frmOmnum *>(w))
            return false;
        w->close();
        return true;
    });
    RkOmnum(&d.doc);
    EXPECT_EQ(d.text(), "  N5 G1\r\nN7 X1");
}

TEST(OmnumCommand, SelectionLimitsTheLinesAndDisablesTheRange)
{
    MachineEnv m;
    m.select("MILL");
    TestDoc d("N1\r\nN2\r\nN3\r\nN4");
    d.ed()->setSelMark(1);
    d.ed()->setSelStartY(2);
    d.ed()->setSelStartX(1);
    d.ed()->setSelEndY(3);
    d.ed()->setSelEndX(3);
    OmnumAnswer answer;
    RkOmnum(&d.doc);
    EXPECT_FALSE(answer.sawRangeEnabled);
    EXPECT_EQ(d.text(), "N1\r\nN10\r\nN20\r\nN4");
}

TEST(OmnumCommand, OptionsAreStoredPerMachine)
{
    MachineEnv m;
    const QString mill = m.select("MILL");
    TestDoc d("5 L X+10 R0 FMAX\r\n3 TOOL CALL 1 Z S2000");
    {
        OmnumAnswer answer([](frmOmnum *dlg) {
            dlg->chkTncType->setChecked(true); // 1, 0, 0
            dlg->ChkLeadingZeros->setChecked(true);
            dlg->txtSkipBlock->setText("m6");
            dlg->txtRestartFrom->setText(" % ");
        });
        RkOmnum(&d.doc);
    }
    EXPECT_EQ(d.text(), "0 L X+10 R0 FMAX\r\n1 TOOL CALL 1 Z S2000");
    EXPECT_EQ(readFile(mill),
              "[Settings]\r\nPort=1\r\n\r\n[OmNum]\r\nIsTNC=1\r\nFirstBlockNr=0\r\nIncr=1\r\nOmNumFrom=0\r\n"
              "OmNumTo=9999\r\nSkipBlock=m6\r\nRestartFromChr=%\r\nLeadingZeros=1\r\n");

    // Another machine with options of its own: the dialog shows those, and
    // Start stores them there, leaving the first machine's alone.
    const QString lathe = m.select("LATHE", "[OmNum]\r\nIncr=5\r\nFirstBlockNr=100\r\nOmNumTo=500\r\n");
    QString incr, first, to;
    bool tnc = true;
    TestDoc d2("N1\r\nN600");
    {
        OmnumAnswer answer([&](frmOmnum *dlg) {
            incr = dlg->txtOmNumIncr->text();
            first = dlg->txtFirstBlockNr->text();
            to = dlg->txtOmNumTom->text();
            tnc = dlg->chkTncType->isChecked();
        });
        RkOmnum(&d2.doc);
    }
    EXPECT_EQ(incr, "5");
    EXPECT_EQ(first, "100");
    EXPECT_EQ(to, "500");
    EXPECT_FALSE(tnc);
    EXPECT_EQ(d2.text(), "N100\r\nN600");
    EXPECT_EQ(GetIniSetting("OmNum", "Incr", "", lathe), "5");
    EXPECT_EQ(GetIniSetting("OmNum", "IsTNC", "", lathe), "0");
    EXPECT_EQ(GetIniSetting("OmNum", "IsTNC", "", mill), "1");

    // Back to the first machine: its options again, read by a dialog loaded anew.
    m.select("MILL");
    frmOmnum::unload();
    QString millIncr;
    bool millTnc = false;
    {
        OmnumAnswer answer([&](frmOmnum *dlg) {
            millIncr = dlg->txtOmNumIncr->text();
            millTnc = dlg->chkTncType->isChecked() && dlg->ChkLeadingZeros->isChecked();
        }, false);
        RkOmnum(&d2.doc);
    }
    EXPECT_EQ(millIncr, "1");
    EXPECT_TRUE(millTnc);
}

TEST(OmnumCommand, FailedWriteOfTheOptionsIsToldAndTheRunGoesOn)
{
    MachineEnv m;
    currentMachine().use("GONE", m.env.path("no/such/folder/GONE.cfg"));
    MsgBoxRecorder boxes;
    TestDoc d("N5 G1");
    for (int run = 0; run < 2; ++run) {
        boxes.clear();
        OmnumAnswer answer;
        RkOmnum(&d.doc);
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_TRUE(boxes.calls()[0].text.startsWith(QStringLiteral("Fel vid skrivning till INI-fil...")));
        EXPECT_TRUE(boxes.calls()[0].text.contains(QStringLiteral("GONE.cfg: Filen eller mappen finns inte")));
        EXPECT_EQ(d.text(), "N10 G1");
    }
}

TEST(OmnumCommand, AddRemoveAndTheCheckBoxes)
{
    MachineEnv m;
    m.select("MILL");
    TestDoc d("G1 X5\r\nO1000\r\nG1 N7 X5");
    {
        OmnumAnswer answer([](frmOmnum *dlg) {
            dlg->chkRemoveBlockNr->setChecked(true);
            dlg->chkAddBlockNr->setChecked(true); // unchecks remove
            EXPECT_FALSE(dlg->chkRemoveBlockNr->isChecked());
        });
        RkOmnum(&d.doc);
    }
    EXPECT_EQ(d.text(), "N10 G1 X5\r\nO1000\r\nG1 N7 X5");
    bool addStartsUnchecked = false;
    {
        OmnumAnswer answer([&](frmOmnum *dlg) {
            addStartsUnchecked = !dlg->chkAddBlockNr->isChecked();
            dlg->chkRemoveBlockNr->setChecked(true);
        });
        RkOmnum(&d.doc);
    }
    EXPECT_TRUE(addStartsUnchecked);
    EXPECT_EQ(d.text(), "G1 X5\r\nO1000\r\nG1    X5");
}

TEST(OmnumCommand, AbortKeepsLinesDoneAndTheNextRunGoesThrough)
{
    MachineEnv m;
    m.select("MILL");
    const int n = 5000;
    const QByteArray original = numberedProgram(n);
    TestDoc d(original);
    {
        OmnumAnswer answer([](frmOmnum *dlg) { dlg->txtOmNumTom->setText("999999"); });
        AbortAfter abort(1000);
        RkOmnum(&d.doc);
    }
    const QList<QByteArray> lines = d.text().split('\n');
    ASSERT_EQ(lines.size(), n);
    EXPECT_EQ(lines[0], "N10 G1 X1\r");
    EXPECT_EQ(lines[999], "N10000 G1 X1000\r"); // the lines done
    EXPECT_EQ(lines[n - 1], "N5000 G1 X5000"); // not reached

    OmnumAnswer answer;
    RkOmnum(&d.doc);
    EXPECT_TRUE(d.text().endsWith("N50000 G1 X5000"));
}

TEST(OmnumCommand, ReadOnlyAndHexViewsAreRefused)
{
    MachineEnv m;
    MsgBoxRecorder boxes;
    TestDoc d("N5 G1");
    d.doc.bReadOnly = true;
    RkOmnum(&d.doc); // no dialog shows: the test would hang otherwise
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Denna funktion är inte tillåten på denna filtyp."));
    EXPECT_EQ(d.text(), "N5 G1");
}

TEST(OmnumDialog, BoxNumbersReadLikeADecimalReader)
{
    EXPECT_EQ(frmOmnum::boxNumber("12abc"), 12);
    EXPECT_EQ(frmOmnum::boxNumber("abc"), 0);
    EXPECT_EQ(frmOmnum::boxNumber(" 10.5"), 10);
    EXPECT_EQ(frmOmnum::boxNumber("-3"), -3);
    EXPECT_EQ(frmOmnum::boxNumber("99999999999"), 2147483647);
}

TEST(OmnumDialog, ControlsCarryTheirNamesAndTexts)
{
    MachineEnv m;
    frmOmnum *dlg = frmOmnum::instance();
    for (const char *name : {"txtOmNumFrom", "txtOmNumTom", "txtOmNumIncr", "txtFirstBlockNr",
                             "txtRestartFrom", "txtSkipBlock", "chkRemoveBlockNr", "chkAddBlockNr",
                             "ChkLeadingZeros", "chkTncType", "btnStartOmnum", "btnOmnumCancel",
                             "Label1", "Label6"})
        EXPECT_NE(dlg->findChild<QWidget *>(name), nullptr) << name;
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Omnumrera"));
    EXPECT_EQ(dlg->Label5->text(), QStringLiteral("Omnumrera EJ block som innehåller"));
    EXPECT_EQ(dlg->txtOmNumTom->text(), "9999");
    EXPECT_EQ(dlg->txtRestartFrom->text(), "%");
    dlg->chkTncType->setChecked(true);
    EXPECT_EQ(dlg->txtOmNumFrom->text(), "0");
    dlg->chkTncType->setChecked(false);
    EXPECT_EQ(dlg->txtOmNumFrom->text(), "1");
    EXPECT_EQ(dlg->txtOmNumIncr->text(), "10");
}

TEST(OmnumDialog, TakesItsTextsFromTheLanguageFile)
{
    MachineEnv m;
    const QString file = m.env.write("Lumrik32.LNG", "[LANGUAGE]\r\n520=Renumber\r\n521=From\r\n531=&Go\r\n");
    const QString keepFile = gsLanguageFile;
    const bool keepNotSwedish = gbNotSwedish;
    gsLanguageFile = file;
    gbNotSwedish = true;
    m.select("MILL");
    TestDoc d("N5");
    d.doc.setWindowTitle("/tmp/a.nc");
    QString label, button;
    {
        OmnumAnswer answer([&](frmOmnum *dlg) {
            label = dlg->Label1->text();
            button = dlg->btnStartOmnum->text();
        }, false);
        RkOmnum(&d.doc);
        EXPECT_EQ(answer.caption, QStringLiteral("Renumber - /TMP/A.NC"));
    }
    gsLanguageFile = keepFile;
    gbNotSwedish = keepNotSwedish;
    EXPECT_EQ(label, QStringLiteral("From"));
    EXPECT_EQ(button, QStringLiteral("&Go"));
}

TEST(OmnumCommand, LongLinesAndAnEmptyProgram)
{
    MachineEnv m;
    m.select("MILL");
    const QByteArray tail(40000, 'X');
    TestDoc d("N5 " + tail + "\r\nN6 (" + tail + ")");
    {
        OmnumAnswer answer;
        RkOmnum(&d.doc);
    }
    EXPECT_EQ(d.text(), "N10 " + tail + "\r\nN20 (" + tail + ")");

    TestDoc empty("");
    OmnumAnswer answer([](frmOmnum *dlg) { dlg->chkAddBlockNr->setChecked(true); });
    RkOmnum(&empty.doc);
    EXPECT_EQ(empty.text(), "");
}
