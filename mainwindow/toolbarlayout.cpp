#include "mainwindow/toolbarlayout.h"

#include <QHash>

namespace lumrik {

namespace {
// Tooltips that two toolbars share.
constexpr const char *kNew = "Skapa nytt program";
constexpr const char *kOpen = "Öppna befintligt program";
constexpr const char *kSave = "Spara aktivt program";
constexpr const char *kPrint = "Skriv aktivt program";
constexpr const char *kUndo = "Ångra";
constexpr const char *kCut = "Klipp ut";
constexpr const char *kCopy = "Kopiera";
constexpr const char *kPaste = "Klistra in";
constexpr const char *kSend = "Sänd prog till CNC";
constexpr const char *kReceive = "Hämta prog från CNC";
constexpr const char *kCompare = "Jämför 2 öppna program";
constexpr const char *kSplitV = "Delar skärmen verikalt";
constexpr const char *kSplitH = "Delar skärmen horisontellt";
constexpr const char *kNoSplit = "Normal skärm";

constexpr ToolButtonSpec kSeparator{};
ToolButtonSpec pressable(const char *key, const char *tip) { return {key, tip, true, true}; }
}

const std::vector<ToolButtonSpec> &mainToolBarButtons()
{
    static const std::vector<ToolButtonSpec> buttons = {
        {"New", kNew}, {"Open", kOpen}, {"Save", kSave}, kSeparator, {"Print", kPrint}, kSeparator,
        {"Undo", kUndo}, {"Cut", kCut}, {"Copy", kCopy}, {"Paste", kPaste}, kSeparator,
        {"Txd2Cnc", kSend}, {"RxdFromCnc", kReceive}, kSeparator,
        {"ColorIt", "Färglägg program"}, {"Kalmero", "Kalmero"}, kSeparator, {"Fix", kCompare}, kSeparator,
        pressable("SplitV", kSplitV), pressable("SplitH", kSplitH), pressable("NoSplit", kNoSplit), kSeparator,
        {"Info", "", false}, {"findinfo", "", false},
    };
    return buttons;
}

const std::vector<ToolBandSpec> &commandBands()
{
    static const std::vector<ToolBandSpec> bands = {
        {"tbrFile", "Arkiv", {{"New", kNew}, {"Open", kOpen}, {"Save", kSave}, kSeparator, {"Print", kPrint}}},
        {"tbrEdit", "Redigera",
         {{"Undo", kUndo}, kSeparator, {"Cut", kCut}, {"Copy", kCopy}, {"Paste", kPaste}, kSeparator,
          {"Search", "Sök"}}},
        {"tbrComm", "Kommunikation", {{"Txd2Cnc", kSend}, {"RxdFromCnc", kReceive}}},
        {"tbrOptions", "NcOption",
         {{"Omnum", "Omnumrera program"}, {"Tlista", "Verktygslista"}, {"Fix", kCompare},
          {"Kalmero", "Starta Kalmero"}, kSeparator, {"Threadmill", "Gängfräsning"},
          {"Bultcirkel", "Skapa hålcirkel"}, {"Subprogram", "", false},
          {"Punkter", "Lägg till saknade decimalpunkter"}, {"Skärdata", "Skärdata kalkylator"}}},
        {"tbrWin", "Fönster", {pressable("SplitV", kSplitV), pressable("SplitH", kSplitH), pressable("NoSplit", kNoSplit)}},
        {"tbrShow", "Visa",
         {{"ColorIt", "Färglägg"}, {"ColorItIso", "Färglägg funktioner"}, pressable("Lined", "Linjerad bakgrund"),
          {"Mellanslag", "Infoga mellanslag mellan block (Expandera)"}, {"XYZ", "Visa sammanfattning av värden"}}},
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
