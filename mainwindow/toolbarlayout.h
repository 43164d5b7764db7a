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
};

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
