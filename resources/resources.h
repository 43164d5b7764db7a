#pragma once
#include <QString>
#include <QStringList>

namespace lumrik::resources {

// Names of the files shipped with the program (relative, as under ":/lumrik/").
QStringList shippedFiles();

// Copies the shipped file `name` to `target` unless `target` exists already.
// Returns true when the file is present afterwards.
bool installShippedFile(const QString &name, const QString &target);

}
