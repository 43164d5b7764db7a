#pragma once
// The toolbars of the main window as data: each band's buttons in order,
// each with its key, its tooltip and whether it is shown and can be pressed,
// and the command each key runs. The main window builds its toolbars from
// this; a new button is a line here.
#include <QString>
#include <vector>

namespace lumrik {

struct ToolButtonSpec {
    const char *key = nullptr;    // nullptr: a separator
    const char *tip = "";         // the built-in tooltip (UTF-8)
    bool visible = true;
    bool checkable = false;
    // The button places the action of the menu item its key runs: it is
    // enabled, shown and pressed exactly when that item is. Otherwise it is an
    // action of its own (see toolbarlayout.cpp for why each one is).
    bool placesMenuItem = false;
};

// The built-in tooltips of the buttons of the hidden main toolbar, which the
// language file replaces (the cool bar's bands share some of them).
namespace tooltip {
inline constexpr const char *New = "Skapa nytt program";
inline constexpr const char *Open = "Öppna befintligt program";
inline constexpr const char *Save = "Spara aktivt program";
inline constexpr const char *Print = "Skriv aktivt program";
inline constexpr const char *Undo = "Ångra";
inline constexpr const char *Cut = "Klipp ut";
inline constexpr const char *Copy = "Kopiera";
inline constexpr const char *Paste = "Klistra in";
inline constexpr const char *Send = "Sänd prog till CNC";
inline constexpr const char *Receive = "Hämta prog från CNC";
inline constexpr const char *ColorIt = "Färglägg program";
inline constexpr const char *Kalmero = "Kalmero";
inline constexpr const char *Compare = "Jämför 2 öppna program";
inline constexpr const char *SplitV = "Delar skärmen verikalt";
inline constexpr const char *SplitH = "Delar skärmen horisontellt";
inline constexpr const char *NoSplit = "Normal skärm";
}

struct ToolBandSpec {
    const char *name;             // the band's objectName
    const char *title;            // its title (UTF-8)
    std::vector<ToolButtonSpec> buttons;
};

// The hidden main toolbar "tbToolBar".
const std::vector<ToolButtonSpec> &mainToolBarButtons();
// The bands of the cool bar that run commands, in their order: tbrFile,
// tbrEdit, tbrComm, tbrOptions, tbrWin, tbrShow.
const std::vector<ToolBandSpec> &commandBands();
// The hidden simulation band "tbrSim" (no commands).
const ToolBandSpec &simulationBand();

// The command a button key runs ("" when it runs none).
QString commandOfToolKey(const QString &key);

}
