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

// The one encoding of a settings-like file: UTF-8 when its bytes are valid
// UTF-8 and hold a byte above 127, otherwise Windows-1252 (also a new or
// plain-ASCII file).
enum class TextEncoding { Windows1252, Utf8 };
// True when any byte is above 127 (the text is not plain ASCII).
bool hasHighBytes(QByteArrayView bytes);
TextEncoding settingsEncodingOf(QByteArrayView bytes);
QString encodingName(TextEncoding e);
// The first character of `text` that the encoding cannot hold (a null QChar
// when it holds them all).
QChar firstUnencodable(const QString &text, TextEncoding e);
// Exact bytes of the text; only for text the encoding holds (see above).
QByteArray encodeText(const QString &text, TextEncoding e);
QString decodeText(QByteArrayView bytes, TextEncoding e);

// NC program bytes <-> display text: one character per byte. 0x80-0x9F show as
// their Windows-1252 glyphs; every other byte maps to the same code point.
QString bytesToDisplay(QByteArrayView bytes);
QByteArray displayToBytes(const QString &text);

}
