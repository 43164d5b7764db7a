#include "mainwindow/toolbarlayout.h"

#include <QHash>

namespace lumrik {

namespace {
using namespace tooltip;

constexpr ToolButtonSpec kSeparator{};
// A button that is one more place of its menu item's action.
ToolButtonSpec item(const char *key, const char *tip) { return {key, tip, true, false, true}; }
// Buttons of their own: pressed state of their own, or none to share it with.
ToolButtonSpec pressable(const char *key, const char *tip) { return {key, tip, true, true}; }
}

// Every button of the hidden main toolbar is an action of its own: the
// language file replaces its tooltips and not those of the cool bar, and the
// command state gives its buttons rows of their own (Cut and Copy follow
// whether a document is open, NoSplit is always pressed, Kalmero follows
// whether the program was found, Undo is never disabled).
const std::vector<ToolButtonSpec> &mainToolBarButtons()
{
    static const std::vector<ToolButtonSpec> buttons = {
        {"New", New}, {"Open", Open}, {"Save", Save}, kSeparator, {"Print", Print}, kSeparator,
        {"Undo", Undo}, {"Cut", Cut}, {"Copy", Copy}, {"Paste", Paste}, kSeparator,
        {"Txd2Cnc", Send}, {"RxdFromCnc", Receive}, kSeparator,
        {"ColorIt", ColorIt}, {"Kalmero", Kalmero}, kSeparator, {"Fix", Compare}, kSeparator,
        pressable("SplitV", SplitV), pressable("SplitH", SplitH), pressable("NoSplit", NoSplit), kSeparator,
        {"Info", "", false}, {"findinfo", "", false},
    };
    return buttons;
}

// The bands' buttons of their own, and why each is not its menu item:
// - tbrFile "Save": the Save buttons follow whether the active text has
//   unsaved changes, the menu item only whether a document is open;
// - tbrFile "Print": never disabled, the menu item needs a document;
// - tbrEdit "Cut", "Copy": follow a selected range, the menu items the mark;
// - tbrOptions "Fix": stays shown when the compare program is missing, the
//   menu item is hidden then;
// - tbrOptions "Kalmero": never disabled, the menu item follows whether the
//   program was found;
// - tbrOptions "Subprogram": runs nothing;
// - tbrWin's split buttons: no menu items; their pressed state is the band's;
// - tbrShow "Lined": pressed at every caret move, the menu item's check mark
//   only when the whole command state is recomputed.
const std::vector<ToolBandSpec> &commandBands()
{
    static const std::vector<ToolBandSpec> bands = {
        {"tbrFile", "Arkiv", {item("New", New), item("Open", Open), {"Save", Save}, kSeparator, {"Print", Print}}},
        {"tbrEdit", "Redigera",
         {item("Undo", Undo), kSeparator, {"Cut", Cut}, {"Copy", Copy}, item("Paste", Paste), kSeparator,
          item("Search", "Sök")}},
        {"tbrComm", "Kommunikation", {item("Txd2Cnc", Send), item("RxdFromCnc", Receive)}},
        {"tbrOptions", "NcOption",
         {item("Omnum", "Omnumrera program"), item("Tlista", "Verktygslista"), {"Fix", Compare},
          {"Kalmero", "Starta Kalmero"}, kSeparator, item("Threadmill", "Gängfräsning"),
          item("Bultcirkel", "Skapa hålcirkel"), {"Subprogram", "", false},
          item("Punkter", "Lägg till saknade decimalpunkter"), item("Skärdata", "Skärdata kalkylator")}},
        {"tbrWin", "Fönster", {pressable("SplitV", SplitV), pressable("SplitH", SplitH), pressable("NoSplit", NoSplit)}},
        {"tbrShow", "Visa",
         {item("ColorIt", "Färglägg"), item("ColorItIso", "Färglägg funktioner"), pressable("Lined", "Linjerad bakgrund"),
          item("Mellanslag", "Infoga mellanslag mellan block (Expandera)"), item("XYZ", "Visa sammanfattning av värden")}},
    };
    return bands;
}

const ToolBandSpec &simulationBand()
{
    static const ToolBandSpec band = {"tbrSim", "Simulering",
                                      {{"Sim", "Simulera"}, {"SimTools", "Simuleringsverktyg"},
                                       {"SimMat", "Simuleringsmaterial"}, {"SimMask", "Maskin"}}};
    return band;
}

QString commandOfToolKey(const QString &key)
{
    static const QHash<QString, QString> table = {
        {"New", "mnuFileNew"},           {"Open", "mnuFileOpen"},           {"Save", "mnuFileSave"},
        {"Print", "mnuFilePrint"},       {"Undo", "mnuEditUndo"},           {"Cut", "mnuEditCut"},
        {"Copy", "mnuEditCopy"},         {"Paste", "mnuEditPaste"},         {"Search", "mnuEditFind"},
        {"Txd2Cnc", "mnuTxd2Cnc"},       {"RxdFromCnc", "mnuRxdFromCnc"},   {"ColorIt", "mnuViewBoldComments"},
        {"ColorItIso", "mnuViewColorNC"}, {"Fix", "mnuCompare"},            {"Kalmero", "mnuOptionKalmero"},
        {"SplitV", "SplitV"},            {"SplitH", "SplitH"},              {"NoSplit", "NoSplit"},
        {"Info", "mnuInfo"},             {"findinfo", "mnuFindDB"},         {"XYZ", "mnuViewXYZ"},
        {"Tlista", "mnuNcOptionsToolList"}, {"Omnum", "mnuNcOptionsOmnum"}, {"Threadmill", "mnuHelix"},
        {"Punkter", "mnuOptionPunktKoll"}, {"Skärdata", "mnuOptionSkardata"}, {"Bultcirkel", "mnuBult"},
        {"Lined", "mnuViewLines"},       {"Mellanslag", "mnuViewUnPack"},
    };
    return table.value(key);
}

}
