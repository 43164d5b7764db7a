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

}
