#include "mainwindow/mainlanguage.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/toolbarlayout.h"

#include <QAction>
#include <QMenu>

namespace lumrik {

const std::vector<MenuText> &mainMenuTexts()
{
    static const std::vector<MenuText> t = {
        {101, "mnuFile", "&Arkiv"},
        {102, "mnuFileNew", "&Nytt"},
        {103, "mnuFileOpen", "&Öppna..."},
        {104, "mnuFileClose", "&Stäng"},
        {105, "mnuFileCloseAll", "Stäng &alla"},
        {106, "mnuFileSave", "&Spara"},
        {107, "mnuFileSaveAs", "Spara &som..."},
        {108, "mnuFilePrint", "&Utskrift..."},
        {1480, "mnuFilePrintSetup", "Skrivare &inställningar..."},
        {109, "mnuEditSetup", "&Inställningar Editor..."},
        {110, "mnuCncSetup", "Inställningar &CNC..."},
        {111, "mnuFileExit", "A&vsluta"},
        {112, "mnuMacro", "&Macro..."},
        {113, "mnuNcOptions", "&NcOption"},
        {201, "mnuEdit", "&Redigera"},
        {202, "mnuEditUndo", "&Ångra"},
        {203, "mnuEditCut", "&Klipp ut"},
        {204, "mnuEditCopy", "&Kopiera"},
        {205, "mnuEditPaste", "Klistra &In"},
        {1481, "mnuEditDelete", "Ta bort"},
        {206, "mnuEditMarkAll", "Markera &allt"},
        {207, "mnuEditFind", "&Sök  "},
        {208, "mnuEditReplace", "Sök &Ersätt"},
        {221, "mnuView", "&Visa"},
        {222, "mnuViewToolbar", "&Verktygslist"},
        {223, "mnuViewStatusBar", "&Statuslist"},
        {225, "mnuViewLines", "&Linjerad bakgrund"},
        {226, "mnuViewBoldComments", "&Färglägg program"},
        {230, "mnuNcOptionsOmnum", "&Omnumrering..."},
        {231, "mnuNcOptionsToolList", "&Skapa T-Lista"},
        {232, "mnuOptionKalmero", "&Kalmero..."},
        {233, "mnuHelix", "&Gängfräsning..."},
        {234, "mnuBult", "&BultHål..."},
        {235, "mnuUnderProg", "&UnderProg..."},
        {236, "mnuCompare", "&Jämför..."},
        {1482, "mnuViewXYZ", "&Visa XYZ område..."},
        {1483, "mnuViewColorNC", "&Färgkoda ISO funktioner"},
        {1484, "mnuViewClearchars", "&Rensa tecken"},
        {1485, "mnuViewUnPack", "&Infoga mellanrum"},
        {1486, "mnuViewPack", "&Ta bort mellanrum"},
        {1487, "mnuViewUppercase", "Allt &VERSALER"},
        {1488, "mnuOptionSkardata", "&Skärdata..."},
        {700, "mnuTxdRxd", "&Kommunikation"},
        {701, "mnuTxd2Cnc", "&Sänd till CNC..."},
        {702, "mnuRxdFromCnc", "&Hämta från CNC"},
        {250, "mnuWindow", "&Fönster"},
        {251, "mnuWindowCascade", "&Överlappande"},
        {252, "mnuWindowTileHorizontal", "Ö&ver och under"},
        {253, "mnuWindowTileVertical", "&Sida vid sida"},
        {260, "mnuHelp", "&Hjälp"},
        {264, "mnuHelpAbout", "&Om Lumrik..."},
        {270, "mnuPopCopy", "&Kopiera"},
        {271, "mnuPopPaste", "Klistra &In"},
        {272, "mnuPopCut", "&Klipp Ut"},
        {273, "mnuPopSearch", "&Sök           CTRL+F"},
        {274, "mnuPopSearchNext", "Sök &Nästa "},
        {275, "mnuColorIt", "Färglägg     F12"},
    };
    return t;
}

const std::vector<ToolTipText> &mainToolTipTexts()
{
    using namespace tooltip;
    static const std::vector<ToolTipText> t = {
        {120, "New", New},          {121, "Open", Open},         {122, "Save", Save},
        {123, "Print", Print},      {124, "Cut", Cut},           {125, "Copy", Copy},
        {126, "Paste", Paste},      {127, "Txd2Cnc", Send},      {128, "RxdFromCnc", Receive},
        {129, "ColorIt", ColorIt},  {130, "Kalmero", Kalmero},   {131, "Fix", Compare},
        {132, "SplitV", SplitV},    {133, "SplitH", SplitH},     {134, "NoSplit", NoSplit},
    };
    return t;
}

QString builtInCaption(const char *name)
{
    for (const MenuText &m : mainMenuTexts())
        if (qstrcmp(m.name, name) == 0)
            return QString::fromUtf8(m.swedish);
    return {};
}

void setBuiltInWords()
{
    WordValues w;
    w.insert = QStringLiteral("Infoga");
    w.overwrite = QStringLiteral("Översk.");
    w.row = QStringLiteral("Rad ");
    w.col = QStringLiteral("Kol ");
    w.total = QStringLiteral("Totalt : ");
    w.rows = QStringLiteral(" Rader ");
    w.chars = QStringLiteral(" Tecken ");
    w.untitled = QStringLiteral("NAMNLÖS");
    w.receiving = QStringLiteral("Mottager data...");
    programSession().words().set(w);
}

void SetMainFormLanguage()
{
    SetMainFormLanguage(frmMain::instance());
}

void SetMainFormLanguage(frmMain *window)
{
    RkGuard("SetMainFormLanguage()", [&] {
        if (!window)
            throw RkError(91, QStringLiteral("Objektvariabeln är inte angiven"));
        for (const MenuText &m : mainMenuTexts())
            if (QAction *a = window->menuAction(QString::fromLatin1(m.name)))
                a->setText(RkGetLanguage(m.id));
        for (const ToolTipText &t : mainToolTipTexts())
            if (QAction *b = window->toolButton(QString::fromUtf8(t.key)))
                b->setToolTip(RkGetLanguage(t.id));
        WordValues w;
        w.insert = RkGetLanguage(1010);
        w.overwrite = RkGetLanguage(1011);
        w.row = RkGetLanguage(1012) + ' ';
        w.col = RkGetLanguage(1013) + ' ';
        w.total = RkGetLanguage(1014) + ' ';
        w.rows = ' ' + RkGetLanguage(1015) + ' ';
        w.chars = ' ' + RkGetLanguage(1016) + ' ';
        w.untitled = RkGetLanguage(1022).toUpper();
        w.receiving = RkGetLanguage(712);
        window->session().words().set(w);
    });
}

}
