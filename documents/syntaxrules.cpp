#include <algorithm>
#include "documents/syntaxrules.h"

#include "core/codepage.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/lineends.h"
#include "core/paths.h"

#include <cstring>

namespace lumrik {

bool IsNotNumChar(char c)
{
    return !((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ',' || c == '+');
}

bool parseSyntaxColour(const QString &text, int &colour)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) { // "&H" alone reads as 0
        colour = 0;
        return true;
    }
    if (t.size() > 8)
        return false;
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok)
        return false;
    colour = int(v & 0xFFFFFF); // BBGGRR, the stored form
    return true;
}

namespace {

// Values of a syntax file are read as the settings store reads them: at most
// 99 characters.
QString iniValue(const IniFile &ini, const QString &section, const QString &key, const QString &def)
{
    return ini.value(section, key, def).left(99);
}

int styleIndex(SyntaxRules &rules, const SyntaxStyle &style)
{
    for (size_t i = 0; i < rules.styles.size(); ++i)
        if (rules.styles[i] == style)
            return int(i);
    rules.styles.push_back(style);
    return int(rules.styles.size() - 1);
}

SyntaxStyle readStyle(const IniFile &ini, const QString &colourSection, const QString &styleSection,
                      const QString &key, const QString &fileName)
{
    SyntaxStyle s;
    const QString colourText = iniValue(ini, colourSection, key, QStringLiteral("000000")).trimmed();
    if (!parseSyntaxColour(colourText, s.colour))
        throw RkExpected(kErrTypeMismatch,
                      QStringLiteral("Felaktig färg \"%1\" under [%2] %3 i syntaxfilen %4")
                          .arg(colourText, colourSection, key, fileName));
    const QString style = iniValue(ini, styleSection, key, {}).trimmed();
    s.bold = style == QLatin1String("B");
    s.italic = style == QLatin1String("I");
    return s;
}

}

SyntaxRules parseSyntaxRules(const IniFile &ini, const QString &fileName)
{
    SyntaxRules rules;
    for (int n = 1; n <= kMaxKeywordRules; ++n) {
        const QString key = QString::number(n);
        const QString word = iniValue(ini, QStringLiteral("Context"), key, {});
        if (word.isEmpty())
            break;
        KeywordRule r;
        r.keyword = toCp1252(word);
        r.withNumber = iniValue(ini, QStringLiteral("Len"), key, {}).trimmed().isEmpty();
        r.style = styleIndex(rules, readStyle(ini, QStringLiteral("CColor"), QStringLiteral("CStyle"), key, fileName));
        rules.keywords.push_back(r);
    }
    for (int n = 1; n <= kMaxRangeRules; ++n) {
        const QString num = QString::number(n);
        const QString start = iniValue(ini, QStringLiteral("STARTSTOP"), 'S' + num, {});
        if (start.isEmpty())
            break;
        RangeRule r;
        r.start = toCp1252(start);
        r.end = toCp1252(iniValue(ini, QStringLiteral("STARTSTOP"), 'E' + num, {}));
        r.style = styleIndex(rules, readStyle(ini, QStringLiteral("SColor"), QStringLiteral("SStyle"), num, fileName));
        rules.ranges.push_back(r);
    }
    return rules;
}

QString syntaxFilePath(const QString &machine)
{
    QString cfg = machineFile(machine);
    const QString name = GetIniSetting(QStringLiteral("Settings"), QStringLiteral("ColorFile"),
                                       QStringLiteral("fanuc"), cfg);
    if (name.isEmpty())
        return {};
    return findFileNoCase(gsDataPath, name + QStringLiteral(".syn"));
}

SyntaxRules loadSyntaxRules(const QString &machine)
{
    const QString path = syntaxFilePath(machine);
    IniFile ini;
    if (path.isEmpty() || !ini.load(path))
        return {};
    return parseSyntaxRules(ini, GetFileNamePart(path));
}

void lineSpans(QByteArrayView line, const SyntaxRules &rules, std::vector<ColorSpan> &out)
{
    out.clear();
    const qsizetype n = line.size();
    const char *s = line.data();
    for (const KeywordRule &r : rules.keywords) {
        const qsizetype len = r.keyword.size();
        qsizetype pos = line.indexOf(QByteArrayView(r.keyword));
        while (pos >= 0) {
            qsizetype end = pos + len;
            if (r.withNumber)
                while (end < n && !IsNotNumChar(s[end]))
                    ++end;
            out.push_back({int(pos), int(end), r.style});
            // The next occurrence is looked for after the coloured span.
            pos = end < n ? line.indexOf(QByteArrayView(r.keyword), end) : -1;
        }
    }
    for (const RangeRule &r : rules.ranges) {
        const qsizetype start = line.indexOf(QByteArrayView(r.start));
        if (start < 0)
            continue;
        qsizetype end = n;
        if (!r.end.isEmpty()) {
            // The end is looked for after the start string.
            const qsizetype e = line.indexOf(QByteArrayView(r.end), start + r.start.size());
            if (e < 0)
                continue; // an unclosed range colours nothing
            end = e + r.end.size();
        }
        out.push_back({int(start), int(end), r.style});
    }
}

void textStyles(QByteArrayView text, const SyntaxRules &rules, QByteArrayView styleOf, char *out)
{
    TextStyler(rules, styleOf).styles(text, 0, text.size(), out);
}

TextStyler::TextStyler(const SyntaxRules &rules, QByteArrayView styleOf)
    : rules_(rules), styleOf_(styleOf), keywords_(rules.keywords.size()), ranges_(rules.ranges.size())
{
}

void TextStyler::styles(QByteArrayView text, qsizetype from, qsizetype to, char *out)
{
    // Rule after rule, keywords first: no span crosses a line end (a keyword
    // holds none, a number and a range stop at it), so each line ends up as
    // if its spans were laid down one after the other. Each rule's search
    // goes on from where it stood at the end of the last window; a span that
    // reaches past the window is kept for the next one.
    const qsizetype n = text.size();
    const char *s = text.data();
    memset(out, 0, size_t(to - from));
    auto paint = [&](qsizetype a, qsizetype b, char style) {
        a = std::max(a, from);
        b = std::min(b, to);
        if (b > a)
            memset(out + (a - from), style, size_t(b - a));
    };
    for (size_t k = 0; k < rules_.keywords.size(); ++k) {
        const KeywordRule &r = rules_.keywords[k];
        const QByteArrayView word(r.keyword);
        const char style = styleOf_[r.style];
        Next &c = keywords_[k];
        if (c.start == -2)
            c.start = text.indexOf(word);
        while (c.start >= 0 && c.start < to) {
            if (c.end < 0) {
                c.end = c.start + word.size();
                if (r.withNumber)
                    while (c.end < n && !IsNotNumChar(s[c.end]))
                        ++c.end;
            }
            paint(c.start, c.end, style);
            if (c.end > to)
                break; // goes on in the next window
            // The next occurrence is looked for after the coloured span.
            c.start = c.end < n ? text.indexOf(word, c.end) : -1;
            c.end = -1;
        }
    }
    for (size_t k = 0; k < rules_.ranges.size(); ++k) {
        const RangeRule &r = rules_.ranges[k];
        const char style = styleOf_[r.style];
        Next &c = ranges_[k];
        for (;;) {
            if (c.start == -2) {
                c.start = c.searchFrom < n ? text.indexOf(QByteArrayView(r.start), c.searchFrom) : -1;
                if (c.start >= 0) {
                    const qsizetype lineEnd = lineEndAt(text, c.start);
                    c.end = lineEnd;
                    if (!r.end.isEmpty()) {
                        // The end is looked for after the start string, in its line.
                        const qsizetype e = text.first(lineEnd).indexOf(QByteArrayView(r.end), c.start + r.start.size());
                        c.end = e < 0 ? -1 : e + r.end.size(); // an unclosed range colours nothing
                    }
                    // Only the first start string of a line counts. A start string
                    // that holds a line end of its own still moves the search on.
                    c.searchFrom = std::max(lineEnd, c.start + 1);
                }
            }
            if (c.start < 0 || c.start >= to)
                break;
            if (c.end >= 0) {
                paint(c.start, c.end, style);
                if (c.end > to)
                    break; // goes on in the next window
            }
            c.start = -2;
        }
    }
}

}
