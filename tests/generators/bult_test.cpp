// The bolt-hole circle: the hole lines, the checks of the boxes, and the
// window that copies the result to the clipboard.
#include "core/errors.h"
#include "core/globals.h"
#include "generators/bult.h"
#include "generators/frmbult.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

BultFields circle(const char *cx, const char *cy, const char *r, const char *a0, const char *n)
{
    return {cx, cy, r, a0, n, "", false};
}

BultFields arc(const char *cx, const char *cy, const char *r, const char *a0, const char *n, const char *between)
{
    return {cx, cy, r, a0, n, between, true};
}

}

TEST(BultLines, WorkedExampleAndQuarterCircle)
{
    EXPECT_EQ(BultLines(100, 50, 25, 90, 3, false, 0), "X100. Y75.\r\nX78.349 Y37.5\r\nX121.651 Y37.5\r\n");
    // The remainders of cos 90 and sin 180 come out as 0.
    EXPECT_EQ(BultLines(0, 0, 10, 0, 4, false, 0), "X10. Y0.\r\nX0. Y10.\r\nX-10. Y0.\r\nX0. Y-10.\r\n");
}

TEST(BultLines, ArcWalksBothWays)
{
    EXPECT_EQ(BultLines(0, 0, 10, 0, 3, true, 30), "X10. Y0.\r\nX8.66 Y5.\r\nX5. Y8.66\r\n");
    EXPECT_EQ(BultLines(0, 0, 10, 0, 3, true, -30), "X10. Y0.\r\nX8.66 Y-5.\r\nX5. Y-8.66\r\n");
}

TEST(BultLines, FailuresThrow)
{
    EXPECT_THROW(BultLines(0, 0, 10, 0, 0, false, 0), RkError);
    EXPECT_THROW(BultLines(3e6, 0, 10, 0, 2, false, 0), RkError);
}

TEST(BultCompute, ReadsTheBoxes)
{
    const BultResult r = ComputeBult(circle("100", "50", "25", "90", "3"));
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.text, "X100. Y75.\r\nX78.349 Y37.5\r\nX121.651 Y37.5\r\n");
    // "," as the decimal point; the hidden angle-between box is not read on a full circle.
    BultFields f = circle("0", "0", "12,5", "0", "1");
    f.between = "rubbish";
    EXPECT_EQ(ComputeBult(f).text, "X12.5 Y0.\r\n");
    EXPECT_EQ(ComputeBult(arc("0", "0", "10", "0", "2", "30,5")).text, "X10. Y0.\r\nX8.616 Y5.075\r\n");
}

TEST(BultCompute, HoleCountRoundsHalvesToEven)
{
    EXPECT_EQ(roundHoles(2.5), 2);
    EXPECT_EQ(roundHoles(3.5), 4);
    EXPECT_EQ(ComputeBult(circle("0", "0", "10", "0", "2.5")).text.count("\r\n"), 2);
    EXPECT_EQ(ComputeBult(circle("0", "0", "10", "0", "3,5")).text.count("\r\n"), 4);
}

TEST(BultCompute, EmptyBoxesReadZeroAndANegativeRadiusIsComputed)
{
    // Centre and first angle left empty: the pattern at the origin, from 0 degrees.
    const BultResult r = ComputeBult(circle("", " ", "10", "", "4"));
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.text, "X10. Y0.\r\nX0. Y10.\r\nX-10. Y0.\r\nX0. Y-10.\r\n");
    // A negative radius puts every hole opposite its angle.
    EXPECT_EQ(ComputeBult(circle("0", "0", "-5", "0", "4")).text, "X-5. Y0.\r\nX0. Y-5.\r\nX5. Y0.\r\nX0. Y5.\r\n");
}

TEST(BultCompute, NoHolesOnAnArcOrANegativeNumberGiveNoLines)
{
    for (const BultFields &f : {arc("0", "0", "10", "0", "0", "30"), arc("0", "0", "10", "0", "", "30"),
                                arc("0", "0", "10", "0", "-3", "30"), circle("0", "0", "10", "0", "-2")}) {
        const BultResult r = ComputeBult(f);
        EXPECT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_TRUE(r.text.isEmpty());
        EXPECT_TRUE(r.message.isEmpty());
    }
}

TEST(BultCompute, BadInputGivesAMessageAndNoLines)
{
    const std::pair<BultFields, const char *> cases[] = {
        // A full circle without holes cannot be divided.
        {circle("0", "0", "10", "0", ""), "Antal hål måste vara mellan 1 och 32767"},
        {circle("0", "0", "10", "0", "0"), "Antal hål måste vara mellan 1 och 32767"},
        {circle("0", "0", "10", "0", "0.4"), "Antal hål måste vara mellan 1 och 32767"},
        {circle("0", "0", "10", "0", "40000"), "Antal hål måste vara mellan 1 och 32767"},
        {arc("0", "0", "10", "0", "-40000", "30"), "Antal hål måste vara mellan 1 och 32767"},
        {circle("0", "0", "1x", "0", "4"), "Radie R: \"1x\" är inget giltigt tal"},
        {circle("0", "1-2", "10", "0", "4"), "ABS Centrum Y: \"1-2\" är inget giltigt tal"},
        // Text that is more than a number would put the holes somewhere else.
        {circle("0", "0", "12abc", "0", "4"), "Radie R: \"12abc\" är inget giltigt tal"},
        {circle("1.2.3", "0", "10", "0", "4"), "ABS Centrum X: \"1.2.3\" är inget giltigt tal"},
        {arc("0", "0", "10", "0", "3", "30abc"), "Vinkel mellan hål: \"30abc\" är inget giltigt tal"},
        {circle("0", "0", "10", "0", "4.5.1"), "Antal hål: \"4.5.1\" är inget giltigt tal"},
        // Every hole on the same spot.
        {circle("0", "0", "0", "0", "4"), "Radien får inte vara 0"},
        {circle("0", "0", "", "0", "4"), "Radien får inte vara 0"},
        {arc("0", "0", "10", "0", "3", ""), "Vinkel mellan hål får inte vara 0"},
        {arc("0", "0", "10", "0", "3", "0"), "Vinkel mellan hål får inte vara 0"},
    };
    for (const auto &[fields, message] : cases) {
        const BultResult r = ComputeBult(fields);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.text.isEmpty());
        EXPECT_EQ(r.message, QString::fromUtf8(message));
    }
    // One hole on an arc needs no angle between.
    EXPECT_TRUE(ComputeBult(arc("0", "0", "10", "45", "1", "0")).ok);
    const BultResult big = ComputeBult(circle("2147483", "0", "10", "0", "4"));
    EXPECT_FALSE(big.ok);
    EXPECT_FALSE(big.message.isEmpty());
}

namespace {

class FrmBultTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    void SetUp() override { gbNotSwedish = false; }
    static void type(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        QTest::keyClicks(box, text);
    }
};

}

TEST_F(FrmBultTest, OpensAsAFullCircle)
{
    frmBult dlg;
    EXPECT_EQ(dlg.objectName(), "frmBult");
    EXPECT_EQ(dlg.windowTitle(), "Bultcirkel");
    EXPECT_TRUE(dlg.findChild<QRadioButton *>("Option1_0")->isChecked());
    EXPECT_FALSE(dlg.findChild<QLineEdit *>("txtMellanVinkel")->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.findChild<QLabel *>("Label7")->isVisibleTo(&dlg));
    EXPECT_FALSE(dlg.findChild<QPlainTextEdit *>("txtDisp")->isEnabled());
    EXPECT_FALSE(dlg.findChild<QPushButton *>("cmdCopy")->isEnabled());
    EXPECT_TRUE(dlg.findChild<QPushButton *>("cmdDoIt")->isDefault());
    ASSERT_NE(dlg.findChild<QPushButton *>("cmdAborrt"), nullptr);
    dlg.Option1[1]->click();
    EXPECT_TRUE(dlg.txtMellanVinkel->isVisibleTo(&dlg));
    EXPECT_TRUE(dlg.Label7->isVisibleTo(&dlg));
    dlg.Option1[0]->click();
    EXPECT_FALSE(dlg.txtMellanVinkel->isVisibleTo(&dlg));
}

TEST_F(FrmBultTest, ComputeThenCopyToTheClipboard)
{
    frmBult dlg;
    type(dlg.txtCentrumX, "100");
    type(dlg.txtCentrumY, "50");
    type(dlg.txtRadie, "25");
    type(dlg.txtVinkel, "90");
    type(dlg.txtAntal, "3");
    dlg.cmdDoIt->click();
    EXPECT_EQ(dlg.txtDisp->toPlainText(), "X100. Y75.\nX78.349 Y37.5\nX121.651 Y37.5\n");
    EXPECT_TRUE(dlg.cmdCopy->isEnabled());
    QApplication::clipboard()->setText("old");
    dlg.cmdCopy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "X100. Y75.\r\nX78.349 Y37.5\r\nX121.651 Y37.5\r\n");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Resultatet kopierat till klippbordet.");
    EXPECT_EQ(boxes.calls()[0].buttons, MbButtons::Ok);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(FrmBultTest, FailedComputationKeepsThePreviousResult)
{
    frmBult dlg;
    dlg.txtCentrumX->setText("0");
    dlg.txtCentrumY->setText("0");
    dlg.txtRadie->setText("10");
    dlg.txtVinkel->setText("0");
    dlg.txtAntal->setText("4");
    dlg.cmdDoIt_Click();
    const QString before = dlg.txtDisp->toPlainText();
    ASSERT_FALSE(before.isEmpty());
    dlg.txtAntal->clear();
    dlg.cmdDoIt_Click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_EQ(boxes.calls()[0].text, "Antal hål måste vara mellan 1 och 32767");
    EXPECT_EQ(dlg.txtDisp->toPlainText(), before);
    EXPECT_TRUE(dlg.cmdCopy->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // An arc without holes: an empty result, and nothing to copy.
    dlg.Option1[1]->click();
    dlg.txtMellanVinkel->setText("30");
    dlg.txtAntal->setText("0");
    dlg.cmdDoIt_Click();
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(dlg.txtDisp->toPlainText().isEmpty());
    EXPECT_FALSE(dlg.cmdCopy->isEnabled());
    QApplication::clipboard()->setText("old");
    dlg.cmdCopy_Click();
    EXPECT_EQ(QApplication::clipboard()->text(), "old");
    EXPECT_NE(dlg.result(), QDialog::Accepted);
}

TEST_F(FrmBultTest, KeyFilterOfTheNumberBoxes)
{
    frmBult dlg;
    // Letters are refused; "," stays, so "12,5" is not taken as 125.
    type(dlg.txtRadie, "1a2,5");
    EXPECT_EQ(dlg.txtRadie->text(), "12,5");
    dlg.txtCentrumX->setText("0");
    dlg.txtAntal->setText("1");
    dlg.cmdDoIt_Click();
    EXPECT_EQ(dlg.resultText(), "X12.5 Y0.\r\n");
    type(dlg.txtMellanVinkel, "30 grader");
    EXPECT_EQ(dlg.txtMellanVinkel->text(), "30 grader"); // no filter there; the computation names it
    // A typo of the number characters is named, not read as its leading part.
    dlg.txtRadie->clear();
    type(dlg.txtRadie, "12.5.1");
    dlg.cmdDoIt_Click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Radie R: \"12.5.1\" är inget giltigt tal");
    EXPECT_EQ(dlg.resultText(), "X12.5 Y0.\r\n");
}

TEST_F(FrmBultTest, EnterComputesAndCopyButtonTakesItsOwn)
{
    frmBult dlg;
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    dlg.txtCentrumX->setText("0");
    dlg.txtCentrumY->setText("0");
    dlg.txtVinkel->setText("0");
    dlg.txtAntal->setText("4");
    type(dlg.txtRadie, "10");
    QTest::keyClick(dlg.txtRadie, Qt::Key_Return);
    EXPECT_EQ(dlg.resultText().count("\r\n"), 4);
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClick(dlg.txtRadie, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible()); // no cancel button: Escape does not throw the entries away
    dlg.cmdCopy->setFocus();
    QTest::keyClick(dlg.cmdCopy, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(QApplication::clipboard()->text(), "X10. Y0.\r\nX0. Y10.\r\nX-10. Y0.\r\nX0. Y-10.\r\n");
}

TEST_F(FrmBultTest, LanguageFileTexts)
{
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n500=Bolt circle\r\n514=Error\r\n");
    gbNotSwedish = true;
    frmBult dlg;
    dlg.cmdDoIt_Click();
    gbNotSwedish = false;
    gsLanguageFile.clear();
    EXPECT_EQ(dlg.windowTitle(), "BOLT CIRCLE");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Error");
}
