#pragma once
// Which commands of the main window the user can use: a pure function from the
// state of the open documents and a few settings to the enabled, shown and
// pressed flags of menu items and toolbar buttons. The main window applies the
// result to its actions (frmMain::MnUpdateValidSelections / RkUpdateValidSelections).
#include <QString>
#include <vector>

namespace lumrik {

// What the selection-dependent part looks at in the active document's editor.
struct SelectionInputs {
    bool hasActive = false;      // an active document window exists
    bool hasSelection = false;   // SelStartOffset differs from SelEndOffset
    bool selMark = false;        // SelMark is not 0
    int splitterType = 0;        // 0 none, 1 vertical, 2 horizontal
};

struct CommandInputs {
    int documentCount = 0;
    SelectionInputs selection;
    bool kollegieBlock = false;  // the settings' kollegieBlock
    bool setupAllowed = true;    // the settings' setupAllowed
    bool useKalmero = false;     // the settings' useKalmero
};

enum class ItemProp { Enabled, Visible, Checked };

// One flag of one item. `item` is a menu item's objectName ("mnuFileSave"), a
// toolbar button as toolbar objectName, ":" and key ("tbrEdit:Cut"), or a
// toolbar band by its objectName alone ("tbrComm").
struct ItemState {
    QString item;
    ItemProp prop;
    bool value;
    bool operator==(const ItemState &o) const { return item == o.item && prop == o.prop && value == o.value; }
};

// The selection-dependent flags, in the order they are applied. With bCurStatus
// false only the clipboard items are disabled. A true bCurStatus without an
// active document reads as an empty selection.
std::vector<ItemState> selectionCommandState(bool bCurStatus, const SelectionInputs &sel, bool kollegieBlock);

// The whole table: the selection part with "a document is open", then every
// document-count and setting rule, in the order they are applied. Later
// entries for the same item win.
std::vector<ItemState> fullCommandState(const CommandInputs &in);

// The last value the list gives an item's flag; `fallback` when it gives none.
bool stateOf(const std::vector<ItemState> &states, const QString &item, ItemProp prop, bool fallback = false);

}
