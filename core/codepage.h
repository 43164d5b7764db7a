#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Windows-1252 text, the 8-bit form of every settings, machine and language file.
namespace lumrik {

QString fromCp1252(QByteArrayView bytes);
// Characters outside Windows-1252 become '?'.
QByteArray toCp1252(const QString &text);
// True when the bytes are well-formed UTF-8 (plain ASCII is too).
bool isValidUtf8(QByteArrayView bytes);
// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString decodeSettingsText(QByteArrayView bytes);

// NC program bytes <-> display text: one character per byte. 0x80-0x9F show as
// their Windows-1252 glyphs; every other byte maps to the same code point.
QString bytesToDisplay(QByteArrayView bytes);
QByteArray displayToBytes(const QString &text);

}
