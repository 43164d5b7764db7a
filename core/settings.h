#pragma once
#include <QString>
#include <optional>

namespace lumrik {

// Fills the settings variables from the main settings file. A value that cannot
// be converted takes that key's default; loading goes on with the next key.
void RkLoadIniSettings();

// Conversions of stored text, as the loading uses them. Empty on failure.
std::optional<int> toInt16(const QString &text);
std::optional<int> toInt32(const QString &text);
std::optional<bool> toTruth(const QString &text);

// Window placements are stored in twips. A window shown where it was stored
// and not moved gives back the very twips it was stored with, not its pixels
// turned back into twips, so that a placement never creeps at each save.
int placementPixels(double twips, double twipsPerPixel);
qint64 placementTwips(int pixels, double storedTwips, double twipsPerPixel);

}
