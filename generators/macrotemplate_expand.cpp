#include "generators/macrotemplate_expand.h"

#include "core/errors.h"
#include "core/language.h"
#include "core/nctext.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace lumrik {

namespace {

// A safety net for ReplaceText: no template needs more replacements of one tag.
constexpr int kMaxReplacements = 1000000;

// Whether a replacement can form a new occurrence together with the text
// around it: part of it begins or ends `find`, or `find` holds it whole. An
// empty replacement joins the texts on both sides, which may form one.
bool canFormNew(const QString &find, const QString &replacement, Qt::CaseSensitivity cs)
{
    if (replacement.isEmpty() || find.contains(replacement, cs))
        return true;
    const qsizetype n = std::min(find.size(), replacement.size());
    for (qsizetype k = 1; k <= n; ++k) {
        if (QStringView(replacement).right(k).compare(QStringView(find).left(k), cs) == 0)
            return true;
        if (QStringView(replacement).left(k).compare(QStringView(find).right(k), cs) == 0)
            return true;
    }
    return false;
}

QString fieldTag(int n) { return u'<' + QString::number(n) + u'>'; }
QString calcName(int n) { return QStringLiteral("CALC") + QChar(u'A' + (n - 1)); }

// A whole number as CInt reads it: halves to even, 16-bit range.
std::optional<int> readInt16(const QString &text)
{
    const auto v = readUserNumber(text);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v); // the default rounding mode: halves to even
    if (r < -32768 || r > 32767)
        return std::nullopt;
    return int(r);
}

class Expander {
public:
    Expander(MacroFieldValues &fields, clsExpressionParser &parser) : field_(fields), parser_(parser) {}

    MacroExpansion run(const QStringList &lines, const QDateTime &now);

private:
    struct Stop {
        const char *kind;
    };
    [[noreturn]] void stop(const char *kind) { throw Stop{kind}; }

    void lineDirectives(QString &line);
    bool conditionsAndSets(QString &line); // false: the line was cut at a condition
    void formulas(QString &line);
    void finish(QString &out, const QDateTime &now);

    MacroFieldValues &field_;
    clsExpressionParser &parser_;
    int lineNo_ = 0;
    int blockNumber_ = 10;
    int blockStep_ = 10;
    int decimals_ = 0;
    bool negate_ = false; // the kind of the last condition: NF
};

MacroExpansion Expander::run(const QStringList &lines, const QDateTime &now)
{
    MacroExpansion r;
    bool inBody = false, calc = true, skip = false;
    QString out;
    try {
        for (const QString &original : lines) {
            QString line = original;
            ++lineNo_;
            if (inBody) {
                if (line.contains(QLatin1String("<CALC>"))) {
                    calc = true;
                    skip = true;
                } else if (!calc) {
                    // copied as it stands
                } else if (line.contains(QLatin1String("<NOCALC>"))) {
                    calc = false;
                    skip = true;
                } else {
                    lineDirectives(line);
                    if (conditionsAndSets(line))
                        formulas(line);
                }
                if (!skip && !trimSpaces(line).isEmpty())
                    out += line + QStringLiteral("\r\n");
            }
            if (line.startsWith(QLatin1String("//"))) {
                inBody = true;
                calc = !line.startsWith(QLatin1String("////"));
            }
            skip = false;
        }
        finish(out, now);
    } catch (const Stop &s) {
        r.ok = false;
        r.line = lineNo_;
        r.message = QStringLiteral("Fel i %1. (Rad: %2)").arg(QLatin1String(s.kind)).arg(lineNo_);
        return r;
    }
    r.output = out;
    return r;
}

void Expander::lineDirectives(QString &line)
{
    for (int which = 0; which < 2; ++which) {
        const QString tag = which == 0 ? QStringLiteral("<BNRSTART=") : QStringLiteral("<BNRINC=");
        const qsizetype p = line.indexOf(tag);
        if (p < 0)
            continue;
        const qsizetype q = line.indexOf(u'>', p);
        if (q < 0)
            stop("formel");
        const auto v = readInt16(line.mid(p + tag.size(), q - p - tag.size()));
        if (!v)
            stop("formel");
        (which == 0 ? blockNumber_ : blockStep_) = *v;
        line.remove(line.mid(p, q - p + 1));
    }
    for (int d = 0; d <= 10; ++d) {
        const QString tag = QStringLiteral("<DECIMALER=%1>").arg(d);
        if (line.contains(tag)) {
            line.remove(tag);
            decimals_ = d;
        }
    }
}

bool Expander::conditionsAndSets(QString &line)
{
    for (;;) {
        bool didSet = false;
        if (line.contains(QLatin1String("[SET"))) {
            // The directive runs from the line's first "[" to its first "]".
            const qsizetype open = line.indexOf(u'[');
            const qsizetype close = line.indexOf(u']');
            if (close < 0 || close < open)
                stop("SET-definition");
            const QString directive = line.mid(open, close - open + 1);
            const QString inner = directive.size() > 6 ? directive.mid(5, directive.size() - 6) : QString();
            const qsizetype eq = inner.indexOf(u'=');
            if (eq < 0 || inner.contains(u'<') != inner.contains(u'>'))
                stop("SET-definition");
            const QString name = constantName(inner.left(eq));
            QString formula = inner.mid(eq + 1);
            if (inner.contains(u'<'))
                for (int n = 1; n <= kMacroFields; ++n)
                    formula.replace(fieldTag(n), field_[n]);
            double value = parser_.ParseExpression(formula, QString::number(lineNo_));
            value = QString::number(value, 'g', 15).toDouble();
            try {
                if (parser_.ConstExists(name))
                    parser_.RemoveConstant(name);
                parser_.AddConstant(name, value);
            } catch (const RkError &) {
                stop("SET-definition");
            }
            line.remove(directive);
            didSet = true;
        }
        if (!line.contains(QLatin1String("[IF")) && !line.contains(QLatin1String("[NF"))) {
            if (didSet)
                continue;
            return true;
        }
        const qsizetype open = line.indexOf(u'[');
        const qsizetype close = line.indexOf(u']');
        if (close < 0 || close < open)
            stop("IF-sats");
        const QString kind = line.mid(open + 1, 2);
        if (kind == QLatin1String("IF"))
            negate_ = false;
        else if (kind == QLatin1String("NF"))
            negate_ = true;
        const qsizetype start = open + 4;
        const QString cond = close > start ? line.mid(start, close - start) : QString();
        qsizetype opPos = -1;
        QChar op;
        for (QChar c : {u'=', u'>', u'<', u'!'}) {
            opPos = cond.indexOf(c);
            if (opPos >= 0) {
                op = c;
                break;
            }
        }
        if (opPos < 0)
            stop("IF-sats");
        QString left = cond.left(opPos);
        const QString right = cond.mid(opPos + 1);
        double lv;
        if (const auto n = readUserNumber(left)) {
            // A number on the left names a field.
            if (*n != std::floor(*n) || *n < 0 || *n > kMacroFields)
                stop("IF-sats");
            lv = parser_.ParseExpression(field_[int(*n)], QString());
        } else {
            lv = parser_.ParseExpression(left, QString());
        }
        const auto rv = readUserNumber(right);
        if (!rv)
            stop("IF-sats");
        bool holds = false;
        if (op == u'=')
            holds = lv == *rv;
        else if (op == u'>')
            holds = lv > *rv;
        else if (op == u'<')
            holds = lv < *rv;
        else
            holds = lv != *rv;
        if (holds != negate_) {
            line.remove(line.mid(open, close - open + 1));
            continue;
        }
        line.truncate(open);
        return false;
    }
}

void Expander::formulas(QString &line)
{
    while (line.contains(u'[')) {
        const qsizetype open = line.indexOf(u'[');
        const qsizetype close = line.indexOf(u']');
        if (close < 0 || close < open)
            stop("formel");
        const QString text = line.mid(open + 1, close - open - 1);
        QString formula = text;
        const bool whole = formula.startsWith(u'~');
        if (whole)
            formula.remove(0, 1);
        for (int n = 1; n <= kMacroFields; ++n) {
            const QString name = calcName(n);
            if (parser_.ConstExists(name))
                parser_.RemoveConstant(name);
            const QString tag = fieldTag(n);
            if (formula.contains(tag)) {
                const auto v = readUserNumber(field_[n]);
                if (!v)
                    stop("formel");
                parser_.AddConstant(name, *v);
                formula.replace(tag, name);
            }
        }
        line.replace(u',', u'.');
        const double value = parser_.ParseExpression(formula, QString());
        const QString result = formatGeneralNumber(value, whole ? 0 : decimals_);
        // With a "," in the formula the line has changed already; the next
        // round reads the changed text and replaces it.
        line.replace(u'[' + text + u']', result);
    }
}

void Expander::finish(QString &out, const QDateTime &now)
{
    const QDate date = now.date();
    out = ReplaceText(out, QStringLiteral("<DATUM>"), macroDateText(date));
    out = ReplaceText(out, QStringLiteral("<TID>"), macroTimeText(now.time()));
    out = ReplaceText(out, QStringLiteral("<ÅR>"), QString::number(date.year()));
    out = ReplaceText(out, QStringLiteral("<MÅNAD>"), QString::number(date.month()));
    out = ReplaceText(out, QStringLiteral("<DAG>"), QString::number(date.day()));

    // Block numbers, in the order of the tags. A number never forms a new tag,
    // so one pass from left to right does it.
    const QString tag = QStringLiteral("<BNR>");
    if (out.contains(tag)) {
        QString numbered;
        qsizetype from = 0;
        for (;;) {
            const qsizetype p = out.indexOf(tag, from);
            if (p < 0)
                break;
            if (blockNumber_ < -32768 || blockNumber_ > 32767)
                stop("formel");
            numbered += QStringView(out).mid(from, p - from);
            numbered += QString::number(blockNumber_);
            blockNumber_ += blockStep_;
            from = p + tag.size();
        }
        numbered += QStringView(out).mid(from);
        out = numbered;
    }
    for (int n = 1; n <= kMacroFields; ++n)
        out = ReplaceText(out, fieldTag(n), field_[n]);
}

}

MacroExpansion RkExpandMacro(const QStringList &lines, MacroFieldValues &fields, clsExpressionParser &parser,
                             const QDateTime &now)
{
    fields[0].clear();
    Expander e(fields, parser);
    return e.run(lines, now);
}

clsExpressionParser &macroExpressionParser()
{
    static clsExpressionParser parser;
    return parser;
}

QString ReplaceText(const QString &text, const QString &find, const QString &replacement, int start, int count,
                    int compare)
{
    if (find.isEmpty() || count == 0)
        return text;
    const Qt::CaseSensitivity cs = compare == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype first = std::max(0, start - 1);
    QString out = text;
    int done = 0;
    if (replacement.contains(find, cs) || !canFormNew(find, replacement, cs)) {
        // One pass over the original text: either nothing new can form, or
        // the search would never end.
        QString built = text.left(first);
        qsizetype from = first;
        while (count < 0 || done < count) {
            const qsizetype p = text.indexOf(find, from, cs);
            if (p < 0)
                break;
            built += QStringView(text).mid(from, p - from);
            built += replacement;
            from = p + find.size();
            ++done;
        }
        built += QStringView(text).mid(from);
        return built;
    }
    // Nothing before an occurrence just replaced can match unless it reaches
    // into the replacement, so the search goes on from just before it; that
    // is the same as searching again from `start`.
    qsizetype from = first;
    while ((count < 0 || done < count) && done < kMaxReplacements) {
        const qsizetype p = out.indexOf(find, from, cs);
        if (p < 0)
            break;
        out.replace(p, find.size(), replacement);
        from = std::max(first, p - find.size() + 1);
        ++done;
    }
    return out;
}

QString macroDateText(const QDate &date)
{
    return RkShortDate(date);
}

QString macroTimeText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

}
