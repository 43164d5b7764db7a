#pragma once
// Macro template files (".NCM"): text (Windows-1252 or UTF-8) made of a header
// that declares up to 16 input fields and a picture, a separator line that
// begins with "//" and a body that the expansion turns into NC text.
//
// Header lines:
//   ' comment                 not a prompt
//   D >= Diameter [20]        declares the next field: label "Diameter", default "20"
//   BILDFIL=name.bmp          the template's picture (in any line, comments included)
//   //  or  ////              end of the header; "////" starts the body with
//                             calculation off
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumrik {

constexpr int kMacroFields = 16;

struct MacroField {
    QString label;
    QString value; // the default shown in the field's box
};

struct MacroHeader {
    QList<MacroField> fields;  // at most kMacroFields, in the order of their prompts
    int ignoredPrompts = 0;    // prompts beyond the 16th
    QStringList pictures;      // picture names of the header, in order (the last one found wins)
    bool separator = false;    // the header ends with a "//" line
};

// Reads the header of a template's lines (the header ends at the first line
// whose text, blanks trimmed, begins with "//").
MacroHeader parseMacroHeader(const QStringList &lines);

// Cuts the default value out of a prompt text: "Depth [5]" leaves "Depth " and
// returns "5"; "Depth [5" leaves "Depth " and returns "[5"; no "[" returns "".
QString ExtractBracketValue(QString &text);

// The lines of a template file, read by the encoding rule of the NC programs
// (UTF-8 when the bytes are valid UTF-8 and hold a byte above 127, otherwise
// Windows-1252; a byte-order mark is dropped), lines ended by CR LF (LF or CR
// alone also end a line). False, with `error` set, when the
// file cannot be read.
bool readMacroLines(const QString &path, QStringList &lines, QString *error = nullptr);

// A folder below `base` given with "\" or "/" separators; each part is found
// without regard to case. Parts that do not exist are kept as written.
QString resolveFolderNoCase(const QString &base, const QString &relative);

// The template folder of a macro window: the program folder followed by `ncmPath`.
QString macroFolder(const QString &ncmPath);

struct MacroTemplateFile {
    QString name; // the file name in upper case, cut before the first ".NCM"
    QString path; // the file's full path
};
// The ".NCM" files of a folder (matched without regard to case), in
// alphabetical order without regard to case.
QList<MacroTemplateFile> listMacroTemplates(const QString &folder);

// A number as the user types it: blanks around it ignored, an optional sign,
// "." or "," as decimal separator, an optional exponent ("E" and digits).
// Empty when the text is no number (or beyond the floating-point range).
std::optional<double> readUserNumber(const QString &text);

// `value` rounded to `decimals` places (a tie goes to the even digit) in the
// general number form: no thousands separator, no trailing zeros, no point for
// a whole number, "0" before the point below 1, "-" for negatives (never "-0").
// Works on the value's 15 significant digits, so 0.1 + 0.2 is written 0.3.
QString formatGeneralNumber(double value, int decimals);

}
