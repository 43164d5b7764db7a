#pragma once
// The program's state while it runs: the settings, the print settings, the
// current machine, the active program, the last search, the feature
// switches, the macro menu's template folders and the status and caption
// words, each an object with change signals. One Session lives as long as the
// program; the windows and commands are given it and observe it. The plug-ins
// read its values by the names of the plug-in host's table
// (mainwindow/pluginhost.cpp).
#include "core/activeprogram.h"
#include "core/currentmachine.h"
#include "core/features.h"
#include "core/macrofolders.h"
#include "core/printsettings.h"
#include "core/searchstate.h"
#include "core/settings.h"
#include "core/words.h"

#include <QObject>

namespace lumrik {

class Session : public QObject {
    Q_OBJECT
public:
    Settings &settings() { return settings_; }
    PrintSettings &print() { return print_; }
    CurrentMachine &machine() { return machine_; }
    ActiveProgram &active() { return active_; }
    SearchState &search() { return search_; }
    Features &features() { return features_; }
    MacroFolders &macroFolders() { return macroFolders_; }
    Words &words() { return words_; }

private:
    Settings settings_;
    PrintSettings print_;
    CurrentMachine machine_;
    ActiveProgram active_;
    SearchState search_;
    Features features_;
    MacroFolders macroFolders_;
    Words words_;
};

// The program's one.
Session &programSession();

}
