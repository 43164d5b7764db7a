#pragma once
// The template folders of the macro menu's entries 0..9 ("<n>_PATH" of
// section "MACRO" of the main settings file), as the main window filled the
// menu and a macro import added an entry. An entry's folder is empty while
// the entry is not in use.
#include "core/sessionvalues.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace lumrik {

using MacroFolderValues = std::array<QString, 10>;

class MacroFolders : public SessionValues<MacroFolderValues> {};

}
