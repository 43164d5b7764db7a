#include "generators/expressionparser.h"

#include "core/errors.h"
#include "core/msgbox.h"
#include "core/nctext.h"

#include <charconv>
#include <cmath>
#include <string>

namespace lumrik {

namespace {

// An error on its way out of the parsing levels.
struct ParseFailure {
    long number;
    QString description;
    QString source;
};

// Operator codes: the index in the operator table.
enum Op { kNoOp = 0, kPlus = 1, kMinus = 2, kTimes = 3, kDivide = 4, kOpen = 5, kClose = 6 };
const QChar kOperators[] = {QChar(), u'+', u'-', u'*', u'/', u'(', u')'};

// sin and cos take degrees; the factor is the classic 15-digit pi over 180.
constexpr double kDegToRad = 0.017453292519943278;

// Upper case of the letters a..z only: names hold nothing else, and no other
// character may turn into one of them.
QString asciiUpper(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return out;
}

// Records a parsing level in the error's source: the level where the error
// arose first, then every level it passes, outermost first.
void SetErrSource(ParseFailure &f, const char *level)
{
    const QString name = QString::fromLatin1(level);
    f.source = f.source.isEmpty() ? name : name + QStringLiteral("->") + f.source;
}

}

clsExpressionParser::clsExpressionParser()
{
    constants_.insert(QStringLiteral("PI"), 3.14159265358979);
}

void clsExpressionParser::raise(long number, const QString &description) const
{
    throw ParseFailure{number, description, QString()};
}

double clsExpressionParser::checked(double value) const
{
    if (!std::isfinite(value))
        raise(kExprOverflow, QStringLiteral("Spill"));
    return value;
}

ExprOutcome clsExpressionParser::Evaluate(QString &Expression)
{
    ExprOutcome out;
    if (trimSpaces(Expression).isEmpty())
        Expression = QStringLiteral("0");
    source_ = Expression;
    source_.replace(u',', u'.');
    pos_ = 0;
    depth_ = 0;
    try {
        try {
            SkipBlanks();
            const double v = ParseNumExp();
            SkipBlanks();
            if (!atEnd())
                raise(kExprSyntax, QStringLiteral("Syntax Error"));
            out.value = v;
        } catch (ParseFailure &f) {
            SetErrSource(f, "ParseExpression");
            throw;
        }
    } catch (const ParseFailure &f) {
        out.ok = false;
        out.value = 0;
        out.number = f.number;
        out.description = f.description;
        out.source = f.source;
    } catch (const std::bad_alloc &) {
        out.ok = false;
        out.value = 0;
        out.number = 7;
        out.description = QStringLiteral("Slut på minne");
    }
    out.position = LastErrorPosition();
    return out;
}

QString constantName(const QString &name)
{
    QString out = trimSpaces(name);
    for (QChar &c : out)
        c = c.toUpper();
    return out;
}

double clsExpressionParser::ParseExpression(QString &Expression, const QString &sMsg)
{
    const ExprOutcome r = Evaluate(Expression);
    if (r.ok)
        return r.value;
    RkMsgBox(QStringLiteral("Räknefel: ") + r.description + QStringLiteral(" (Rad: ") + sMsg + u')', MbButtons::Ok,
             MbIcon::Exclamation, QStringLiteral("Fel"));
    return 0;
}

bool clsExpressionParser::ConstExists(const QString &Name) const
{
    return constants_.contains(asciiUpper(Name));
}

double clsExpressionParser::constantValue(const QString &Name) const
{
    return constants_.value(asciiUpper(trimSpaces(Name)), 0.0);
}

void clsExpressionParser::AddConstant(const QString &Name, double value)
{
    const QString name = constantName(Name);
    if (name.isEmpty())
        throw RkError(kExprBadName, QStringLiteral("Constant name cannot be null"));
    if (!IsLetter(name[0]))
        throw RkError(kExprBadName, QStringLiteral("Constant name must begin with a letter"));
    for (qsizetype i = 1; i < name.size(); ++i)
        if (!IsIdentChar(name[i]))
            throw RkError(kExprBadName, QStringLiteral("Invalid constant name"));
    if (ConstExists(name))
        throw RkError(kExprExists, QStringLiteral("The constant already exists"));
    if (IsReservedWord(name))
        throw RkError(kExprReserved, QStringLiteral("The name is a reserved word"));
    constants_.insert(name, value);
}

void clsExpressionParser::RemoveConstant(const QString &Name)
{
    const QString name = constantName(Name);
    if (!ConstExists(name))
        throw RkError(kExprNoConstant, QStringLiteral("Constant name ") + name + QStringLiteral(" does not exist"));
    constants_.remove(asciiUpper(name));
}

double clsExpressionParser::ParseNumExp()
{
    try {
        if (++depth_ > kMaxNesting)
            raise(kExprTooDeep, QStringLiteral("Slut på stackutrymme"));
        double value = ParseTerm();
        for (;;) {
            if (atEnd())
                break;
            const int op = GetOperator();
            if (op == kPlus || op == kMinus) {
                Advance();
                const double rhs = ParseTerm();
                value = checked(op == kPlus ? value + rhs : value - rhs);
            } else if (op == kOpen || op == kClose) {
                break; // the caller decides what may follow
            } else {
                raise(kExprSyntax, QStringLiteral("Syntax Error"));
            }
        }
        --depth_;
        return value;
    } catch (ParseFailure &f) {
        SetErrSource(f, "ParseNumExp");
        throw;
    }
}

double clsExpressionParser::ParseTerm()
{
    try {
        double value = ParseValue();
        for (;;) {
            if (atEnd())
                break;
            const int op = GetOperator();
            if (op == kTimes || op == kDivide) {
                Advance();
                const double rhs = ParseValue();
                if (op == kDivide && rhs == 0)
                    raise(kExprDivisionByZero, QStringLiteral("Division by Zero!"));
                value = checked(op == kTimes ? value * rhs : value / rhs);
            } else if (op == kPlus || op == kMinus || op == kOpen || op == kClose) {
                break;
            } else {
                raise(kExprSyntax, QStringLiteral("Syntax Error"));
            }
        }
        return value;
    } catch (ParseFailure &f) {
        SetErrSource(f, "ParseTerm");
        throw;
    }
}

double clsExpressionParser::ParseValue()
{
    try {
        double sign = 1;
        int op = GetOperator();
        if (op == kPlus || op == kMinus) {
            if (op == kMinus)
                sign = -1;
            Advance();
            op = GetOperator();
        }
        double value;
        if (op == kOpen) {
            Advance();
            value = ParseNumExp();
            if (GetOperator() != kClose)
                raise(kExprParenExpected, QStringLiteral("')' Expected"));
            Advance();
        } else {
            value = ParseAtom();
        }
        return value * sign;
    } catch (ParseFailure &f) {
        SetErrSource(f, "ParseValue");
        throw;
    }
}

double clsExpressionParser::ParseAtom()
{
    try {
        if (atEnd())
            raise(kExprSyntax, QStringLiteral("Syntax Error"));
        const QChar c = source_[pos_];
        if (c >= u'0' && c <= u'9') {
            const int start = pos_;
            bool point = false;
            while (!atEnd()) {
                const QChar d = source_[pos_];
                if (d == u'.') {
                    if (point) {
                        pos_ = start;
                        raise(kExprSyntax, QStringLiteral("Syntax Error"));
                    }
                    point = true;
                } else if (d < u'0' || d > u'9') {
                    break;
                }
                ++pos_;
            }
            std::string digits = source_.mid(start, pos_ - start).toStdString();
            if (digits.back() == '.')
                digits.pop_back(); // "12." reads as 12
            double value = 0;
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                           std::chars_format::fixed);
            if (r.ec == std::errc::result_out_of_range) {
                // Too small to hold is 0; too big is an overflow.
                const auto p = digits.find('.');
                const std::string whole = digits.substr(0, p);
                if (whole.find_first_not_of('0') != std::string::npos)
                    raise(kExprOverflow, QStringLiteral("Spill"));
                value = 0;
            }
            SkipBlanks();
            return value;
        }
        if (IsLetter(c)) {
            const int start = pos_;
            while (!atEnd() && IsIdentChar(source_[pos_]))
                ++pos_;
            const QString name = source_.mid(start, pos_ - start);
            SkipBlanks();
            if (GetOperator() == kOpen) {
                Advance();
                const double argument = ParseNumExp();
                if (GetOperator() != kClose)
                    raise(kExprParenExpected, QStringLiteral("')' Expected"));
                Advance();
                return CallBuiltinFunction(name, argument);
            }
            if (!ConstExists(name))
                raise(kExprNoConstant, QStringLiteral("Constant name ") + name + QStringLiteral(" does not exist"));
            return constants_.value(asciiUpper(name));
        }
        raise(kExprSyntax, QStringLiteral("Syntax Error"));
    } catch (ParseFailure &f) {
        SetErrSource(f, "ParseAtom");
        throw;
    }
}

int clsExpressionParser::GetOperator() const
{
    if (atEnd())
        return kNoOp;
    const QChar c = source_[pos_];
    for (int i = kPlus; i <= kClose; ++i)
        if (c == kOperators[i])
            return i;
    return kNoOp;
}

void clsExpressionParser::Advance()
{
    pos_ += opLen_;
    SkipBlanks();
}

bool clsExpressionParser::IsReservedWord(const QString &name)
{
    const QString n = asciiUpper(trimSpaces(name));
    return n == QLatin1String("SIN") || n == QLatin1String("COS") || n == QLatin1String("ABS");
}

double clsExpressionParser::CallBuiltinFunction(const QString &name, double argument)
{
    try {
        const QString n = asciiUpper(trimSpaces(name));
        if (n == QLatin1String("SIN"))
            return std::sin(argument * kDegToRad);
        if (n == QLatin1String("COS"))
            return std::cos(argument * kDegToRad);
        if (n == QLatin1String("ABS"))
            return std::fabs(argument);
        raise(kExprNoFunction, QStringLiteral("Function ") + name + QStringLiteral(" Does not exist"));
    } catch (ParseFailure &f) {
        SetErrSource(f, "CallBuiltinFunction");
        throw;
    }
}

void clsExpressionParser::SkipBlanks()
{
    while (!atEnd() && (source_[pos_] == u' ' || source_[pos_] == u'\t'))
        ++pos_;
}

bool clsExpressionParser::IsLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool clsExpressionParser::IsIdentChar(QChar c)
{
    return IsLetter(c) || (c >= u'0' && c <= u'9') || c == u'_';
}

}
