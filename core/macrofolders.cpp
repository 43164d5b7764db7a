#include "core/macrofolders.h"

namespace lumrik {

void MacroFolders::set(const MacroFolderValues &v)
{
    if (v == values_)
        return;
    values_ = v;
    Q_EMIT changed();
}

void MacroFolders::change(const std::function<void(MacroFolderValues &)> &edit)
{
    MacroFolderValues v = values_;
    edit(v);
    set(v);
}

}
