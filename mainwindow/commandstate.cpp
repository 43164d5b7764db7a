#include "mainwindow/commandstate.h"

#include <initializer_list>

namespace lumrik {

namespace {
void add(std::vector<ItemState> &out, std::initializer_list<const char *> items, ItemProp prop, bool value)
{
    for (const char *i : items)
        out.push_back({QString::fromUtf8(i), prop, value});
}
}

std::vector<ItemState> selectionCommandState(bool bCurStatus, const SelectionInputs &sel, bool kollegieBlock)
{
    std::vector<ItemState> out;
    const ItemProp E = ItemProp::Enabled, C = ItemProp::Checked;
    if (!bCurStatus) {
        add(out, {"tbrEdit:Cut", "tbrEdit:Copy", "mnuEditCopy", "mnuEditCut", "mnuEditDelete"}, E, false);
        return out;
    }
    const bool active = sel.hasActive;
    const bool range = active && sel.hasSelection;
    const bool marked = active && sel.selMark;
    add(out, {"tbrEdit:Cut", "tbrEdit:Copy"}, E, range);
    add(out, {"mnuEditCopy", "mnuEditCut", "mnuEditDelete"}, E, marked);
    add(out, {"tbrShow:Lined"}, C, kollegieBlock);
    const int split = active ? sel.splitterType : 0;
    add(out, {"tbrWin:NoSplit"}, C, split == 0);
    add(out, {"tbrWin:SplitV"}, C, split == 1);
    add(out, {"tbrWin:SplitH"}, C, split == 2);
    return out;
}

std::vector<ItemState> fullCommandState(const CommandInputs &in)
{
    const bool doc = in.documentCount >= 1;
    const bool two = in.documentCount == 2;
    const ItemProp E = ItemProp::Enabled, V = ItemProp::Visible, C = ItemProp::Checked;

    std::vector<ItemState> out = selectionCommandState(doc, in.selection, in.kollegieBlock);
    add(out, {"mnuViewLines"}, C, in.kollegieBlock);

    add(out, {"tbrComm:Txd2Cnc", "tbrFile:Save", "tbrEdit:Undo", "tbrEdit:Paste", "tbrEdit:Search",
              "tbrOptions:Omnum", "tbrOptions:Tlista"}, E, doc);
    add(out, {"tbrOptions:Fix"}, E, two);
    add(out, {"tbrOptions:Punkter", "tbrWin:SplitV", "tbrWin:SplitH", "tbrWin:NoSplit",
              "tbrShow:ColorIt", "tbrShow:ColorItIso", "tbrShow:Lined", "tbrShow:Mellanslag", "tbrShow:XYZ",
              "tbToolBar:Save", "tbToolBar:Print", "tbToolBar:Cut", "tbToolBar:Copy", "tbToolBar:Paste",
              "tbToolBar:Txd2Cnc", "tbToolBar:ColorIt"}, E, doc);
    add(out, {"tbToolBar:Fix"}, E, two);
    add(out, {"tbToolBar:SplitV", "tbToolBar:SplitH", "tbToolBar:NoSplit"}, E, doc);
    add(out, {"tbToolBar:NoSplit"}, C, true);
    add(out, {"tbToolBar:Info"}, E, doc);
    add(out, {"tbToolBar:findinfo"}, E, true);
    add(out, {"mnuFilePrint", "mnuFileSave", "mnuFileClose", "mnuFileCloseAll", "mnuFileSaveAs",
              "mnuEditUndo", "mnuEditCut", "mnuEditCopy", "mnuEditPaste", "mnuEditFind", "mnuEditReplace",
              "mnuEditMarkAll",
              "mnuViewUnPack", "mnuViewPack", "mnuViewBoldComments", "mnuViewXYZ", "mnuViewUppercase",
              "mnuViewClearchars", "mnuViewLines",
              "mnuTxd2Cnc", "mnuViewColorNC", "mnuNcOptionsOmnum", "mnuUnderProg", "mnuNcOptionsToolList"},
        E, doc);
    add(out, {"mnuCompare"}, E, two);
    add(out, {"tbrComm"}, V, true);
    add(out, {"tbToolBar:Txd2Cnc", "tbToolBar:RxdFromCnc", "mnuRxdFromCnc", "mnuTxd2Cnc"}, V, true);
    add(out, {"mnuCncSetup"}, V, in.setupAllowed);
    add(out, {"mnuOptionKalmero", "tbToolBar:Kalmero"}, E, in.useKalmero);
    add(out, {"mnuHelix"}, V, true);
    add(out, {"tbrOptions:Threadmill"}, E, true);
    add(out, {"mnuMacro"}, V, true);
    add(out, {"mnuUnderProg"}, V, false);
    add(out, {"mnuEditSetup", "mnuFileBar4"}, V, in.setupAllowed);
    add(out, {"mnuOptionPunktKoll"}, V, true);
    add(out, {"mnuOptionPunktKoll"}, E, doc);
    return out;
}

bool stateOf(const std::vector<ItemState> &states, const QString &item, ItemProp prop, bool fallback)
{
    bool v = fallback;
    for (const ItemState &s : states)
        if (s.prop == prop && s.item == item)
            v = s.value;
    return v;
}

}
