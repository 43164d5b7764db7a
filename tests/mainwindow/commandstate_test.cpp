#include "mainwindow/commandstate.h"

#include <gtest/gtest.h>

using namespace lumrik;

namespace {
std::vector<ItemState> stateFor(int docs, SelectionInputs sel = {}, bool setup = true, bool kalmero = false)
{
    CommandInputs in;
    in.documentCount = docs;
    in.selection = sel;
    in.setupAllowed = setup;
    in.useKalmero = kalmero;
    return fullCommandState(in);
}
bool enabled(const std::vector<ItemState> &s, const char *item) { return stateOf(s, item, ItemProp::Enabled, true); }
}

TEST(CommandState, NoDocumentDisablesEveryDocumentCommand)
{
    const auto s = stateFor(0);
    for (const char *item : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "mnuFileCloseAll", "mnuFilePrint",
                             "mnuEditUndo", "mnuEditCut", "mnuEditCopy", "mnuEditPaste", "mnuEditDelete",
                             "mnuEditFind", "mnuEditReplace", "mnuEditMarkAll", "mnuViewLines", "mnuTxd2Cnc",
                             "mnuCompare", "mnuOptionPunktKoll", "tbrEdit:Cut", "tbrEdit:Copy", "tbrFile:Save",
                             "tbToolBar:Save", "tbToolBar:Fix", "tbrOptions:Fix", "tbrWin:SplitV", "tbToolBar:Info"})
        EXPECT_FALSE(enabled(s, item)) << item;
    // Rows that do not depend on documents.
    EXPECT_TRUE(enabled(s, "tbToolBar:findinfo"));
    EXPECT_TRUE(enabled(s, "tbrOptions:Threadmill"));
    EXPECT_TRUE(stateOf(s, "tbToolBar:NoSplit", ItemProp::Checked));
    EXPECT_TRUE(stateOf(s, "tbrComm", ItemProp::Visible));
    EXPECT_FALSE(stateOf(s, "mnuUnderProg", ItemProp::Visible, true));
}

TEST(CommandState, CompareNeedsExactlyTwoDocuments)
{
    for (int docs : {1, 2, 3}) {
        const auto s = stateFor(docs);
        EXPECT_EQ(enabled(s, "mnuCompare"), docs == 2) << docs;
        EXPECT_EQ(enabled(s, "tbToolBar:Fix"), docs == 2) << docs;
        EXPECT_EQ(enabled(s, "tbrOptions:Fix"), docs == 2) << docs;
        EXPECT_TRUE(enabled(s, "mnuFileSave"));
    }
}

TEST(CommandState, TableSetsClipboardMenusAfterTheSelectionPart)
{
    // With a document open but nothing selected, the full table enables Cut and
    // Copy menus again (until the next caret event); Delete follows the selection.
    SelectionInputs sel;
    sel.hasActive = true;
    const auto s = stateFor(1, sel);
    EXPECT_TRUE(enabled(s, "mnuEditCut"));
    EXPECT_TRUE(enabled(s, "mnuEditCopy"));
    EXPECT_FALSE(enabled(s, "mnuEditDelete"));
    EXPECT_FALSE(enabled(s, "tbrEdit:Cut"));
}

TEST(CommandState, SelectionPartFollowsTheSelection)
{
    SelectionInputs sel;
    sel.hasActive = true;
    sel.hasSelection = true;
    sel.selMark = true;
    auto s = selectionCommandState(true, sel, false);
    EXPECT_TRUE(enabled(s, "tbrEdit:Cut"));
    EXPECT_TRUE(enabled(s, "mnuEditDelete"));
    sel.hasSelection = sel.selMark = false;
    s = selectionCommandState(true, sel, false);
    EXPECT_FALSE(enabled(s, "tbrEdit:Copy"));
    EXPECT_FALSE(enabled(s, "mnuEditCopy"));
    // A true status without an active document reads as no selection.
    SelectionInputs none;
    none.hasSelection = none.selMark = true;
    s = selectionCommandState(true, none, false);
    EXPECT_FALSE(enabled(s, "mnuEditCut"));
    // False touches the clipboard items only.
    s = selectionCommandState(false, sel, true);
    EXPECT_EQ(s.size(), 5u);
    for (const auto &st : s)
        EXPECT_EQ(st.prop, ItemProp::Enabled);
}

TEST(CommandState, ExactlyOneSplitButtonIsPressed)
{
    for (int type : {0, 1, 2}) {
        SelectionInputs sel;
        sel.hasActive = true;
        sel.splitterType = type;
        const auto s = selectionCommandState(true, sel, true);
        EXPECT_EQ(stateOf(s, "tbrWin:NoSplit", ItemProp::Checked), type == 0);
        EXPECT_EQ(stateOf(s, "tbrWin:SplitV", ItemProp::Checked), type == 1);
        EXPECT_EQ(stateOf(s, "tbrWin:SplitH", ItemProp::Checked), type == 2);
        EXPECT_TRUE(stateOf(s, "tbrShow:Lined", ItemProp::Checked));
    }
}

TEST(CommandState, SettingsDecideSetupAndKalmero)
{
    auto s = stateFor(0, {}, false, false);
    EXPECT_FALSE(stateOf(s, "mnuCncSetup", ItemProp::Visible, true));
    EXPECT_FALSE(stateOf(s, "mnuEditSetup", ItemProp::Visible, true));
    EXPECT_FALSE(stateOf(s, "mnuFileBar4", ItemProp::Visible, true));
    EXPECT_FALSE(enabled(s, "mnuOptionKalmero"));
    s = stateFor(0, {}, true, true);
    EXPECT_TRUE(stateOf(s, "mnuFileBar4", ItemProp::Visible));
    EXPECT_TRUE(enabled(s, "tbToolBar:Kalmero"));
}
