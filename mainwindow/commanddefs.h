#pragma once
// What each command of the main window is, as data: its id (the objectName of
// its action and the name its handler and plug-ins find it by), its built-in
// caption where the language table has none, its key, its toolbar picture and
// its flags. The language id and the translated text come from the language
// table (mainlanguage.cpp) under the same id. The command registry makes the
// one action of a command from its entry; the menus place it by id.
#include <QKeyCombination>
#include <vector>

namespace lumrik {

struct CommandEntry {
    enum Flag : unsigned {
        Checkable = 1,
        Checked = 2,          // checkable and pressed from the start
        Hidden = 4,
        WidgetShortcut = 8,   // the key works only in the widget that shows the action
    };
    const char *id = nullptr;
    const char *caption = nullptr;  // UTF-8; nullptr: the language table's built-in caption
    QKeyCombination key = QKeyCombination::fromCombined(0);
    const char *icon = nullptr;     // key of the toolbar picture of the button that places it
    unsigned flags = 0;

    bool hasKey() const { return key.toCombined() != 0; }
};

// Every menu and menu item in the order the menus show them.
const std::vector<CommandEntry> &commandEntries();
// The entry of `id`, or nullptr.
const CommandEntry *commandEntry(const char *id);

}
