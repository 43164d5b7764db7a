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
// The bytes of the UTF-8 sequence that `lead` begins (1 for ASCII and for a
// byte that begins none).
int utf8SequenceLength(unsigned char lead);
// The bytes of the UTF-8 form of the character `c`.
int utf8Length(char32_t c);
// The length of `bytes` without a UTF-8 sequence that the end cuts short (the
// start of a file read only in part): bytes.size() when none is cut.
qsizetype withoutCutSequence(QByteArrayView bytes);
// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString decodeSettingsText(QByteArrayView bytes);

// The one encoding rule of the shop's text files, settings-like files and NC
// programs alike: UTF-8 when the bytes are valid UTF-8 and hold a byte above
// 127 (a byte-order mark alone is enough), otherwise Windows-1252 (also a new
// or plain-ASCII file, and one cut in the middle of a UTF-8 sequence).
enum class TextEncoding { Windows1252, Utf8 };
// True when any byte is above 127 (the text is not plain ASCII).
bool hasHighBytes(QByteArrayView bytes);
TextEncoding textEncodingOf(QByteArrayView bytes);
// The same rule for the first bytes of a file: when the file goes on after
// them (`wholeFile` false), a sequence cut by the end of `head` is not held
// against it.
TextEncoding textEncodingOfHead(QByteArrayView head, bool wholeFile);
QString encodingName(TextEncoding e);
// The first character of `text` that the encoding cannot hold (a null QChar
// when it holds them all).
QChar firstUnencodable(const QString &text, TextEncoding e);
// Exact bytes of the text; only for text the encoding holds (see above).
QByteArray encodeText(const QString &text, TextEncoding e);
QString decodeText(QByteArrayView bytes, TextEncoding e);

// The capital of a character in a UTF-8 text: its one-character capital
// (Qt's case mapping: ı -> I, ſ -> S, ß stays ß); the micro sign stays, as it
// does in Windows-1252 text.
char32_t upperCharacter(char32_t c);
// Every character of the text by upperCharacter.
QString upperText(const QString &text);

// NC program bytes <-> display text: one character per byte. 0x80-0x9F show as
// their Windows-1252 glyphs; every other byte maps to the same code point.
QString bytesToDisplay(QByteArrayView bytes);
QByteArray displayToBytes(const QString &text);

}
