// Macro templates: any template file gives a header of at most 16 fields and
// an expansion or a template error with its line; numbers as the user types
// them and as they are written read back the same.
#include "core/codepage.h"
#include "fuzzsupport.h"
#include "generators/expressionparser.h"
#include "generators/macrotemplate.h"
#include "generators/macrotemplate_expand.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int decimals = in.byte() % 11;
    const QString text = fromCp1252(in.rest());
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));

    const MacroHeader header = parseMacroHeader(lines);
    check(header.fields.size() <= kMacroFields, "at most 16 fields");

    MacroFieldValues fields;
    for (int i = 0; i < header.fields.size(); ++i)
        fields[size_t(i + 1)] = header.fields[i].value;
    clsExpressionParser parser;
    const QDateTime now(QDate(2024, 2, 29), QTime(13, 5, 9));
    const MacroExpansion r = RkExpandMacro(lines, fields, parser, now);
    if (!r.ok)
        check(!r.message.isEmpty() && r.line >= 1 && r.line <= lines.size(), "a template error names its line");

    QString prompt = lines.value(0);
    ExtractBracketValue(prompt);

    if (const auto number = readUserNumber(lines.value(0))) {
        check(std::isfinite(*number), "a typed number is finite");
        const QString written = formatGeneralNumber(*number, decimals);
        const auto back = readUserNumber(written);
        check(back.has_value(), "a written number reads as a number");
        check(formatGeneralNumber(*back, decimals) == written, "a written number reads back as written");
    }

    const QString find = lines.value(1).left(4);
    if (!find.isEmpty()) {
        const QString replaced = ReplaceText(text.left(2000), find, lines.value(2).left(8), 1, -1, 1);
        if (!lines.value(2).left(8).contains(find, Qt::CaseInsensitive))
            check(!replaced.contains(find, Qt::CaseInsensitive), "every occurrence is replaced");
    }
    return 0;
}
