// The whole-document commands through a document window: refusal, question,
// one undo step, abort, tool list, decimal points, range window, colouring.
#include "core/globals.h"
#include "ncops/boldcomments.h"
#include "ncops/frmxyz.h"
#include "ncops/mdlmnfix.h"
#include "ncops/toollist.h"
#include "ncops_testutil.h"
#include "sessionscope.h"
#include "testsupport.h"
#include "sessionscope.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace lumrik;
using namespace lumrik::test;

namespace {
const QString kRefused = QStringLiteral("Denna funktion är inte tillåten på denna filtyp.");
}

TEST(LineCommands, FramedCommandsRefuseReadOnlyAndHexViews)
{
    MsgBoxRecorder boxes;
    for (auto command : {MnClearChars, MnPack, MnUnPack, MnUppercase, MnPunktKoll, RkGetToolList}) {
        for (int which = 0; which < 2; ++which) {
            TestDoc d("n10 g1 x5\r\nT1 M6");
            (which ? d.doc.bHexView : d.doc.bReadOnly) = true;
            boxes.clear();
            command(&d.doc);
            ASSERT_EQ(boxes.calls().size(), 1u);
            EXPECT_EQ(boxes.calls()[0].text, kRefused);
            EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Spara"));
            EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
            EXPECT_EQ(d.text(), "n10 g1 x5\r\nT1 M6");
        }
    }
}

TEST(LineCommands, AskFirstAndDoNothingOnNo)
{
    MsgBoxRecorder boxes;
    TestDoc d("g1 x5 (\xe5)");
    boxes.answer(MbNo);
    MnUppercase(&d.doc);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Rensa ASCII koder"));
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(d.text(), "g1 x5 (\xe5)");
    EXPECT_FALSE(d.ed()->IsDirty());

    boxes.answer(MbYes);
    MnUppercase(&d.doc);
    EXPECT_EQ(d.text(), "G1 X5 (\xc5)");
}

// A program in UTF-8 stays UTF-8: the letters of every line are capitalised
// as UTF-8 and the byte-order mark and quotation marks keep their bytes. A
// program that is no valid UTF-8 is Windows-1252 text, also when one of its
// lines would pass for UTF-8.
TEST(LineCommands, UppercaseKeepsAUtf8ProgramUtf8)
{
    MsgBoxRecorder boxes;
    boxes.answer(MbYes);
    TestDoc utf8("\xef\xbb\xbf%\r\n(\xc3\xbc" "ber \xe2\x80\x9ekant\xe2\x80\x9c)\r\ng1 x5");
    MnUppercase(&utf8.doc);
    EXPECT_EQ(utf8.text(), "\xef\xbb\xbf%\r\n(\xc3\x9c" "BER \xe2\x80\x9eKANT\xe2\x80\x9c)\r\nG1 X5");

    TestDoc mixed("(\xc3\xa5)\r\n(\xe5\xe4)"); // "Ã¥" and "åä" in Windows-1252
    MnUppercase(&mixed.doc);
    EXPECT_EQ(mixed.text(), "(\xc3\xa5)\r\n(\xc5\xc4)");
}

TEST(LineCommands, EachCommandIsOneUndoStepAndKeepsInsertMode)
{
    MsgBoxRecorder boxes;
    const QByteArray original = "N10 G1 X 10.5 (TOOL ONE) Y5\r\n\tG0\x01Z5\r\n\r\n" + numberedProgram(3000);
    TestDoc d(original);
    d.ed()->setInsertMode(false);
    MnClearChars(&d.doc);
    EXPECT_TRUE(d.text().startsWith("N10 G1 X 10.5 (TOOL ONE) Y5\r\nG0Z5\r\n\r\nN1 G1 X1\r\n"));
    EXPECT_FALSE(d.ed()->InsertMode());
    EXPECT_TRUE(d.ed()->Redraw());
    d.ed()->setAction(6);
    EXPECT_EQ(d.text(), original);

    d.ed()->setInsertMode(true);
    MnPack(&d.doc);
    EXPECT_TRUE(d.text().startsWith("N10G1X10.5(TOOL ONE)Y5\r\nG0\x01Z5\r\n\r\nN1G1X1\r\n"));
    EXPECT_TRUE(d.text().endsWith("\r\nN3000G1X3000"));
    EXPECT_TRUE(d.ed()->InsertMode());
    d.ed()->setAction(6);
    EXPECT_EQ(d.text(), original);
}

TEST(LineCommands, PackThenUnpackThroughTheEditorKeepsLineEnds)
{
    MsgBoxRecorder boxes;
    TestDoc d("N10G1X10.5Y-3\nG1X5(CUT HERE)Y5\nM30\n", 2);
    MnUnPack(&d.doc);
    EXPECT_EQ(d.text(), "N10 G1 X10.5 Y-3\nG1 X5(CUT HERE) Y5\nM30\n");
    MnPack(&d.doc);
    EXPECT_EQ(d.text(), "N10G1X10.5Y-3\nG1X5(CUT HERE)Y5\nM30\n");
}

TEST(LineCommands, AbortKeepsLinesDoneAndLeavesTheRest)
{
    MsgBoxRecorder boxes;
    const int n = 5000;
    QByteArray original = numberedProgram(n);
    TestDoc d(original);
    {
        AbortAfter abort(1000);
        MnPack(&d.doc);
    }
    const QList<QByteArray> lines = d.text().split('\n');
    ASSERT_EQ(lines.size(), n);
    int packed = 0;
    while (packed < n && !lines[packed].contains(' '))
        ++packed;
    EXPECT_GE(packed, 1000);
    EXPECT_LT(packed, n);
    for (int i = packed; i < n; ++i)
        ASSERT_EQ(lines[i], original.split('\n')[i]) << i; // the rest untouched
    d.ed()->setAction(6);
    EXPECT_EQ(d.text(), original);

    // The next run goes through all lines.
    MnPack(&d.doc);
    EXPECT_FALSE(d.text().contains(' '));
}

TEST(LineCommands, DecimalPointsCountAdjustments)
{
    MsgBoxRecorder boxes;
    test::SessionScope session;
    test::SessionScope::set(&SettingValues::decCheckBlockChars, "XYZ");
    TestDoc d("G1 X10 Y-5 Z2.5\r\n(X AXIS) X10\r\nX1,5\r\nG01 X-#<x_max> Y4");
    MnPunktKoll(&d.doc);
    EXPECT_EQ(d.text(), "G1 X10. Y-5. Z2.5\r\n(X AXIS) X10\r\nX1,5\r\nG01 X-#<x_max> Y4.");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("3 justeringar är gjorda."));

    boxes.clear();
    test::SessionScope::set(&SettingValues::decCheckBlockChars, QString());
    MnPunktKoll(&d.doc);
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("0 justeringar är gjorda."));
}

TEST(ToolListCommand, InsertsTheFramedBlockAtTheTop)
{
    MsgBoxRecorder boxes;
    test::SessionScope session;
    test::SessionScope::set(&SettingValues::toolListChrs, "T");
    TestDoc d("%\nT1 M6\nG0 X0 (T2)\nT12 M6 (DRILL)\nM30", 2);
    d.ed()->setInsertMode(false);
    RkGetToolList(&d.doc);
    const QByteArray frame = "'" + QByteArray(70, '-');
    const QByteArray block = frame + "\n' T1 M6\n' T12 M6 (DRILL)\n" + frame + "\n";
    EXPECT_EQ(d.text(), block + "%\nT1 M6\nG0 X0 (T2)\nT12 M6 (DRILL)\nM30");
    EXPECT_FALSE(d.ed()->InsertMode());
    EXPECT_EQ(d.ed()->TextType(), 2);

    // A second run puts a second block above; the first block is not collected.
    RkGetToolList(&d.doc);
    EXPECT_EQ(d.text(), block + block + "%\nT1 M6\nG0 X0 (T2)\nT12 M6 (DRILL)\nM30");
    d.ed()->setAction(6);
    EXPECT_EQ(d.text(), block + "%\nT1 M6\nG0 X0 (T2)\nT12 M6 (DRILL)\nM30");
    EXPECT_TRUE(boxes.calls().empty());

    // Nothing to collect: unchanged, nothing said.
    TestDoc none("G0 X0\r\nM30");
    RkGetToolList(&none.doc);
    EXPECT_EQ(none.text(), "G0 X0\r\nM30");
    EXPECT_FALSE(none.ed()->IsDirty());

    test::SessionScope::set(&SettingValues::toolListChrs, QString());
    RkGetToolList(&d.doc);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text,
              QStringLiteral("Inga tecken för verktygslistan är definierade i inställningarna"));
}

TEST(XyzCommand, ShowsTheRangeAndDisablesUnusedBoxes)
{
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    TestDoc d("G0 X10 Y-5\r\nG1 X-2.5 F200\r\nS1200 M3\r\nG1 (X99) X1,5 (R5)");
    QStringList seen;
    bool disabledZ = false, disabledY = false;
    WindowDriver read([&](QWidget *w) {
        auto *x = qobject_cast<frmXYZ *>(w);
        if (!x)
            return false;
        seen = {x->txtMinX->text(), x->txtMaxX->text(), x->txtMinY->text(), x->txtMaxR->text(),
                x->txtMinF->text(), x->txtMaxS->text()};
        disabledZ = !x->txtMinZ->isEnabled() && !x->txtMaxZ->isEnabled() && x->txtMinZ->text().isEmpty();
        disabledY = !x->txtMinY->isEnabled();
        x->Command1->click();
        return true;
    });
    MnXYZ(&d.doc);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(seen, (QStringList{"-2,5", "10", "-5", "5", "200", "1200"}));
    EXPECT_TRUE(disabledZ);
    EXPECT_FALSE(disabledY);
    EXPECT_EQ(d.ed()->TextIndex(), 4);
    EXPECT_EQ(d.text(), "G0 X10 Y-5\r\nG1 X-2.5 F200\r\nS1200 M3\r\nG1 (X99) X1,5 (R5)");
}

TEST(XyzCommand, LargeAndSmallValuesShowWithACapitalExponent)
{
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    const QStringList texts = {frmXYZ::valueText(1e7f), frmXYZ::valueText(-12345678.0f),
                               frmXYZ::valueText(9999999.0f), frmXYZ::valueText(0.00001f),
                               frmXYZ::valueText(12.5f)};
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(texts, (QStringList{"1E+07", "-1,234568E+07", "9999999", "1E-05", "12,5"}));
}

TEST(BoldComments, ColoursCodeWordsAndCommentsOnly)
{
    test::MachineScope restoreMachine;
    test::changeMachineKeys([](MachineKeys &k) {
        k.codeText = {"T", "", "M6", "", "", "", "", ""};
        k.codeColor = {0x00FF00, 0, 0x0000FF, 0, 0, 0, 0, 0}; // red in the low byte
        k.commentColor = 0xFF0000;
    });
    TestDoc d("T1 M6 (X)\r\nG0 X0 (M6)\r\nG1 X5 (A\r\nG1 (A) Y1 (B)\r\nT2");
    d.ed()->setCaret(3, 2);
    MsgBoxRecorder boxes;
    RkBoldComments(&d.doc);
    ASSERT_TRUE(test::untilLongWorkIsOver());

    const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255), plain = d.ed()->ForeColor();
    EXPECT_EQ(d.ed()->characterForeColorAt(1, 1), red);   // code word 3 wins over 1
    EXPECT_EQ(d.ed()->characterForeColorAt(1, 6), red);
    EXPECT_EQ(d.ed()->characterForeColorAt(1, 7), blue);  // the comment
    EXPECT_EQ(d.ed()->characterForeColorAt(1, 9), blue);
    EXPECT_EQ(d.ed()->characterForeColorAt(2, 1), plain); // M6 only in the comment
    EXPECT_EQ(d.ed()->characterForeColorAt(2, 8), blue);
    EXPECT_EQ(d.ed()->characterForeColorAt(3, 8), blue);  // open comment to the end
    EXPECT_EQ(d.ed()->characterForeColorAt(4, 12), plain); // only the first comment
    EXPECT_EQ(d.ed()->characterForeColorAt(5, 2), green);  // a code-word line without comment
    EXPECT_FALSE(d.ed()->IsDirty());
    EXPECT_EQ(d.ed()->CaretY(), 2);
    EXPECT_EQ(d.ed()->SelMark(), 0);
    EXPECT_TRUE(d.ed()->Redraw());
}

TEST(LineCommands, CaretAndSelectionStayOnTheirLines)
{
    MsgBoxRecorder boxes;
    TestDoc d(numberedProgram(3000));
    d.ed()->setCaret(4, 2500);
    MnUnPack(&d.doc); // nothing to unpack: no change
    MnPack(&d.doc);
    EXPECT_EQ(d.ed()->CaretY(), 2500);
    EXPECT_EQ(d.ed()->CaretX(), 4);

    d.ed()->setSelMark(1);
    d.ed()->setSelStartY(10);
    d.ed()->setSelStartX(1);
    d.ed()->setSelEndY(12);
    d.ed()->setSelEndX(3);
    MnUppercase(&d.doc); // already capitals: nothing changes
    MnUnPack(&d.doc);
    EXPECT_EQ(d.ed()->SelStartY(), 10);
    EXPECT_EQ(d.ed()->SelEndY(), 12);
    EXPECT_EQ(d.ed()->SelText(), "N10 G1 X10\r\nN11 G1 X11\r\nN1");
}

TEST(LineCommands, EmptyDocument)
{
    MsgBoxRecorder boxes;
    TestDoc d("");
    for (auto command : {MnClearChars, MnPack, MnUnPack, MnUppercase, MnPunktKoll, RkGetToolList})
        command(&d.doc);
    EXPECT_EQ(d.text(), "");
}
