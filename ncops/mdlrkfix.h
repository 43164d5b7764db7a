#pragma once
// Small routines on one line of an NC program (one editor line, without its line
// end). NC text is bytes; positions in these routines count from 0. None of them
// touches an editor, a setting or a file, and none of them can fail: a number
// that does not fit 32 bits counts as no number, and lines of any length work.
#include "core/nctext.h" // blank trimming and RkClipComment

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace lumrik {

// The characters of a block number: "+-.0123456789".
inline bool isBlockNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
}
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text with every occurrence of c removed.
QByteArray RkRemoveChr(QByteArrayView text, char c);

// TNC numbering: the new number followed by the line without its leading run of
// block-number characters. False (result untouched) for an empty line.
bool RkOmNumTnc(QByteArrayView line, QByteArray &result, qint64 newNumber);

// Where a word's number stands: the first occurrence of the word, and the run of
// block-number characters right after its first character (an empty word: the
// run at the start of the line). False when the word is missing or no run follows.
struct WordRun {
    qsizetype word = -1;  // position of the word character, -1 for the empty word
    qsizetype start = 0;  // first character of the run
    qsizetype length = 0; // characters of the run
};
bool findWordRun(QByteArrayView line, QByteArrayView word, WordRun &run);

// The leading decimal number of a run ("10-5" reads 10, "10.5" reads 10, "11.5"
// reads 12: halves go to the even neighbour). Nothing when it does not fit a
// 32-bit signed integer. A run without digits ("-", ".") reads 0.
std::optional<qint32> readBlockNumber(QByteArrayView run);

// Mode 1 (remove): the word character and its number become blanks; value := the
// number. Mode 2 (read): result := word & number; value := the number. Mode 3
// (write): the number is replaced by value (zero-padded to four digits when
// asked; longer numbers keep their last four characters). True when the word
// with a number was found and the mode carried out; otherwise result and value
// are untouched. A number too large for 32 bits counts as no number.
bool RkBlockFix(QByteArrayView line, QByteArray &result, QByteArrayView word, qint32 &value,
                int mode, bool zeroPad);
// The same with a counter wider than 32 bits for mode 3.
bool RkBlockFix(QByteArrayView line, QByteArray &result, QByteArrayView word, qint64 &value,
                int mode, bool zeroPad);

// The value after the first occurrence of the letter: the run of "0123456789.,-+"
// read with "." or "," as decimal point. Nothing when the letter is missing or
// the run is not a number (empty, a lone sign, two separators).
std::optional<float> extractValue(char letter, QByteArrayView line);
// The same with the classic sentinel: 999999 for no value.
inline constexpr float kNoValue = 999999.0f;
float ExtractValue(char letter, QByteArrayView line);

// True when the text holds at least one character of the set.
bool RkInstrList(QByteArrayView text, QByteArrayView set);

// Windows-1252 capitals: a-z and the accented small letters (å ä ö ...).
char toUpper1252(char c);
QByteArray upper1252(QByteArrayView s);
// UTF-8 capitals: every letter by its one-character capital (upperCharacter in
// core/codepage.h: "über" -> "ÜBER", "ı" -> "I"); a character without one
// ("ß"), the byte-order mark, the micro sign and every other character keep
// their bytes. A line that is not valid UTF-8 keeps every byte but a-z.
QByteArray upperUtf8(QByteArrayView s);

}
