#include "mainwindow/commanddefs.h"

#include <cstring>

namespace lumrik {

using F = CommandEntry::Flag;

const std::vector<CommandEntry> &commandEntries()
{
    // clang-format off
    static const std::vector<CommandEntry> t = {
        // Arkiv
        {.id = "mnuFile"},
        {.id = "mnuFileNew", .key = Qt::CTRL | Qt::Key_N, .icon = "New"},
        {.id = "mnuFileOpen", .key = Qt::CTRL | Qt::Key_O, .icon = "Open"},
        {.id = "mnuFileClose"},
        {.id = "mnuFileCloseAll"},
        {.id = "mnuFileSave", .key = Qt::CTRL | Qt::Key_S},
        {.id = "mnuFileSaveAs"},
        {.id = "mnuFilePrintSetup"},
        {.id = "mnuFilePrintPreview", .caption = "Print Pre&view", .flags = F::Hidden},
        {.id = "mnuFilePrint", .key = Qt::CTRL | Qt::Key_P},
        {.id = "mnuEditSetup"},
        {.id = "mnuCncSetup"},
        {.id = "mnuFileExit"},
        // Redigera
        {.id = "mnuEdit"},
        {.id = "mnuEditUndo", .key = Qt::CTRL | Qt::Key_Z, .icon = "Undo"},
        {.id = "mnuEditCut", .key = Qt::CTRL | Qt::Key_X},
        {.id = "mnuEditCopy", .key = Qt::CTRL | Qt::Key_C},
        {.id = "mnuEditPaste", .key = Qt::CTRL | Qt::Key_V, .icon = "Paste"},
        {.id = "mnuEditDelete", .key = Qt::CTRL | Qt::Key_D},
        {.id = "mnuEditMarkAll", .key = Qt::CTRL | Qt::Key_A},
        {.id = "mnuEditFind", .key = Qt::CTRL | Qt::Key_F, .icon = "Search"},
        {.id = "mnuEditReplace", .key = Qt::CTRL | Qt::Key_E},
        // Visa
        {.id = "mnuView"},
        {.id = "mnuViewToolbar", .flags = F::Checked},
        {.id = "mnuViewStatusBar", .flags = F::Checked},
        {.id = "mnuViewLines", .flags = F::Checkable},
        {.id = "mnuViewBoldComments", .key = Qt::Key_F12, .icon = "ColorIt"},
        {.id = "mnuViewColorNC", .key = Qt::Key_F11, .icon = "ColorItIso"},
        {.id = "mnuViewAutoColorNC", .caption = "Automatisk färgkodning", .flags = F::Checkable | F::Hidden},
        // NcOption
        {.id = "mnuNcOptions"},
        {.id = "mnuNcOptionsOmnum", .icon = "Omnum"},
        {.id = "mnuNcOptionsToolList", .icon = "Tlista"},
        {.id = "mnuViewXYZ", .icon = "XYZ"},
        {.id = "mnuViewClearchars"},
        {.id = "mnuViewUppercase"},
        {.id = "mnuViewUnPack", .icon = "Mellanslag"},
        {.id = "mnuViewPack"},
        {.id = "mnuOptionPunktKoll", .caption = "&Decimalpunkt", .icon = "Punkter"},
        {.id = "mnuHelix", .icon = "Threadmill"},
        {.id = "mnuBult", .icon = "Bultcirkel"},
        {.id = "mnuOptionSkardata", .icon = "Skärdata"},
        {.id = "mnuUnderProg", .flags = F::Hidden},
        {.id = "mnuOptionKalmero"},
        {.id = "mnuCompare"},
        // Macro (its items are the macro list)
        {.id = "mnuMacro"},
        // Kommunikation
        {.id = "mnuTxdRxd"},
        {.id = "mnuTxd2Cnc", .key = Qt::Key_F5, .icon = "Txd2Cnc"},
        {.id = "mnuRxdFromCnc", .key = Qt::Key_F8, .icon = "RxdFromCnc"},
        // Simulering: kept in the layout, hidden
        {.id = "mnuSimulera", .caption = "&Simulering"},
        {.id = "mnuSimulate", .caption = "Simulera"},
        {.id = "mnuSimulate2", .caption = "Simulera snabb"},
        {.id = "mnuSimMaskin", .caption = "Maskin..."},
        {.id = "mnuSimTools", .caption = "Verktyg..."},
        {.id = "mnuSimMaterial", .caption = "Material..."},
        {.id = "mnuSimSetup", .caption = "Inställningar..."},
        {.id = "mnuSimOpenProj", .caption = "Öppna projekt..."},
        {.id = "mnuSimSaveProj", .caption = "Spara projekt..."},
        // Verktyg: only plug-ins put anything here
        {.id = "mnuTools", .caption = "&Verktyg"},
        // Fönster
        {.id = "mnuWindow"},
        {.id = "mnuWindowCascade"},
        {.id = "mnuWindowTileHorizontal"},
        {.id = "mnuWindowTileVertical", .key = Qt::CTRL | Qt::Key_W},
        // Hjälp
        {.id = "mnuHelp"},
        {.id = "mnuHelpContents", .caption = "&Innehåll"},
        {.id = "mnuHelpSearch", .caption = "&Sök hjälp om..."},
        {.id = "mnuHelpHowToDo", .caption = "&Hur gör jag för att..."},
        {.id = "mnuHelpWeb", .caption = "www.lumrik.se"}, // the maker's home page
        {.id = "mnuHelpUpdates", .caption = "Sök &uppdatering..."},
        {.id = "mnuHelpAbout"},
        // The editor's context menu
        {.id = "mnuPopCopy"},
        {.id = "mnuPopPaste"},
        {.id = "mnuPopCut"},
        {.id = "mnuPopSearch"},
        // the document window handles F3 itself
        {.id = "mnuPopSearchNext", .key = Qt::Key_F3, .flags = F::WidgetShortcut},
        {.id = "mnuColorIt"},
    };
    // clang-format on
    return t;
}

const CommandEntry *commandEntry(const char *id)
{
    for (const CommandEntry &s : commandEntries())
        if (std::strcmp(s.id, id) == 0)
            return &s;
    return nullptr;
}

}
