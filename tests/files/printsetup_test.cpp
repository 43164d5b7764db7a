// The print settings dialog: what it shows from section "Printing", what
// "Spara", "Avbryt" and the font button write, the margin key filter and the
// column preview.
#include "core/errors.h"
#include "core/fonts.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/sessionstate.h"
#include "core/settings.h"
#include "files/frmprintsetup.h"
#include "qtprint.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {

class PrintSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setErrorBoxHook([this](const QString &t) {
            errors << t;
            return true;
        });
        gbNotSwedish = false;
        RkLoadIniSettings();
    }
    void TearDown() override
    {
        setErrorBoxHook({});
        frmPrintSetup::setFontDialogHook({});
        gbNotSwedish = false;
        RkLoadIniSettings();
    }
    QString stored(const char *key) { return GetIniSetting("Printing", key, "<missing>"); }

    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    QStringList errors;
};

}

TEST_F(PrintSetupTest, DefaultsWithoutAPrintingSection)
{
    EXPECT_EQ(test::printNow().font, "Courier New");
    EXPECT_EQ(test::printNow().fontSize, 10);
    EXPECT_FALSE(test::printNow().time);

    frmPrintSetup f;
    EXPECT_EQ(f.objectName(), "frmPrintSetup");
    EXPECT_EQ(f.windowTitle(), "Skrivare inställningar");
    EXPECT_EQ(f.txtTopMargin->text(), "20");
    EXPECT_EQ(f.txtBottomMargin->text(), "20");
    EXPECT_EQ(f.txtLeftMargin->text(), "40");
    EXPECT_EQ(f.txtRightMargin->text(), "20");
    EXPECT_EQ(f.cmbColumns->currentText(), "1");
    EXPECT_FALSE(f.chkPrintBoldComments->isChecked());
    EXPECT_FALSE(f.chkPrintItalicComments->isChecked());
    EXPECT_FALSE(f.img1Col[1]->isHidden());
    EXPECT_TRUE(f.img1Col[2]->isHidden());
    EXPECT_TRUE(f.img1Col[3]->isHidden());
    EXPECT_TRUE(f.findChild<QPushButton *>("cmdPrintFont"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PrintSetupTest, SaveWritesValuesAndVariablesAndCloses)
{
    env.write("lumrik32.INI", "[Printing]\r\nTopMargin=15\r\nColumns=3\r\nBoldComment=True\r\n");
    RkLoadIniSettings();
    frmPrintSetup f;
    f.show();
    EXPECT_EQ(f.txtTopMargin->text(), "15");
    EXPECT_TRUE(f.chkPrintBoldComments->isChecked());
    // The preview follows the stored number of columns, and every choice.
    EXPECT_FALSE(f.img1Col[3]->isHidden());
    f.cmbColumns->setCurrentIndex(1);
    EXPECT_FALSE(f.img1Col[2]->isHidden());
    EXPECT_TRUE(f.img1Col[1]->isHidden() && f.img1Col[3]->isHidden());

    f.txtLeftMargin->setText("25");
    f.chkPrintBoldComments->setChecked(false);
    f.cmdSave->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Accepted);
    EXPECT_EQ(stored("TopMargin"), "15");
    EXPECT_EQ(stored("BottomMargin"), "20");
    EXPECT_EQ(stored("LeftMargin"), "25");
    EXPECT_EQ(stored("RightMargin"), "20");
    EXPECT_EQ(stored("Columns"), "2");
    EXPECT_EQ(stored("BoldComment"), "False");
    // Written even when it was missing before.
    EXPECT_EQ(stored("ItalicComment"), "False");
    EXPECT_EQ(test::printNow().topMargin, 15);
    EXPECT_EQ(test::printNow().leftMargin, 25);
    EXPECT_EQ(test::printNow().columns, 2);
    EXPECT_FALSE(test::printNow().boldComments);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PrintSetupTest, CancelKeepsEverythingButAChosenFont)
{
    QFont offered;
    frmPrintSetup::setFontDialogHook([&](QWidget *, QFont &font) {
        offered = font;
        font = QFont("DejaVu Sans Mono");
        font.setPointSizeF(11.5);
        return true;
    });
    frmPrintSetup f;
    f.show();
    f.txtTopMargin->setText("99");
    f.cmdPrintFont->click();
    // "Courier New" is not installed here: the dialog opens on the font that prints.
    EXPECT_EQ(offered.family(), RkFixedFontFamily("Courier New"));
    EXPECT_TRUE(QFontInfo(offered).fixedPitch());
    EXPECT_EQ(offered.pointSize(), 10);
    f.cmdCancel->click();
    EXPECT_EQ(f.result(), QDialog::Rejected);
    // The font is saved at once; halves round to even.
    EXPECT_EQ(test::printNow().font, "DejaVu Sans Mono");
    EXPECT_EQ(test::printNow().fontSize, 12);
    EXPECT_EQ(stored("PrinterFont"), "DejaVu Sans Mono");
    EXPECT_EQ(stored("PrinterFontSize"), "12");
    EXPECT_EQ(stored("TopMargin"), "<missing>");
    EXPECT_EQ(test::printNow().topMargin, 20);

    // A cancelled font dialog changes nothing.
    frmPrintSetup::setFontDialogHook([](QWidget *, QFont &font) {
        font = QFont("Other");
        return false;
    });
    frmPrintSetup g;
    g.cmdPrintFont->click();
    EXPECT_EQ(test::printNow().font, "DejaVu Sans Mono");
    EXPECT_EQ(stored("PrinterFont"), "DejaVu Sans Mono");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PrintSetupTest, MarginBoxesTakeDigitsOnly)
{
    frmPrintSetup f;
    f.show();
    f.txtTopMargin->clear();
    f.txtTopMargin->setFocus();
    QTest::keyClicks(f.txtTopMargin, "1a2,-");
    EXPECT_EQ(f.txtTopMargin->text(), "12");
    QTest::keyClick(f.txtTopMargin, Qt::Key_Backspace);
    EXPECT_EQ(f.txtTopMargin->text(), "1");
}

TEST_F(PrintSetupTest, AnInvalidValueIsToldAndNothingIsWritten)
{
    frmPrintSetup f;
    f.show();
    f.txtTopMargin->setText("12");
    f.txtBottomMargin->setText("13");
    f.txtLeftMargin->clear();
    f.txtRightMargin->setText("14");
    f.cmdSave->click();
    // Every value is checked before any is written; the dialog stays open
    // with what the user typed.
    EXPECT_TRUE(f.isVisible());
    // A wrong value is no fault of the program: a plain message names it.
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(boxes.saw(QString::fromUtf8("Marginalen Vänster")));
    for (const char *key : {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin", "Columns", "BoldComment"})
        EXPECT_EQ(stored(key), "<missing>") << key;
    EXPECT_EQ(test::printNow().topMargin, 20);
    EXPECT_EQ(test::printNow().bottomMargin, 20);
    EXPECT_EQ(f.txtTopMargin->text(), "12");
    // Mended, it saves and closes.
    f.txtLeftMargin->setText("30");
    f.cmdSave->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(stored("LeftMargin"), "30");
    EXPECT_EQ(test::printNow().leftMargin, 30);

    // Zero columns is not a layout: the margins before it are not written either.
    errors.clear();
    frmPrintSetup g;
    g.show();
    g.txtTopMargin->setText("5");
    g.cmbColumns->setCurrentText("0");
    g.cmdSave->click();
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(boxes.saw("Antal spalter"));
    EXPECT_EQ(stored("Columns"), "1");
    EXPECT_EQ(stored("TopMargin"), "12");
    EXPECT_TRUE(g.isVisible());
}

TEST_F(PrintSetupTest, AFailedWriteKeepsTheDialogOpen)
{
    frmPrintSetup f;
    f.show();
    f.txtTopMargin->setText("15");
    {
        // The disk is full: the settings file cannot be written.
        test::FileSizeLimit full(8);
        ASSERT_TRUE(full.active());
        f.cmdSave->click();
    }
    EXPECT_TRUE(boxes.saw("Fel vid skrivning till INI-fil"));
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.txtTopMargin->text(), "15");
    EXPECT_EQ(test::printNow().topMargin, 20);
    // Writable again, the same values save.
    f.cmdSave->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(stored("TopMargin"), "15");
}

TEST_F(PrintSetupTest, AStoredTruthValueThatIsNoneStopsLoading)
{
    env.write("lumrik32.INI", "[Printing]\r\nBoldComment=kanske\r\nItalicComment=True\r\n");
    frmPrintSetup f;
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(boxes.saw("kanske"));
    EXPECT_FALSE(f.chkPrintBoldComments->isChecked());
    // Loading stopped there: the italic box was not filled.
    EXPECT_FALSE(f.chkPrintItalicComments->isChecked());
    // Numbers read as truth values.
    errors.clear();
    env.write("lumrik32.INI", "[Printing]\r\nBoldComment=-1\r\nItalicComment=0\r\n");
    frmPrintSetup g;
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(g.chkPrintBoldComments->isChecked());
    EXPECT_FALSE(g.chkPrintItalicComments->isChecked());
}

TEST_F(PrintSetupTest, TextsFromTheLanguageFile)
{
    gsLanguageFile = env.write("lang.lng", "[LANGUAGE]\r\n1555=Printer settings\r\n325=bold comments\r\n"
                                           "1560=Top:\r\n1550=Margins\r\n");
    gbNotSwedish = true;
    frmPrintSetup f;
    EXPECT_EQ(f.windowTitle(), "PRINTER SETTINGS");
    EXPECT_EQ(f.chkPrintBoldComments->text(), "bold comments");
    EXPECT_EQ(f.cmdSave->text(), "Spara");
    gbNotSwedish = false;
    gsLanguageFile.clear();
}

TEST_F(PrintSetupTest, AnObserverOfThePrintSettingsSeesWhatSparaAndTheFontButtonChoose)
{
    PrintValues seen;
    QObject observer;
    QObject::connect(&programSession().print(), &PrintSettings::changed, &observer,
                     [&] { seen = programSession().print().values(); });
    frmPrintSetup f;
    f.show();
    frmPrintSetup::setFontDialogHook([](QWidget *, QFont &font) {
        font = QFont(QStringLiteral("DejaVu Sans Mono"), 13);
        return true;
    });
    f.findChild<QPushButton *>("cmdPrintFont")->click();
    EXPECT_EQ(seen.font, "DejaVu Sans Mono");
    EXPECT_EQ(seen.fontSize, 13);
    f.txtRightMargin->setText("33");
    f.chkPrintItalicComments->setChecked(true);
    f.cmdSave->click();
    EXPECT_EQ(seen.rightMargin, 33);
    EXPECT_TRUE(seen.italicComments);
    EXPECT_EQ(seen.font, "DejaVu Sans Mono");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(PrintSetupTest, TheDialogChangesThePrintSettingsItIsGiven)
{
    const PrintValues program = programSession().print().values();
    PrintSettings own;
    own.set(program);
    QSignalSpy spy(&own, &PrintSettings::changed);
    frmPrintSetup f(own);
    f.show();
    f.txtTopMargin->setText("44");
    f.cmdSave->click();
    EXPECT_EQ(stored("TopMargin"), "44");
    EXPECT_EQ(own.values().topMargin, 44);
    EXPECT_GE(spy.count(), 1);
    EXPECT_TRUE(programSession().print().values() == program);
    EXPECT_TRUE(errors.isEmpty());
}
