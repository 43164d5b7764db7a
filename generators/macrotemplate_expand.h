#pragma once
// Expansion of a macro template's body into NC text.
//
// Body syntax (tags are upper case and case-sensitive):
//   <CALC> / <NOCALC>        calculation on / off (the line is dropped)
//   <BNRSTART=n> <BNRINC=n>  first block number and step for <BNR>
//   <DECIMALER=d>            decimals of formula results (0..10)
//   [SET name=formula]       defines a named value; <n> pastes field n's text
//   [IF a=b]... [NF a=b]...  keeps the rest of the line when the condition
//                            holds (IF) or fails (NF); operators = > < !
//                            a plain number on the left is a field number
//   [formula] [~formula]     replaced by the value ("~": a whole number);
//                            <n> stands for field n's value
//   <DATUM> <TID> <ÅR> <MÅNAD> <DAG> <BNR> <n>
//                            filled in the finished text; the texts that
//                            fields put in are not expanded again
#include "generators/expressionparser.h"
#include "generators/macrotemplate.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>

namespace lumrik {

// The field texts: index n is field n (1..16); index 0 stays empty.
using MacroFieldValues = std::array<QString, kMacroFields + 1>;

struct MacroExpansion {
    bool ok = true;
    QString output;   // the NC text, lines ended by CR LF
    QString message;  // when !ok: the message for the user, "Fel i ... (Rad: n)"
    int line = 0;     // when !ok: the template line of the error
    QString notice;   // when ok: a field's text held a placeholder, which stays as text
};

// The largest result of an expansion, in characters; a template that would
// give more stops with a message.
constexpr qsizetype kMaxMacroChars = 16 * 1024 * 1024;

// Expands a template (all its lines, header included). Errors of a formula
// itself show the evaluator's box and count as 0; errors of the template's own
// syntax stop the expansion (ok false). A field used as the left side of a
// condition that holds no text becomes "0" in `fields`.
MacroExpansion RkExpandMacro(const QStringList &lines, MacroFieldValues &fields, clsExpressionParser &parser,
                             const QDateTime &now = QDateTime::currentDateTime());

// The one evaluator of the macro expansion: named values and field constants
// stay defined from one expansion to the next while the program runs.
clsExpressionParser &macroExpressionParser();

// From `start` (1-based), replaces the leftmost occurrence of `find` and
// searches again from `start` in the changed text, until none is left or
// `count` replacements are made (-1 = no limit); compare 0 is exact, 1 ignores
// letter case. So an occurrence that a replacement forms with the text around
// it is replaced too. When the replacement itself holds the searched text,
// only the occurrences of the original text are replaced (the search would
// never end otherwise).
QString ReplaceText(const QString &text, const QString &find, const QString &replacement, int start = 1,
                    int count = -1, int compare = 0);

// The texts of <DATUM> and <TID>: the system's short date and its time of day.
QString macroDateText(const QDate &date);
QString macroTimeText(const QTime &time);

}
