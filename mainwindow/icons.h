#pragma once
#include <QIcon>
#include <QString>

namespace lumrik {

// The picture of a toolbar button by its key: the desktop theme's icon when it
// has one, else a small drawn pictogram.
QIcon toolbarIcon(const QString &key);
// The picture of an NC program (document windows, the main window).
QIcon documentIcon();

}
