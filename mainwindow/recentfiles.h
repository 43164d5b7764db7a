#pragma once
// The recent-files list: four full paths, most recent first; an empty entry is free.
#include <QString>
#include <QStringList>

namespace lumrik {

inline constexpr int kMruCount = 4;

// The list after `file` was put at its top: a path already listed (exact
// comparison, case counts) moves up, the entries above it move down one place
// and those below stay; a new path pushes the last entry out.
QStringList addToMru(const QStringList &list, const QString &file);

// The four entries of section "Recent Files" (keys "MRU0".."MRU3") of the main settings file.
QStringList loadMruList();
void saveMruList(const QStringList &list);

}
