// Syntax files: any file gives rules or a reported error; the spans of a line
// stay within the line and name one of the rules' styles; the styles of a text
// are bytes the caller gave.
#include "core/inifile.h"
#include "documents/syntaxrules.h"
#include "fuzzsupport.h"

#include <vector>

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    IniFile ini;
    ini.loadFromBytes(bytes);
    SyntaxRules rules;
    try {
        rules = parseSyntaxRules(ini, QStringLiteral("fuzz.syn"));
    } catch (const RkError &) {
        return 0;
    }
    check(rules.keywords.size() <= size_t(kMaxKeywordRules), "keyword rules are capped");
    check(rules.ranges.size() <= size_t(kMaxRangeRules), "range rules are capped");
    const int styles = int(rules.styles.size());
    for (const KeywordRule &k : rules.keywords)
        check(k.style >= 0 && k.style < styles, "a keyword rule names a style");
    for (const RangeRule &r : rules.ranges)
        check(r.style >= 0 && r.style < styles, "a range rule names a style");

    // The file's own lines are the text coloured.
    std::vector<ColorSpan> spans;
    for (const QByteArray &line : bytes.split('\n')) {
        spans.clear();
        lineSpans(line, rules, spans);
        for (const ColorSpan &s : spans) {
            check(s.start >= 0 && s.start <= s.end && s.end <= line.size(), "a span lies within its line");
            check(s.style >= 0 && s.style < styles, "a span names a style");
        }
    }
    QByteArray styleOf(std::max(styles, 1), '\0');
    for (int i = 0; i < styles; ++i)
        styleOf[i] = char(i + 1);
    std::vector<char> out(size_t(bytes.size()) + 1, char(0x7f));
    textStyles(bytes, rules, QByteArrayView(styleOf.constData(), styles), out.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        check(uint8_t(out[size_t(i)]) <= uint8_t(styles), "every byte gets a style given");
    check(out[size_t(bytes.size())] == char(0x7f), "nothing is written past the text");
    int colour = 0;
    parseSyntaxColour(QString::fromLatin1(bytes.left(12)), colour);
    return 0;
}
