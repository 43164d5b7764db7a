#pragma once
// READY: hex code lists of the machine files and the small serial helpers the
// send and receive windows share.
//
// Notation (values of "LeaderChr", "TrailerChr", "FilterChr", "RxdFromChr"):
//   list    two-digit hex codes separated by commas, upper case: 0D,0A
//   repeat  "(" hex code "*" decimal count ")": (00*50) is 50 NULs
//   empty   no bytes
// Bytes travel as QByteArray (codes 0-255).
#include <QByteArray>
#include <QString>
#include <optional>

class QPlainTextEdit;

namespace lumrik {

// Normalises a typed hex code list: the first parenthesised group wins and is
// returned unchanged (the text is left without it); otherwise blanks and commas
// are removed, the rest upper-cased, a single character gets a leading "0", and
// the characters are joined in pairs with ",". "0d, 0a" -> "0D,0A"; "d,a" ->
// "DA"; "ABC" -> "AB,C". Digits are not checked here.
QString RkParseHexData(QString &text);

// Expands a list: each piece between separators is read as a hex number (up to
// its first non-hex character; an empty piece gives NUL) and appended to out.
// Returns the number of pieces as text; on a code above FF the failure is
// reported, out keeps what was appended before and the result is "".
QString RkParseHexString2String(QByteArray &out, const QString &text, const QString &separator);

// Expands a repeat form: "(" and ")" are removed from text (in place); code
// before the first "*" (hex), count after it (decimal, 16-bit). A text without
// "*" or a negative count is reported as a failure and out is left unchanged.
void RkFixMultiChrs(QByteArray &out, QString &text);

// Sets the write time-out of an open port descriptor. False when the
// descriptor is 0 or not open. Our writes are queued by the port and never
// time out, so there is nothing further to set.
bool RkSetCommTimeouts(qintptr handle, qint32 writeTimeoutMs);

// Appends text (8-bit; CR LF ends a line) to a transfer log box. When the box
// holds more than 2048 characters, its first 1024 give way to one blank first.
// The box scrolls to the new text.
void RkShowData(QPlainTextEdit *box, const QByteArray &text);

// The byte sequence of a stored leader or trailer value, checked: the repeat
// form when the value holds "(", else the list form. Pieces may carry blanks;
// each must be one or two hex digits, a count 0..32767. nullopt with a reason
// (Swedish, for the user) when the value is malformed. An empty value gives no
// bytes.
std::optional<QByteArray> expandHexCodes(const QString &value, QString *error = nullptr);
// Same for a list of single codes only (no repeat form): "FilterChr".
std::optional<QByteArray> expandHexList(const QString &value, QString *error = nullptr);
// One code ("TxdFilter", "RxdFromChr"): the first code of a list. An empty value
// gives 0. nullopt with a reason when it is not a hex code of one or two digits.
std::optional<unsigned char> parseHexCode(const QString &value, QString *error = nullptr);

// The value of the leading hex digits of text (0 when there are none), as the
// stored single codes are read; -1 when the value does not fit 32 bits.
qint64 leadingHexValue(const QString &text);

}
