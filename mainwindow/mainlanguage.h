#pragma once
// The texts of the main window: its menu captions and toolbar tooltips with
// their language ids and built-in Swedish texts, and the program-wide words of
// the status bar and new documents.
#include <QString>
#include <vector>

namespace lumrik {

class frmMain;

struct MenuText {
    int id;
    const char *name;     // objectName of the menu or menu item
    const char *swedish;  // built-in caption (UTF-8)
};
struct ToolTipText {
    int id;
    const char *key;      // key of the tbToolBar button
    const char *swedish;
};

// In the order the language is applied.
const std::vector<MenuText> &mainMenuTexts();
const std::vector<ToolTipText> &mainToolTipTexts();

// The built-in caption of a menu item of the table ("" when it is not there).
QString builtInCaption(const char *name);

// The session's status and caption words := the built-in Swedish ones.
void setBuiltInWords();

// Puts the language file's texts on the main window's menus and tooltips and
// into the session's status and caption words. Acts on the main window instance.
void SetMainFormLanguage();
void SetMainFormLanguage(frmMain *window);

}
