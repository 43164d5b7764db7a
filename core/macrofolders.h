#pragma once
// The template folders of the macro menu's entries 0..9 ("<n>_PATH" of
// section "MACRO" of the main settings file), as the main window filled the
// menu and a macro import added an entry. An entry's folder is empty while
// the entry is not in use.
#include <QObject>
#include <QString>
#include <array>
#include <functional>

namespace lumrik {

using MacroFolderValues = std::array<QString, 10>;

class MacroFolders : public QObject {
    Q_OBJECT
public:
    const MacroFolderValues &values() const { return values_; }
    // Takes the values; `changed` when anything differs.
    void set(const MacroFolderValues &values);
    // Changes some values in place, as `edit` does to a copy of them.
    void change(const std::function<void(MacroFolderValues &)> &edit);

Q_SIGNALS:
    void changed();

private:
    MacroFolderValues values_;
};

}
