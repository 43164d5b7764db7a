#pragma once
#include <QString>
#include <QStringList>

namespace lumrik::resources {

// Names of the files shipped with the program (relative, as under ":/lumrik/").
QStringList shippedFiles();

// Copies the shipped file `name` to `target` unless something has that name
// already (a dangling link too): the file is made exclusively, never through
// a link. Returns true when the name is taken afterwards.
bool installShippedFile(const QString &name, const QString &target);

}
