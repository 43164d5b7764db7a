#pragma once
// The rules of a syntax file (".syn", INI format): keyword rules (section
// "Context" with "CColor", "CStyle", "Len") and range rules (section
// "STARTSTOP" with "SColor", "SStyle"), and the coloured spans they give a
// line. No windows here.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

namespace lumrik {

class IniFile;

inline constexpr int kMaxKeywordRules = 50;
inline constexpr int kMaxRangeRules = 10;

struct SyntaxStyle {
    int colour = 0;        // stored form: red in the low byte
    bool bold = false;
    bool italic = false;
    bool operator==(const SyntaxStyle &) const = default;
};

struct KeywordRule {
    QByteArray keyword;    // searched case-sensitively anywhere in a line
    bool withNumber = true; // the number right after the keyword is coloured too
    int style = 0;         // index into SyntaxRules::styles
};

struct RangeRule {
    QByteArray start;
    QByteArray end;        // empty: to the end of the line
    int style = 0;
};

struct SyntaxRules {
    std::vector<KeywordRule> keywords;
    std::vector<RangeRule> ranges;
    std::vector<SyntaxStyle> styles; // the distinct styles of the rules
    bool empty() const { return keywords.empty() && ranges.empty(); }
};

// True for every character that cannot be part of a number ("0"-"9", "-",
// ".", "," and "+" can).
bool IsNotNumChar(char c);

// A colour of the syntax file: hexadecimal digits BBGGRR (blue high, red low).
// False when the text is not a hexadecimal number.
bool parseSyntaxColour(const QString &text, int &colour);

// Reads the rules. A colour that is not a hexadecimal number throws RkError
// naming the section, the key and the file.
SyntaxRules parseSyntaxRules(const IniFile &ini, const QString &fileName = {});

// The syntax file of a machine: its "ColorFile" (default "fanuc") & ".syn" in
// the program folder, found without regard to case; empty when "ColorFile" is
// empty.
QString syntaxFilePath(const QString &machine);
// The machine's rules; a missing file gives no rules. Throws like parseSyntaxRules.
SyntaxRules loadSyntaxRules(const QString &machine);

// A coloured span of one line: byte offsets from 0, end exclusive.
struct ColorSpan {
    int start = 0;
    int end = 0;
    int style = 0;
    bool operator==(const ColorSpan &) const = default;
};

// The spans of one line in the order the rules give them: keywords by their
// number, then ranges (only the first start string of a line counts). A later
// span wins over an earlier one on the characters they share.
void lineSpans(QByteArrayView line, const SyntaxRules &rules, std::vector<ColorSpan> &out);

// The styles a stretch of whole lines shows, one byte for each of its bytes:
// for every line what its spans give (a later span wins on the characters it
// shares with an earlier one), `styleOf` giving the byte written for each of
// the rules' styles; 0 where no span lies, and on the line ends. The lines
// end at CR LF, LF or a lone CR. Linear in the size of the text times the
// number of rules; no work per line beyond the searches.
void textStyles(QByteArrayView text, const SyntaxRules &rules, QByteArrayView styleOf, char *out);

// The same styles a window at a time: the windows of one text follow each
// other from its start, and together give what textStyles gives the whole
// text. A text of one giant line is coloured without a style buffer of its
// size. Each call is given the text anew (the same bytes; they may have
// moved in memory since the last call).
class TextStyler {
public:
    TextStyler(const SyntaxRules &rules, QByteArrayView styleOf);
    // The styles of text[from, to); `from` is where the last window ended
    // (0 for the first).
    void styles(QByteArrayView text, qsizetype from, qsizetype to, char *out);

private:
    // Per rule: the match or range found next (start -1: none left, -2: not
    // looked for yet), the end of its span (-1: a range that colours
    // nothing), and for a range rule where its next search starts.
    struct Next {
        qsizetype start = -2, end = -1, searchFrom = 0;
    };
    const SyntaxRules &rules_;
    QByteArrayView styleOf_;
    std::vector<Next> keywords_, ranges_;
};

}
