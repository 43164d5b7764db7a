#pragma once
// The arithmetic evaluator of the macro templates: decimal numbers (a "," is
// read as a decimal point), named constants, + - * /, parentheses, one unary
// sign and the functions SIN, COS (degrees) and ABS. The constant table starts
// with PI and is filled and emptied by the caller.
//
// Grammar, loosest binding first (blanks are spaces and TABs):
//   expression = term { ("+" | "-") term }
//   term       = value { ("*" | "/") value }
//   value      = [ "+" | "-" ] ( "(" expression ")" | atom )
//   atom       = number | name "(" expression ")" | name
#include <QHash>
#include <QString>

namespace lumrik {

// Error numbers of the evaluator.
enum ExprErrNo : long {
    kExprSyntax = 0x80040201L,        // "Syntax Error"
    kExprDivisionByZero = 0x80040202L, // "Division by Zero!"
    kExprParenExpected = 0x80040203L, // "')' Expected"
    kExprBadName = 0x80040204L,       // bad constant name (three texts)
    kExprNoFunction = 0x80040205L,    // "Function <name> Does not exist"
    kExprReserved = 0x80040206L,      // "The name is a reserved word"
    kExprExists = 0x80040207L,        // "The constant already exists"
    kExprNoConstant = 0x80040208L,    // "Constant name <name> does not exist"
    kExprOverflow = 6,                // a result or number beyond the floating-point range
    kExprTooDeep = 28,                // parentheses nested beyond kMaxNesting
};

// A constant name as the table keeps it: blanks trimmed, and every character
// by its own one-character capital, so that "aß" stays "Aß" (and is refused)
// instead of turning into "ASS".
QString constantName(const QString &name);

// What one evaluation gave.
struct ExprOutcome {
    bool ok = true;
    double value = 0;
    long number = 0;     // error number when !ok
    QString description; // error text when !ok
    QString source;      // the parsing levels the error passed, outermost first
    int position = 0;    // LastErrorPosition after the evaluation
};

class clsExpressionParser {
public:
    clsExpressionParser();

    // Evaluates `Expression`. An empty text or one of spaces only becomes "0"
    // (in the caller's variable too) and gives 0. On any error a message box
    // "Räknefel: <description> (Rad: <sMsg>)" is shown and the result is 0.
    double ParseExpression(QString &Expression, const QString &sMsg);
    // The same evaluation without the message box.
    ExprOutcome Evaluate(QString &Expression);

    // True when a constant of exactly this name (not trimmed) exists; letter
    // case does not count.
    bool ConstExists(const QString &Name) const;
    // Adds a constant; the name is trimmed and upper-cased. Throws RkError with
    // kExprBadName, kExprExists or kExprReserved.
    void AddConstant(const QString &Name, double value);
    // Removes a constant (name trimmed and upper-cased); throws RkError with
    // kExprNoConstant when there is none.
    void RemoveConstant(const QString &Name);
    // The value of an existing constant (0 when there is none).
    double constantValue(const QString &Name) const;

    // 1-based position in the evaluated text (after the comma replacement)
    // where the last evaluation stopped: the error's place, or length + 1.
    int LastErrorPosition() const { return pos_ + 1; }

    // Deepest nesting of parentheses and function arguments accepted.
    static constexpr int kMaxNesting = 200;

private:
    double ParseNumExp();
    double ParseTerm();
    double ParseValue();
    double ParseAtom();
    int GetOperator() const;
    void Advance();
    static bool IsReservedWord(const QString &name);
    double CallBuiltinFunction(const QString &name, double argument);
    void SkipBlanks();
    static bool IsLetter(QChar c);
    static bool IsIdentChar(QChar c);
    bool atEnd() const { return pos_ >= source_.size(); }
    [[noreturn]] void raise(long number, const QString &description) const;
    double checked(double value) const;

    QString source_;
    int pos_ = 0;     // 0-based index of the next character
    int opLen_ = 1;   // length of the operator last matched
    int depth_ = 0;   // current nesting of expressions
    QHash<QString, double> constants_; // keys trimmed and upper-cased
};

}
