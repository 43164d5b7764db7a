// The NC commands through the main window on programs whose meaning a careless
// rule would change: references to block numbers, names that hold address
// letters, comments, the block-delete slash and conversational programs.
#include "../ncops/ncops_testutil.h"
#include "core/globals.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "mainwindow/frmmain.h"
#include "mainwindowfixture.h"
#include "ncops/frmomnum.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class NcAddressWordsTest : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        frmOmnum::unload();
    }
    void TearDown() override
    {
        frmOmnum::unload();
        MainWindowFixture::TearDown();
    }
    frmDocument *open(frmMain &w, const QByteArray &text)
    {
        return w.openDocument(env.write("ncprog/P1.NC", text), "MILL");
    }
    // Renumbers through the NC menu; `set` fills in the dialog before Start.
    // True when the dialog was shown.
    static bool renumber(frmMain &w, std::function<void(frmOmnum *)> set = {})
    {
        bool shown = false;
        test::WindowDriver driver([&](QWidget *top) {
            auto *dlg = qobject_cast<frmOmnum *>(top);
            if (!dlg)
                return false;
            shown = true;
            if (set)
                set(dlg);
            dlg->btnStartOmnum->click();
            return true;
        });
        w.menuAction("mnuNcOptionsOmnum")->trigger();
        return shown;
    }
};

const QByteArray kLathe = "%\r\nO1000\r\nN10 G0 X50 Z2\r\nN20 G71 U1 R0.5\r\nN25 G71 P30 Q40 U1 W0.1 D2000\r\n"
                          "N30 G1 X10\r\nN40 G1 Z-5\r\nN50 G70 P30 Q40\r\nN60 M30\r\n%\r\n";

}

TEST_F(NcAddressWordsTest, RenumberingAProgramThatRefersToItsBlockNumbersAsksFirst)
{
    frmMain w;
    frmDocument *doc = open(w, kLathe);
    ASSERT_NE(doc, nullptr);
    // "Nej" is the default: nothing changes.
    ASSERT_TRUE(renumber(w));
    ASSERT_EQ(boxes.calls().size(), 1u);
    const MsgBoxCall &q = boxes.calls().front();
    EXPECT_EQ(q.text, "Programmet hänvisar till blocknummer (rad 5: N25 G71 P30 Q40 U1 W0.1 D2000). "
                      "Hänvisningarna ändras inte. Omnumrera ändå?");
    EXPECT_EQ(q.buttons, MbButtons::YesNo);
    EXPECT_EQ(q.defaultButton, 1);
    EXPECT_EQ(doc->txtText->TextAll(), kLathe);
    EXPECT_FALSE(doc->txtText->IsDirty());

    // "Ja" renumbers, and the references stay as they were.
    boxes.clear();
    boxes.answer(MbYes);
    ASSERT_TRUE(renumber(w));
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(doc->txtText->TextAll(),
              "%\r\nO1000\r\nN10 G0 X50 Z2\r\nN20 G71 U1 R0.5\r\nN30 G71 P30 Q40 U1 W0.1 D2000\r\n"
              "N40 G1 X10\r\nN50 G1 Z-5\r\nN60 G70 P30 Q40\r\nN70 M30\r\n%\r\n");

    // Adding numbers changes none of those there are: nothing is asked.
    doc->txtText->setAction(6);
    boxes.clear();
    ASSERT_TRUE(renumber(w, [](frmOmnum *d) { d->chkAddBlockNr->setChecked(true); }));
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(NcAddressWordsTest, RenumberingTouchesNoLetterInsideANameNorComments)
{
    frmMain w;
    frmDocument *doc = open(w, "N5 G1 LEN5\r\nAPPR LT X+Q11 Y+Q12 LEN10 RR F300\r\nFN18: SYSREAD Q32 = ID210 NR4 IDX3\r\n"
                               "Q1 = ATAN2[Q2, Q3] ; N4 N5\r\nN7 G1 X1 (N99)\r\n");
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(renumber(w));
    EXPECT_TRUE(boxes.calls().empty());
    EXPECT_EQ(doc->txtText->TextAll(), "N10 G1 LEN5\r\nAPPR LT X+Q11 Y+Q12 LEN10 RR F300\r\n"
                                       "FN18: SYSREAD Q32 = ID210 NR4 IDX3\r\nQ1 = ATAN2[Q2, Q3] ; N4 N5\r\n"
                                       "N20 G1 X1 (N99)\r\n");
}

TEST_F(NcAddressWordsTest, AddedBlockNumbersKeepTheBlockDeleteSlashFirst)
{
    frmMain w;
    frmDocument *doc = open(w, "/M00 (START OF PULL)\r\n/m1\r\n/2 G0 X5\r\nG0 X1\r\n/N20 G0\r\n");
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(renumber(w, [](frmOmnum *d) { d->chkAddBlockNr->setChecked(true); }));
    EXPECT_EQ(doc->txtText->TextAll(), "/N10 M00 (START OF PULL)\r\n/N20 m1\r\n/2 N30 G0 X5\r\nN40 G0 X1\r\n/N20 G0\r\n");
}

TEST_F(NcAddressWordsTest, DecimalPointsGoIntoAddressWordsOnly)
{
    test::SessionScope::set(&SettingValues::decCheckBlockChars, "XYZ");
    frmMain w;
    frmDocument *doc = open(w, "BEGIN PGM WALLX20X20 MM\r\nG1 X1 (X2)\r\n;G38.2 Z-4\r\n"
                               "(PRINT,G92: Set current position to X1 Y2)\r\nG1 IDX3 X5\r\nG38.2 Z-4 ;Z-4\r\n"
                               "END PGM WALLX20X20 MM\r\n");
    ASSERT_NE(doc, nullptr);
    w.menuAction("mnuOptionPunktKoll")->trigger();
    EXPECT_EQ(doc->txtText->TextAll(), "BEGIN PGM WALLX20X20 MM\r\nG1 X1. (X2)\r\n;G38.2 Z-4\r\n"
                                       "(PRINT,G92: Set current position to X1 Y2)\r\nG1 IDX3 X5.\r\nG38.2 Z-4. ;Z-4\r\n"
                                       "END PGM WALLX20X20 MM\r\n");
    EXPECT_TRUE(boxes.saw("3 justeringar är gjorda."));
}

TEST_F(NcAddressWordsTest, PackAndUnpackRefuseAConversationalProgram)
{
    const QByteArray tnc = "0  BEGIN PGM probe-40 MM\r\n1  L X+0 Y+0 R0 FMAX\r\n2  END PGM probe-40 MM\r\n";
    frmMain w;
    frmDocument *doc = open(w, tnc);
    ASSERT_NE(doc, nullptr);
    for (const char *command : {"mnuViewPack", "mnuViewUnPack"}) {
        boxes.clear();
        w.menuAction(command)->trigger();
        ASSERT_EQ(boxes.calls().size(), 1u) << command; // refused before the question
        EXPECT_EQ(boxes.calls().front().text, "Denna funktion är inte tillåten på ett TNC-program i klartext.");
        EXPECT_EQ(doc->txtText->TextAll(), tnc) << command;
        EXPECT_FALSE(doc->txtText->IsDirty()) << command;
    }
    // Blank lines first change nothing; an ISO program still packs.
    frmDocument *iso = w.openDocument(env.write("ncprog/P2.NC", "\r\n  \r\nN10 G1 X 5\r\n"), "MILL");
    ASSERT_NE(iso, nullptr);
    boxes.clear();
    boxes.answer(MbYes);
    w.menuAction("mnuViewPack")->trigger();
    EXPECT_EQ(iso->txtText->TextAll(), "\r\n\r\nN10G1X5\r\n");
}
