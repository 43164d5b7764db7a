// The arithmetic of the macro templates: any text gives a finite value or an
// error with its number and text; the error's place lies within the text; a
// constant added can be read back and removed.
#include "core/codepage.h"
#include "fuzzsupport.h"
#include "generators/expressionparser.h"

#include <cmath>

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const QByteArray name = in.bytes(in.byte() % 8);
    const QString text = fromCp1252(in.rest());

    clsExpressionParser parser;
    const QString constant = fromCp1252(name);
    bool added = false;
    try {
        parser.AddConstant(constant, 2.5);
        added = true;
    } catch (const RkError &) {
    }
    if (added) {
        check(parser.ConstExists(constant.trimmed().toUpper()), "an added constant exists");
        check(parser.constantValue(constant.trimmed().toUpper()) == 2.5, "an added constant keeps its value");
    }

    QString expression = text;
    const ExprOutcome r = parser.Evaluate(expression);
    if (r.ok)
        check(std::isfinite(r.value), "a result is a finite number");
    else
        check(r.number != 0 && !r.description.isEmpty(), "an error has its number and text");
    check(r.position >= 1 && r.position <= expression.size() + 1, "the stop lies within the text");

    QString shown = text;
    const double v = parser.ParseExpression(shown, QStringLiteral("1"));
    check(r.ok ? (v == r.value || (std::isnan(v) && std::isnan(r.value))) : v == 0, "both evaluations agree");

    if (added) {
        parser.RemoveConstant(constant);
        check(!parser.ConstExists(constant.trimmed().toUpper()), "a removed constant is gone");
    }
    return 0;
}
