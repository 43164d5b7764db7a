#pragma once
// Fonts of the editor and the printout: a stored family that is not installed
// (such as "Courier New", the Windows default) must not turn an NC program
// into proportional text.
#include <QFont>
#include <QString>

namespace lumrik {

// The family that text meant for `wanted` is shown or printed in: `wanted`
// itself when it is installed (as installed, letter case aside); otherwise
// the installed monospaced family that the system's font matching gives for
// it with a fixed-pitch hint. Needs the application object.
QString RkFixedFontFamily(const QString &wanted);

// The font a font dialog opens on for `wanted` at `points`: the family in use
// (RkFixedFontFamily) in its regular style, so that the dialog does not pick
// another style of the family (such as its oblique one) for it.
QFont RkFontForDialog(const QString &wanted, int points);

}
