// The cutting-data calculators and their window: results while typing, the
// carry and copy buttons, either decimal separator.
#include "core/globals.h"
#include "generators/frmskardata.h"
#include "generators/skardata.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

// Runs a test under a locale and puts the old one back.
struct LocaleScope {
    QLocale old;
    explicit LocaleScope(const QLocale &l) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(old); }
};

}

TEST(Skardata, FormulasOfTheNineCalculators)
{
    EXPECT_EQ(MillCalcVarvtal("200", "20"), "3183.193");
    EXPECT_EQ(MillCalcSkarh("1000", "50"), "157.075");
    EXPECT_EQ(MillCalcBordm("3000", "4", "0.1"), "1200");
    EXPECT_EQ(MillCalcMatningpv("0.1", "4"), "0.4");
    EXPECT_EQ(MillCalcMatningpt("0.05", "20", "5"), "0.1");
    EXPECT_EQ(MillCalcMedelsp("0.1", "20", "5"), "0.05");
    EXPECT_EQ(LatheCalcVarvtal("150", "40"), "1193.697");
    EXPECT_EQ(LatheCalcSkarh("1000", "50"), "157.075");
    EXPECT_EQ(LatheCalcYtjamnhet("0.2", "0.8"), "2.5");
}

TEST(Skardata, IncompleteInputAndZeroDivisorsGiveNoResult)
{
    for (const char *bad : {"", "-", "abc", "1.2.3", "12x", "1,000.5"})
        EXPECT_EQ(MillCalcVarvtal(bad, "20"), "") << bad;
    EXPECT_EQ(MillCalcVarvtal("200", "0"), "");
    EXPECT_EQ(LatheCalcVarvtal("200", "0"), "");
    EXPECT_EQ(MillCalcMatningpt("0.05", "20", "0"), "");
    EXPECT_EQ(MillCalcMedelsp("0.1", "0", "5"), "");
    EXPECT_EQ(MillCalcMedelsp("0.1", "20", "0"), "");
    EXPECT_EQ(LatheCalcYtjamnhet("0.2", "0"), "");
    EXPECT_EQ(MillCalcSkarh("1000", "0"), "0");
    // A negative root never shows as a number.
    EXPECT_EQ(MillCalcMatningpt("0.05", "20", "-5"), "");
    EXPECT_EQ(MillCalcBordm("1e300", "1e300", "1e300"), "");
}

TEST(Skardata, ResultsRoundHalvesToEven)
{
    EXPECT_EQ(MillCalcMatningpv("0.0625", "1"), "0.062");
    EXPECT_EQ(MillCalcMatningpv("0.1875", "1"), "0.188");
    EXPECT_EQ(MillCalcMatningpv("-0.0001", "1"), "0");
    EXPECT_EQ(skardataResult(-2.5), "-2.5");
}

TEST(Skardata, EitherSeparatorOnEitherLocale)
{
    {
        LocaleScope scope(QLocale::c());
        EXPECT_EQ(DecimalSeparator(), ".");
        EXPECT_EQ(MillCalcMatningpv("0,1", "4"), "0.4");
        EXPECT_EQ(MillCalcMatningpv(" 0.1 ", "4"), "0.4");
    }
    {
        LocaleScope scope(QLocale(QLocale::Swedish, QLocale::Sweden));
        EXPECT_EQ(DecimalSeparator(), ",");
        EXPECT_EQ(MillCalcMatningpv("0,1", "4"), "0.4");
        EXPECT_EQ(MillCalcMatningpv("0.1", "4"), "0.4");
        EXPECT_EQ(MillCalcVarvtal("200", "20"), "3183.193"); // "." in the result, whatever the locale
        EXPECT_EQ(MillCalcSkarh("-1000", "50"), "-157.075");
        QString v = "1.5,2";
        FormatDS(v);
        EXPECT_EQ(v, "1,5,2");
        EXPECT_EQ(FFormat(v), "1.5.2");
    }
}

namespace {

class FrmSkardataTest : public ::testing::Test {
protected:
    test::TempEnv env;
    void SetUp() override { gbNotSwedish = false; }
};

}

TEST_F(FrmSkardataTest, ResultsFollowTheInputs)
{
    frmSkardata w;
    EXPECT_EQ(w.objectName(), "frmSkardata");
    EXPECT_EQ(w.windowTitle(), "Räkna skärdata");
    EXPECT_FALSE(w.isModal());
    EXPECT_EQ(w.boxes().size(), 30);

    QTest::keyClicks(w.txtVarvtalSH, "200");
    EXPECT_EQ(w.txtVarvtalV->text(), "");
    QTest::keyClicks(w.txtVarvtalFD, "2");
    EXPECT_EQ(w.txtVarvtalV->text(), "31831.927");
    QTest::keyClicks(w.txtVarvtalFD, "0");
    EXPECT_EQ(w.txtVarvtalV->text(), "3183.193");
    w.txtVarvtalSH->setText("-");
    EXPECT_EQ(w.txtVarvtalV->text(), "");
}

TEST_F(FrmSkardataTest, CarryButtonsRunTheTargetCalculators)
{
    frmSkardata w;
    w.txtVarvtalSH->setText("200");
    w.txtVarvtalFD->setText("20");
    w.txtSkarFD->setText("20");
    w.txtBordmAT->setText("4");
    w.txtBordmMPT->setText("0.1");
    w.Command3->click();
    EXPECT_EQ(w.txtSkarhV->text(), "3183.193");
    EXPECT_EQ(w.txtBordmV->text(), "3183.193");
    EXPECT_EQ(w.txtSkarhS->text(), "200");
    EXPECT_EQ(w.txtBormBM->text(), "1273.277");

    w.txtMatningptMST->setText("0.05");
    w.txtMatningptFD->setText("20");
    w.txtMatningptSB->setText("5");
    w.txtMatningpvAT->setText("4");
    w.txtMedelspFD->setText("20");
    w.txtMedelspSB->setText("5");
    w.Command6->click();
    EXPECT_EQ(w.txtMatningpvMPT->text(), "0.1");
    EXPECT_EQ(w.txtMatningpvMPV->text(), "0.4");
    EXPECT_EQ(w.txtMedelspMST->text(), "0.05");
    EXPECT_EQ(w.txtBordmMPT->text(), "0.1");
    w.Command7->click();
    EXPECT_EQ(w.txtMatningptMST->text(), "0.05");

    // An empty result carried empties the target and its result.
    w.txtSkarFD->clear();
    EXPECT_EQ(w.txtSkarhS->text(), "");
    w.Command4->click();
    EXPECT_EQ(w.txtVarvtalSH->text(), "");
    EXPECT_EQ(w.txtVarvtalV->text(), "");
}

TEST_F(FrmSkardataTest, ClearAndCopy)
{
    frmSkardata w;
    w.txtMatningpvMPT->setText("0.1");
    w.txtMatningpvAT->setText("4");
    w.cmdCopy4->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "0.4");
    w.CmdCopy9->click(); // an empty result is copied as it is
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    for (const char *name : {"cmdCopy1", "cmdCopy2", "cmdCopy3", "cmdCopy4", "cmdCopy5", "CmdCopy6", "CmdCopy7",
                             "CmdCopy8", "CmdCopy9", "Command3", "Command4", "Command6", "Command7"})
        EXPECT_EQ(w.findChild<QPushButton *>(name)->toolTip(), "Fyll i värden i relevanta textrutor") << name;
    w.Command2->click();
    for (QLineEdit *e : w.boxes())
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
}

TEST_F(FrmSkardataTest, TabsFromTheLanguageFile)
{
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n114=Cutting data\r\n1702=Milling\r\n1703=Turning\r\n"
                                            "1740=Close\r\n1710=Speed\r\n");
    gbNotSwedish = true;
    frmSkardata w;
    gbNotSwedish = false;
    gsLanguageFile.clear();
    EXPECT_EQ(w.windowTitle(), "CUTTING DATA");
    EXPECT_EQ(w.SSTab1->tabText(0), "Milling");
    EXPECT_EQ(w.SSTab1->tabText(1), "Turning");
    EXPECT_EQ(w.Command1->text(), "Close");
}
