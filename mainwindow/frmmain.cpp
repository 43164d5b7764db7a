#include "mainwindow/frmmain.h"

#include "core/globals.h"
#include "core/inifile.h"
#include "core/paths.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenuBar>
#include <QToolBar>

namespace lumrik {

frmMain::frmMain(const QString &commandLineFile, QWidget *parent)
    : QMainWindow(parent), commandLineFile_(commandLineFile)
{
    setObjectName("frmMain");
    setWindowTitle("Lumrik-32");
    mdiArea = new QMdiArea(this);
    mdiArea->setObjectName("mdiArea");
    setCentralWidget(mdiArea);
    buildMenus();
}

frmMain::~frmMain() = default;

void frmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu("&Arkiv");
    file->setObjectName("mnuFile");
    for (int i = 0; i < 4; ++i) {
        mnuFileMRU[i] = file->addAction(QString());
        mnuFileMRU[i]->setObjectName(QStringLiteral("mnuFileMRU%1").arg(i));
        mnuFileMRU[i]->setVisible(false);
    }
    file->addSeparator();
    QAction *exit = file->addAction("A&vsluta");
    exit->setObjectName("mnuFileExit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *tools = menuBar()->addMenu("&Verktyg");
    tools->setObjectName("mnuTools");
    mnuCompare = tools->addAction("&Jämför filer");
    mnuCompare->setObjectName("mnuCompare");
    mnuCompare->setEnabled(false);
    QMenu *macro = tools->addMenu("&Makro");
    macro->setObjectName("mnuMacro");
    for (int i = 0; i < 10; ++i) {
        mnuSubMacro[i] = macro->addAction(i == 0 ? QStringLiteral("Standard") : QString());
        mnuSubMacro[i]->setObjectName(QStringLiteral("mnuSubMacro%1").arg(i));
        mnuSubMacro[i]->setVisible(i == 0);
        mnuSubMacro[i]->setEnabled(false);
    }

    tbToolBar = addToolBar("Verktygsfält");
    tbToolBar->setObjectName("tbToolBar");
    QAction *fix = tbToolBar->addAction("Jämför");
    fix->setData("Fix");
    fix->setEnabled(false);
}

QAction *frmMain::toolButton(const QString &key) const
{
    for (QAction *a : tbToolBar->actions())
        if (a->data().toString() == key)
            return a;
    return nullptr;
}

void frmMain::applyTexts()
{
    gsTxtInsert = "Infoga";
    gsTxtOverwrite = "Översk.";
    gsTxtRow = "Rad ";
    gsTxtCol = "Kol ";
    gsTxtTotal = "Totalt : ";
    gsTxtRows = " Rader ";
    gsTxtChars = " Tecken ";
    gsUntitled = "NAMNLÖS";
    gsTxtReceiving = "Mottager data...";
}

void frmMain::hideCompareWhenMissing()
{
    if (!RkFileExists(findFileNoCase(gsDataPath, "Vindre.exe"))) {
        if (QAction *fix = toolButton("Fix"))
            fix->setVisible(false);
        mnuCompare->setVisible(false);
    }
}

void frmMain::applyTitle()
{
    if (gTitle.size() > 1)
        setWindowTitle("Lumrik-32 [ " + gTitle + " ]");
    else
        setWindowTitle("Lumrik-32");
}

void frmMain::fillRecentFiles()
{
    for (int i = 0; i < 4; ++i)
        mnuFileMRU[i]->setText(GetIniSetting("Recent Files", QStringLiteral("MRU%1").arg(i)));
    for (int i = 0; i < 4; ++i)
        mnuFileMRU[i]->setVisible(!mnuFileMRU[i]->text().isEmpty());
}

void frmMain::fillMacroMenu()
{
    for (int n = 0; n < 10; ++n) {
        const QString key = QStringLiteral("%1_NAMN").arg(n);
        if (GetIniSetting("MACRO", key).size() > 1) {
            mnuSubMacro[n]->setText(GetIniSetting("MACRO", key, "FEL"));
            mnuSubMacro[n]->setVisible(true);
            gsMacroPath[n] = GetIniSetting("MACRO", QStringLiteral("%1_PATH").arg(n));
        }
    }
}

void frmMain::showAtStart()
{
    if (gFirstStart)
        RkFormFix(this);
    show();
}

void frmMain::closeEvent(QCloseEvent *e)
{
    SaveIniSetting("Settings", "FirstStart", "False");
    e->accept();
}

}
