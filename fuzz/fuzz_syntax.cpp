// Syntax files: any file gives rules or a reported error; the spans of a line
// stay within the line and name one of the rules' styles; the styles of a text
// are bytes the caller gave, the same whether the text is coloured whole or a
// window at a time.
#include "core/inifile.h"
#include "documents/syntaxrules.h"
#include "fuzzsupport.h"

#include <cstring>
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

    // A window at a time gives the same styles, whatever the windows: their
    // sizes are read from the input, one byte each, 0xFF for the rest of the
    // text. Each window gets a copy of the text of its own, as a text whose
    // bytes moved between two windows.
    TextStyler styler(rules, QByteArrayView(styleOf.constData(), styles));
    std::vector<char> window;
    size_t next = 0;
    for (qsizetype from = 0; from < bytes.size();) {
        const uint8_t b = data[next++ % size];
        const qsizetype to = b == 0xFF ? bytes.size() : std::min(bytes.size(), from + 1 + b % 64);
        const QByteArray copy(bytes.constData(), bytes.size());
        window.assign(size_t(to - from) + 1, char(0x7e));
        styler.styles(copy, from, to, window.data());
        check(window.back() == char(0x7e), "nothing is written past a window");
        check(std::memcmp(window.data(), out.data() + from, size_t(to - from)) == 0,
              "the windows give the styles of the whole text");
        from = to;
    }
    int colour = 0;
    parseSyntaxColour(QString::fromLatin1(bytes.left(12)), colour);
    return 0;
}
