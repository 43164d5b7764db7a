// The thread-milling dialog: its controls, what "&Ok" writes to "helix.tmp",
// and the keys its text boxes take.
#include "core/globals.h"
#include "core/msgbox.h"
#include "generators/frmhelix.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class FrmHelixTest : public ::testing::Test {
protected:
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    test::SessionScope session;

    void SetUp() override
    {
        gbNotSwedish = false;
        test::SessionScope::set(&SettingValues::numKbdDec, false);
    }

    static void type(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        QTest::keyClicks(box, text);
    }
    // The internal example of the thread-milling description.
    static void fillInternalExample(frmHelix &dlg)
    {
        type(dlg.txtGx, "0");
        type(dlg.txtGy, "0");
        type(dlg.txtGdiam, "10");
        type(dlg.txtGs, "1,5");
        type(dlg.txtSafeZ, "5");
        type(dlg.txtEndZ, "-15");
        type(dlg.txtInR, "2");
        type(dlg.txtCompNo, "1");
        dlg.GangTyp[0]->click();
    }
    QString helixFile() const { return env.tmpPath() + "/helix.tmp"; }
};

}

TEST_F(FrmHelixTest, OpensEmptyWithOkDisabled)
{
    frmHelix dlg;
    EXPECT_EQ(dlg.objectName(), "frmHelix");
    EXPECT_EQ(dlg.windowTitle(), "Helix");
    for (const char *name : {"txtGx", "txtGy", "txtGdiam", "txtGs", "txtSafeZ", "txtEndZ", "txtInR", "txtCompNo"}) {
        auto *box = dlg.findChild<QLineEdit *>(name);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_TRUE(box->text().isEmpty());
        EXPECT_FALSE(box->toolTip().isEmpty());
    }
    EXPECT_FALSE(dlg.findChild<QRadioButton *>("GangTyp_0")->isChecked());
    EXPECT_FALSE(dlg.findChild<QRadioButton *>("GangTyp_1")->isChecked());
    EXPECT_FALSE(dlg.findChild<QPushButton *>("btnOk")->isEnabled());
    EXPECT_TRUE(dlg.findChild<QPushButton *>("btnOk")->isDefault());
    EXPECT_FALSE(dlg.findChild<QCheckBox *>("chkUseG1")->isChecked());
    for (const char *name : {"optGradDelning_0", "optGradDelning_1"}) {
        EXPECT_FALSE(dlg.findChild<QRadioButton *>(name)->isEnabled());
        EXPECT_FALSE(dlg.findChild<QRadioButton *>(name)->isChecked());
    }
    dlg.GangTyp[1]->click();
    EXPECT_TRUE(dlg.btnOk->isEnabled());
    EXPECT_TRUE(dlg.data.external);
}

TEST_F(FrmHelixTest, OkWritesTheArcProgram)
{
    frmHelix dlg;
    fillInternalExample(dlg);
    dlg.btnOk->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(boxes.calls().empty());
    const QByteArray text = test::readFile(helixFile());
    EXPECT_TRUE(text.startsWith("%\r\nO???? ( ** PROGNO ** )\r\n"));
    EXPECT_TRUE(text.contains("\r\nG2 X5. Y0. Z-14.812 I-5. J0. ( GANGAN INV )\r\n")) << text.constData();
    EXPECT_TRUE(text.endsWith("G0 G40 X0. Y0.\r\nG0 Z5\r\nM99\r\n%\r\n"));
}

TEST_F(FrmHelixTest, LinearFormWithHalfDegreeSteps)
{
    frmHelix dlg;
    fillInternalExample(dlg);
    dlg.chkUseG1->click();
    EXPECT_TRUE(dlg.optGradDelning[0]->isEnabled());
    EXPECT_TRUE(dlg.optGradDelning[0]->isChecked());
    dlg.optGradDelning[1]->click();
    EXPECT_TRUE(dlg.data.halfDegree);
    dlg.btnOk->click();
    const QList<QByteArray> lines = test::readFile(helixFile()).split('\n');
    EXPECT_EQ(lines.size() - 1, 13 + 2 + 9 + 901 + 4);
    EXPECT_EQ(lines[13], "G0 X0.Y0.\r");

    // Unchecked and checked again: back to 1.0 degree.
    frmHelix again;
    again.chkUseG1->click();
    again.optGradDelning[1]->click();
    again.chkUseG1->click();
    EXPECT_FALSE(again.optGradDelning[1]->isEnabled());
    again.chkUseG1->click();
    EXPECT_TRUE(again.optGradDelning[0]->isChecked());
    EXPECT_FALSE(again.data.halfDegree);
}

TEST_F(FrmHelixTest, BadInputKeepsTheDialogAndWritesNothing)
{
    frmHelix dlg;
    dlg.GangTyp[0]->click();
    dlg.btnOk->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Kompenseringsnummer MÅSTE anges ");
    EXPECT_EQ(boxes.calls()[0].icon, MbIcon::Critical);
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(QFile::exists(helixFile()));

    // Entries are kept; a mended field then goes through.
    fillInternalExample(dlg);
    dlg.txtEndZ->setText("-15x");
    boxes.clear();
    dlg.btnOk->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.saw("inget giltigt tal"));
    EXPECT_FALSE(QFile::exists(helixFile()));
    dlg.txtEndZ->setText("-15");
    dlg.btnOk->click();
    EXPECT_TRUE(QFile::exists(helixFile()));
}

// A comma typed on the main keyboard is a decimal point, and a typo of the
// number characters is named instead of being read as its leading number.
TEST_F(FrmHelixTest, TypedCommaIsADecimalPointAndTyposAreNamed)
{
    frmHelix dlg;
    fillInternalExample(dlg);
    dlg.txtGs->clear();
    type(dlg.txtGs, "1.5.1");
    dlg.btnOk->click();
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Gängstigning: \"1.5.1\" är inget giltigt tal");
    EXPECT_FALSE(QFile::exists(helixFile()));
    dlg.txtGs->clear();
    type(dlg.txtGs, "12,5");
    dlg.txtSafeZ->clear();
    type(dlg.txtSafeZ, "20");
    dlg.btnOk->click();
    const QByteArray program = test::readFile(helixFile());
    EXPECT_TRUE(program.contains("( STIGNING    = 12.5        )\r\n")) << program.constData();
    EXPECT_TRUE(program.contains("G0 Z.625\r\n")); // -15 + 1.25 * 12.5
}

TEST_F(FrmHelixTest, AbortWritesNothing)
{
    frmHelix dlg;
    fillInternalExample(dlg);
    dlg.btnAbort->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(helixFile()));
}

TEST_F(FrmHelixTest, UnwritableTemporaryFolderIsReported)
{
    frmHelix dlg;
    fillInternalExample(dlg);
    const QString old = gsTmpPath;
    gsTmpPath = env.tmpPath() + "/missing/folder";
    dlg.btnOk->click();
    gsTmpPath = old;
    EXPECT_TRUE(boxes.saw("Programmet kunde inte skrivas"));
    EXPECT_NE(dlg.result(), QDialog::Accepted);
}

TEST_F(FrmHelixTest, TextBoxesTakeNumberCharactersAndTheKeypadDecimal)
{
    frmHelix dlg;
    type(dlg.txtGs, "1a,5 x");
    EXPECT_EQ(dlg.txtGs->text(), "1,5");
    QTest::keyClick(dlg.txtGs, Qt::Key_Backspace);
    QTest::keyClick(dlg.txtGs, Qt::Key_Comma, Qt::KeypadModifier);
    EXPECT_EQ(dlg.txtGs->text(), "1,,");
    test::SessionScope::set(&SettingValues::numKbdDec, true);
    dlg.txtGs->setText("1");
    QTest::keyClick(dlg.txtGs, Qt::Key_Comma, Qt::KeypadModifier);
    EXPECT_EQ(dlg.txtGs->text(), "1.");
    // The keypad's own "." leaves nothing behind for a later comma.
    QTest::keyClick(dlg.txtGs, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(dlg.txtGs, Qt::Key_Comma);
    EXPECT_EQ(dlg.txtGs->text(), "1..,");
}

TEST_F(FrmHelixTest, EnterMovesToTheNextField)
{
    frmHelix dlg;
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    dlg.txtGx->setFocus();
    QTest::keyClick(dlg.txtGx, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), dlg.txtGy);
    dlg.txtCompNo->setFocus();
    QTest::keyClick(dlg.txtCompNo, Qt::Key_Enter, Qt::KeypadModifier);
    // "&Ok" is still disabled: the thread type comes next, never "&Avbryt".
    EXPECT_EQ(QApplication::focusWidget(), dlg.GangTyp[0]);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(FrmHelixTest, HelpOpensTopic3320)
{
    frmHelix dlg;
    dlg.btnHelp->click();
    EXPECT_TRUE(boxes.saw("3320"));
}

TEST_F(FrmHelixTest, TranslatedFromTheLanguageFile)
{
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n800=Helix thread\r\n801=Centre X\r\n810=Internal\r\n5=OK\r\n");
    gbNotSwedish = true;
    frmHelix dlg;
    gbNotSwedish = false;
    gsLanguageFile.clear();
    EXPECT_EQ(dlg.windowTitle(), "HELIX THREAD");
    EXPECT_EQ(dlg.lblGx->text(), "Centre X");
    EXPECT_EQ(dlg.GangTyp[0]->text(), "Internal");
    EXPECT_EQ(dlg.btnOk->text(), "OK");
}
