// The editor settings dialog: what it shows from the settings file, the keys
// Apply writes for each control, the settings variables afterwards, Cancel,
// the file-type list, the font and colour choices, the open documents and the
// macro import through the dialog.
#include "core/fonts.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/frmeditsetup.h"
#include "documents/host.h"
#include "sessionscope.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace lumrik;

namespace {

// Every settings variable the dialog sets, given back afterwards.
struct VariablesGuard {
    test::SessionScope session; // the settings, print settings and macro folders
    bool notSw = gbNotSwedish;
    ~VariablesGuard() { gbNotSwedish = notSw; }
};

// The main window as the documents library sees it: open documents, and the
// menu items the dialog reaches by name.
class Host : public DocumentHost {
public:
    QMainWindow window;
    QList<frmDocument *> docs;
    QAction *autoColor = nullptr;
    std::array<QAction *, 10> macro{};

    Host()
    {
        QMenu *view = window.menuBar()->addMenu("Visa");
        autoColor = view->addAction("Automatisk färgkodning");
        autoColor->setObjectName("mnuViewAutoColorNC");
        autoColor->setCheckable(true);
        QMenu *m = window.menuBar()->addMenu("Macro");
        for (int i = 0; i < 10; ++i) {
            macro[size_t(i)] = m->addAction(i == 0 ? "Standard" : "");
            macro[size_t(i)]->setObjectName(QString("mnuSubMacro%1").arg(i));
            macro[size_t(i)]->setVisible(i == 0);
        }
        setDocumentHost(this);
    }
    ~Host() override
    {
        setDocumentHost(nullptr);
        qDeleteAll(docs);
    }
    QWidget *mainWidget() override { return &window; }
    frmDocument *activeDocument() override { return docs.isEmpty() ? nullptr : docs.last(); }
    QList<frmDocument *> documents() override { return docs; }
    void MnUpdateValidSelections(bool) override {}
    void RkUpdateValidSelections() override {}
    void setStatusPanel(int, const QString &) override {}
    QString statusPanel(int) const override { return {}; }
    void setSaveButtonsEnabled(bool) override {}
    void showDocumentPopup(const QPoint &, bool, bool) override {}
    void Arrange(int) override {}
};

class EditSetupTest : public ::testing::Test {
protected:
    VariablesGuard guard;
    test::TempEnv env;
    test::MsgBoxRecorder boxes;
    Host host;

    void SetUp() override
    {
        gbNotSwedish = false;
        test::SessionScope::settings([this](SettingValues &v) {
            v.textFont = "Courier New";
            v.textFontSize = 12;
            v.textColor = 0;
            v.textBackColor = 0xFFFFFF;
            v.showFileExt = "*.*";
            v.showFileExtText = "Alla filer (*.*)";
            v.kalmeroPath = env.path("LMK");
        });
        test::SessionScope::print([](PrintValues &p) {
            p.font = "Courier New";
            p.fontSize = 10;
        });
        test::SessionScope::macroFolders([](MacroFolderValues &f) { f = {}; });
        env.write("lumrik32.INI", "[Settings]\r\nLastCnc=MILL\r\n");
    }
    void TearDown() override { resetEditSetupDialogs(); }

    QString key(const char *k, const char *section = "Settings") const { return GetIniSetting(section, k, "<saknas>"); }
    QByteArray settings() const { return test::readFile(env.path("lumrik32.INI")); }
    static QStringList rows(const frmEditSetup &d)
    {
        QStringList out;
        for (int i = 0; i < d.lvExtensions->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *it = d.lvExtensions->topLevelItem(i);
            out << it->text(0) + "|" + it->text(1) + (it->checkState(0) == Qt::Checked ? "|x" : "");
        }
        return out;
    }
};

}

TEST_F(EditSetupTest, ControlsCarryTheirNamesCaptionsAndTabs)
{
    frmEditSetup d(test::testSession(), &host.window);
    EXPECT_EQ(d.objectName(), "frmEditSetup");
    EXPECT_EQ(d.windowTitle(), "Inställningar Editor");
    ASSERT_EQ(d.tabSetup->count(), 6);
    const QStringList tabs{"&Editor", "&Font och färg", "&Options", "&Macro", "&Plugin's", "&Övrigt"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(d.tabSetup->tabText(i), tabs[i]);
    for (const char *n : {"chkNumberSort", "chkScanComments", "chkShowAllfiles", "chkNoBackground",
                          "chkAllwaysShowScrollbar", "chkUpperCase", "chkNumKbdDec", "chkSaveAsUnix", "chkColorISO",
                          "chkKollegieBlock", "ChkTileHorisontal", "chkPrintTime", "chkExtraCommports"})
        EXPECT_NE(d.findChild<QCheckBox *>(n), nullptr) << n;
    for (const char *n : {"cmdEditFontSel", "cmdEditBackGround", "btnBowseForKalmeroDir", "cmdImportFrom", "cmdImport",
                          "cmdSetupPlugin", "cmdRegPlugins", "cmdDeviceManager", "cmdOK", "cmdCancel", "cmdApply"})
        EXPECT_NE(d.findChild<QPushButton *>(n), nullptr) << n;
    for (const char *n : {"txtToolListChrs", "txdPathToKalmero", "txtDecCheckChrs", "txtImportFrom"})
        EXPECT_NE(d.findChild<QLineEdit *>(n), nullptr) << n;
    EXPECT_EQ(d.txtImportFrom->text(), "D:\\MAKRON");
    EXPECT_EQ(d.frmDecimalkoll->title(), "Kontroll av Decimalpunkt");
    EXPECT_EQ(d.cmdApply->text(), "&Verkställ");
    // The plug-in list is filled when the dialog loads.
    EXPECT_TRUE(d.lvPluginList->isEnabled());
    EXPECT_TRUE(d.cmdRegPlugins->isEnabled());
    EXPECT_EQ(d.lvPluginList->headerItem()->text(2), "Beskrivning");
}

TEST_F(EditSetupTest, LanguageFileTranslatesTheDialog)
{
    env.write("Lumrik32.LNG", "[LANGUAGE]\r\n299=Editor settings\r\n370=&Editor\r\n371=&Font and colour\r\n"
                              "303=Sort file names numerically.\r\n388=Import\r\n1511=Name\r\n");
    gsLanguageFile = env.path("Lumrik32.LNG");
    gbNotSwedish = true;
    frmEditSetup d(test::testSession(), &host.window);
    EXPECT_EQ(d.windowTitle(), "EDITOR SETTINGS");
    EXPECT_EQ(d.tabSetup->tabText(1), "&Font and colour");
    EXPECT_EQ(d.chkNumberSort->text(), "Sort file names numerically.");
    EXPECT_EQ(d.cmdImport->text(), "Import");
    EXPECT_EQ(d.lvPluginList->headerItem()->text(0), "Name");
    gsLanguageFile.clear();
}

TEST_F(EditSetupTest, LoadingShowsTheStoredValuesAndTheirDefaults)
{
    {
        frmEditSetup d(test::testSession(), &host.window);
        EXPECT_FALSE(d.chkNumberSort->isChecked());
        EXPECT_TRUE(d.chkShowAllfiles->isChecked());
        EXPECT_TRUE(d.ChkTileHorisontal->isChecked()); // "DefaultTile" defaults to "1" here
        EXPECT_TRUE(d.chkColorISO->isChecked());
        EXPECT_FALSE(d.chkKollegieBlock->isChecked());
        EXPECT_EQ(d.txtToolListChrs->text(), "T");
        EXPECT_EQ(d.txtDecCheckChrs->text(), "");
        EXPECT_EQ(d.txdPathToKalmero->text(), test::settingsNow().kalmeroPath);
        EXPECT_EQ(rows(d), (QStringList{"*.*|Alla filer (*.*)|x"}));
    }
    env.write("lumrik32.INI", "[settings]\r\nnumbersort=TRUE\r\nShowAllFiles=False\r\nDefaultTile=2\r\n"
                              "AutoColor=0\r\nKollegieBlock=-1\r\nRullningsList=True\r\nToolListChrs=T,M6\r\n"
                              "DecCheckChrs=XYZ\r\nNoBackground=true\r\nSaveAsUnix=True\r\nUpperCase=nonsens\r\n"
                              "[Printing]\r\nPrintTime=True\r\n[Options]\r\nComPorts=16\r\n");
    frmEditSetup d(test::testSession(), &host.window);
    EXPECT_TRUE(d.chkNumberSort->isChecked());
    EXPECT_FALSE(d.chkShowAllfiles->isChecked());
    EXPECT_FALSE(d.ChkTileHorisontal->isChecked());
    EXPECT_FALSE(d.chkColorISO->isChecked());
    EXPECT_TRUE(d.chkKollegieBlock->isChecked());
    EXPECT_TRUE(d.chkAllwaysShowScrollbar->isChecked());
    EXPECT_TRUE(d.chkNoBackground->isChecked());
    EXPECT_TRUE(d.chkSaveAsUnix->isChecked());
    EXPECT_FALSE(d.chkUpperCase->isChecked()); // unreadable: the default
    EXPECT_TRUE(d.chkPrintTime->isChecked());
    EXPECT_FALSE(d.chkExtraCommports->isChecked()); // never read
    EXPECT_EQ(d.txtToolListChrs->text(), "T,M6");
    EXPECT_EQ(d.txtDecCheckChrs->text(), "XYZ");
    // Loading does not touch the main window's menu.
    EXPECT_FALSE(host.autoColor->isChecked());
}

TEST_F(EditSetupTest, FileTypesFromFiltersWithTheCurrentOneTicked)
{
    env.write("lumrik32.INI", "[Filters]\r\n1_Name=Alla filer\r\n1_Filter=*.*\r\n2_Name=NC-program\r\n"
                              "2_Filter=*.NC\r\n3_Filter=*.X\r\n5_Name=Heidenhain\r\n5_Filter=*.H\r\n");
    test::SessionScope::set(&SettingValues::showFileExt, "*.NC");
    frmEditSetup d(test::testSession(), &host.window);
    EXPECT_EQ(rows(d), (QStringList{"*.*|Alla filer", "*.NC|NC-program|x", "*.H|Heidenhain"}));

    // Ticking another row unticks the first and sets the variables at once.
    d.lvExtensions->topLevelItem(2)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(rows(d), (QStringList{"*.*|Alla filer", "*.NC|NC-program", "*.H|Heidenhain|x"}));
    EXPECT_EQ(test::settingsNow().showFileExt, "*.H");
    EXPECT_EQ(test::settingsNow().showFileExtText, "Heidenhain");
    // Unticking the ticked row keeps it ticked.
    d.lvExtensions->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(rows(d)[2], "*.H|Heidenhain|x");

    d.cmdApply->click();
    EXPECT_EQ(key("ShowFileExt"), "*.H");
    EXPECT_EQ(key("ShowFileExtText"), "Heidenhain");
}

TEST_F(EditSetupTest, ApplyWritesEveryKeyAndSetsTheVariables)
{
    QDir().mkpath(env.path("LMK"));
    test::writeFile(env.path("LMK/kalmero32.exe"), "x");
    frmEditSetup d(test::testSession(), &host.window);
    d.chkNumberSort->setChecked(true);
    d.chkShowAllfiles->setChecked(false);
    d.chkSaveAsUnix->setChecked(true);
    d.chkNumKbdDec->setChecked(true);
    d.chkUpperCase->setChecked(true);
    d.chkKollegieBlock->setChecked(true);
    d.chkAllwaysShowScrollbar->setChecked(true);
    d.chkScanComments->setChecked(true);
    d.ChkTileHorisontal->setChecked(false);
    d.chkPrintTime->setChecked(true);
    d.chkNoBackground->setChecked(true);
    d.chkColorISO->setChecked(true);
    d.txtToolListChrs->setText("  T,M6 ");
    d.txtDecCheckChrs->setText("  xyz ij ");
    d.cmdApply->click();

    EXPECT_EQ(key("AutoColor"), "1");
    EXPECT_EQ(key("KalmeroPath"), "[exedir]\\LMK");
    EXPECT_EQ(key("NumberSort"), "True");
    EXPECT_EQ(key("ShowAllFiles"), "False");
    EXPECT_EQ(key("SaveAsUnix"), "True");
    EXPECT_EQ(key("NumKbdDec"), "True");
    EXPECT_EQ(key("UpperCase"), "True");
    EXPECT_EQ(key("EditFont"), "Courier New");
    EXPECT_EQ(key("EditFontSize"), "12");
    EXPECT_EQ(key("EditFontColor"), "0");
    EXPECT_EQ(key("EditBackColor"), "16777215");
    EXPECT_EQ(key("KollegieBlock"), "True");
    EXPECT_EQ(key("RullningsList"), "True");
    EXPECT_EQ(key("ScanComment"), "True");
    EXPECT_EQ(key("DefaultTile"), "2");
    EXPECT_EQ(key("PrinterFont", "Printing"), "Courier New");
    EXPECT_EQ(key("PrinterFontSize", "Printing"), "10");
    EXPECT_EQ(key("PrintTime", "Printing"), "True");
    EXPECT_EQ(key("ToolListChrs"), "T,M6");
    EXPECT_EQ(key("DecCheckChrs"), "XYZ IJ");
    EXPECT_EQ(d.txtDecCheckChrs->text(), "XYZ IJ");
    EXPECT_EQ(key("ComPorts", "Options"), "<saknas>");
    EXPECT_EQ(key("NoBackground"), "True");
    EXPECT_EQ(key("ShowFileExt"), "*.*");
    EXPECT_EQ(key("ShowFileExtText"), "Alla filer (*.*)");
    EXPECT_EQ(key("LastCnc"), "MILL"); // other keys stay

    EXPECT_EQ(test::settingsNow().kalmeroPath, env.path("LMK"));
    EXPECT_TRUE(test::settingsNow().useKalmero);
    EXPECT_TRUE(test::settingsNow().numberSort);
    EXPECT_FALSE(test::settingsNow().showAllFiles);
    EXPECT_EQ(test::settingsNow().saveAsUnixType, 2);
    EXPECT_TRUE(test::settingsNow().numKbdDec);
    EXPECT_TRUE(test::settingsNow().upperCase);
    EXPECT_TRUE(test::settingsNow().kollegieBlock);
    EXPECT_EQ(test::settingsNow().scrollbarShow, 2);
    EXPECT_TRUE(test::settingsNow().scanComment);
    EXPECT_EQ(test::settingsNow().defaultTile, "2");
    EXPECT_TRUE(test::printNow().time);
    EXPECT_EQ(test::settingsNow().toolListChrs, "T,M6");
    EXPECT_EQ(test::settingsNow().decCheckBlockChars, "XYZ IJ");
    EXPECT_TRUE(test::settingsNow().noBack);

    // The opposite of every box.
    for (QCheckBox *c : d.findChildren<QCheckBox *>())
        if (c != d.chkExtraCommports)
            c->setChecked(!c->isChecked());
    d.txdPathToKalmero->setText(env.path("annan"));
    d.cmdApply->click();
    EXPECT_EQ(key("AutoColor"), "0");
    EXPECT_EQ(key("DefaultTile"), "1");
    EXPECT_EQ(key("NumberSort"), "False");
    EXPECT_EQ(key("RullningsList"), "False");
    EXPECT_EQ(key("KalmeroPath"), "[exedir]\\annan");
    EXPECT_EQ(test::settingsNow().saveAsUnixType, 1);
    EXPECT_EQ(test::settingsNow().scrollbarShow, 4);
    EXPECT_EQ(test::settingsNow().defaultTile, "1");
    EXPECT_FALSE(test::settingsNow().useKalmero);
}

TEST_F(EditSetupTest, ExtraComPortsIsWrittenOnlyWhenTicked)
{
    env.write("lumrik32.INI", "[Options]\r\nComPorts=16\r\n");
    frmEditSetup d(test::testSession(), &host.window);
    d.cmdApply->click();
    EXPECT_EQ(key("ComPorts", "Options"), "16");

    env.write("lumrik32.INI", "[Options]\r\nComPorts=4\r\n");
    d.chkExtraCommports->setChecked(true);
    d.cmdApply->click();
    EXPECT_EQ(key("ComPorts", "Options"), "16");
}

TEST_F(EditSetupTest, CancelWritesNothingButKeepsTheFontChoice)
{
    editSetupDialogs().chooseFont = [](QWidget *, QString &family, int &size, int &colour) {
        // The dialog opens on the font the editor shows, not on a missing one.
        EXPECT_EQ(family, RkFixedFontFamily("Courier New"));
        EXPECT_EQ(size, 12);
        family = "DejaVu Sans Mono";
        size = 14;
        colour = 255;
        return true;
    };
    editSetupDialogs().chooseColor = [](QWidget *, int &colour) {
        EXPECT_EQ(colour, 0xFFFFFF);
        colour = 0xE0FFFF;
        return true;
    };
    const QByteArray before = settings();
    frmEditSetup d(test::testSession(), &host.window);
    d.chkNumberSort->setChecked(true);
    d.txtDecCheckChrs->setText("abc");
    d.cmdEditFontSel->click();
    d.cmdEditBackGround->click();
    d.cmdCancel->click();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(test::settingsNow().numberSort);
    // The choices made stay for documents opened later.
    EXPECT_EQ(test::settingsNow().textFont, "DejaVu Sans Mono");
    EXPECT_EQ(test::settingsNow().textFontSize, 14);
    EXPECT_EQ(test::settingsNow().textColor, 255);
    EXPECT_EQ(test::settingsNow().textBackColor, 0xE0FFFF);
}

TEST_F(EditSetupTest, OkAppliesToEveryOpenDocument)
{
    test::SessionScope::set(&SettingValues::scrollbarShow, 4);
    for (int i = 0; i < 3; ++i)
        host.docs << new frmDocument;
    editSetupDialogs().chooseFont = [](QWidget *, QString &family, int &size, int &colour) {
        family = "DejaVu Sans Mono";
        size = 15;
        colour = 0x0000FF; // red
        return true;
    };
    editSetupDialogs().chooseColor = [](QWidget *, int &colour) {
        colour = 0x00FF00;
        return true;
    };
    frmEditSetup d(test::testSession(), &host.window);
    d.cmdEditFontSel->click();
    d.cmdEditBackGround->click();
    d.chkAllwaysShowScrollbar->setChecked(true);
    d.cmdOK->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(key("EditFont"), "DejaVu Sans Mono");
    EXPECT_EQ(key("EditFontSize"), "15");
    EXPECT_EQ(key("EditFontColor"), "255");
    EXPECT_EQ(key("EditBackColor"), "65280");
    for (frmDocument *doc : host.docs) {
        EXPECT_EQ(doc->txtText->Font(), "DejaVu Sans Mono");
        EXPECT_EQ(doc->txtText->FontSize(), 15);
        EXPECT_EQ(doc->txtText->ForeColor(), QColor(255, 0, 0));
        EXPECT_EQ(doc->txtText->BackColor(), QColor(0, 255, 0));
        EXPECT_EQ(doc->txtText->ScrollBars(), 2);
    }
}

TEST_F(EditSetupTest, AutoColourBoxDrivesTheMenuAtOnce)
{
    frmEditSetup d(test::testSession(), &host.window);
    ASSERT_TRUE(d.chkColorISO->isChecked());
    d.chkColorISO->click();
    EXPECT_FALSE(host.autoColor->isChecked());
    d.chkColorISO->click();
    EXPECT_TRUE(host.autoColor->isChecked());
    // Without an owner the document host's main window is used.
    frmEditSetup orphan(test::testSession());
    orphan.chkColorISO->click();
    EXPECT_FALSE(host.autoColor->isChecked());
}

TEST_F(EditSetupTest, FolderChoicesFillTheirBoxes)
{
    QStringList prompts;
    QString answer;
    editSetupDialogs().browseFolder = [&](const QString &prompt, QWidget *, const QString &start) {
        prompts << prompt + "|" + start;
        return answer;
    };
    env.write("lumrik32.INI", "[Settings]\r\n");
    frmEditSetup d(test::testSession(), &host.window);
    d.txdPathToKalmero->setText("[exedir]/LMK");
    answer = "";
    d.btnBowseForKalmeroDir->click();
    EXPECT_EQ(d.txdPathToKalmero->text(), "[exedir]/LMK"); // cancelled
    answer = "[exedir]/Ny";
    d.btnBowseForKalmeroDir->click();
    EXPECT_EQ(d.txdPathToKalmero->text(), env.path("Ny"));
    EXPECT_EQ(prompts.first(), "Ange sökväg till programmet Pendrof.Exe|" + env.path("LMK"));

    answer = "/media/usb/MAKRON";
    d.cmdImportFrom->click();
    EXPECT_EQ(d.txtImportFrom->text(), "/media/usb/MAKRON");
    EXPECT_EQ(prompts.last(), "Ange sökväg till macron.|D:\\MAKRON");
}

TEST_F(EditSetupTest, ImportThroughTheDialogShowsThePackageAndFillsTheMenu)
{
    const QString pkg = env.tmpPath() + "/MAKRON";
    QDir().mkpath(pkg);
    test::writeFile(pkg + "/MACRO.INI", "[MACRO]\r\nMACROPATH=Macron\\Haas\r\nMACROCNC=HAAS VF2\r\n");
    test::writeFile(pkg + "/BORR.NCM", "N10 G81\r\n");
    frmEditSetup d(test::testSession(), &host.window);
    d.txtImportFrom->setText(pkg);
    d.cmdImport->click();
    EXPECT_EQ(d.lblSavePath->text(), "Macron\\Haas");
    EXPECT_EQ(d.lblCncName->text(), "HAAS VF2");
    EXPECT_EQ(host.macro[0]->text(), "HAAS VF2");
    EXPECT_TRUE(host.macro[0]->isVisible());
    EXPECT_EQ(test::macroFoldersNow()[0], "Macron\\Haas");
    EXPECT_TRUE(boxes.saw("Import av macro genomförd. 2 filer."));

    // The same package again is an upgrade of entry 0.
    boxes.clear();
    boxes.answer(MbNo);
    d.cmdImport->click();
    EXPECT_TRUE(boxes.saw("HAAS VF2 finns redan, uppgradera??"));
    EXPECT_FALSE(host.macro[1]->isVisible());
}
