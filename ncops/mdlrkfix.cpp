#include "ncops/mdlrkfix.h"

#include "core/codepage.h"

#include <QChar>
#include <QStringDecoder>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace lumrik {

namespace {

void appendNumber(QByteArray &out, qint64 v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

const std::array<unsigned char, 256> &upperTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<unsigned char>(i);
        for (int c = 'a'; c <= 'z'; ++c)
            t[c] = static_cast<unsigned char>(c - 32);
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) // division sign
                t[c] = static_cast<unsigned char>(c - 32);
        t[0x9A] = 0x8A; // s caron
        t[0x9C] = 0x8C; // oe
        t[0x9E] = 0x8E; // z caron
        t[0xFF] = 0x9F; // y diaeresis
        return t;
    }();
    return table;
}

}

QByteArray RkRemoveChr(QByteArrayView text, char c)
{
    QByteArray out;
    out.reserve(text.size());
    for (char ch : text)
        if (ch != c)
            out.append(ch);
    return out;
}

bool RkOmNumTnc(QByteArrayView line, QByteArray &result, qint64 newNumber)
{
    if (line.isEmpty())
        return false;
    qsizetype n = 0;
    while (n < line.size() && isBlockNumberChar(line[n]))
        ++n;
    QByteArray out;
    out.reserve(line.size() - n + 12);
    appendNumber(out, newNumber);
    out.append(line.sliced(n));
    result = std::move(out);
    return true;
}

namespace {

inline bool isLetterByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) > 127;
}

// What a character is to the letter after it, from the start of the line on.
enum class Kind : unsigned char { Other, StartLetter, NameLetter, Underscore, ValueDigit, NameDigit };

inline bool partOfName(Kind k) { return k == Kind::NameLetter || k == Kind::Underscore || k == Kind::NameDigit; }

inline Kind kindAfter(Kind prev, char c)
{
    if (isLetterByte(c))
        return (prev == Kind::StartLetter || partOfName(prev)) ? Kind::NameLetter : Kind::StartLetter;
    if (c == '_')
        return Kind::Underscore;
    if (isDigit(c) || c == '.')
        return partOfName(prev) ? Kind::NameDigit : Kind::ValueDigit;
    return Kind::Other;
}

// Walks a line once, telling for rising positions whether a letter there
// begins a word.
class WordStarts {
public:
    explicit WordStarts(QByteArrayView line) : line_(line) {}
    bool at(qsizetype pos)
    {
        while (done_ < pos)
            prev_ = kindAfter(prev_, line_[done_++]);
        return kindAfter(prev_, line_[pos]) == Kind::StartLetter;
    }

private:
    QByteArrayView line_;
    qsizetype done_ = 0;
    Kind prev_ = Kind::Other;
};

// Whether the letter at `pos` begins a word, told by looking back over the
// characters before it (in a program this takes a step or two): nothing when
// more than `limit` characters would have to be looked at.
std::optional<bool> wordStartLookingBack(QByteArrayView line, qsizetype pos, qsizetype limit)
{
    const qsizetype stop = std::max<qsizetype>(0, pos - limit);
    for (qsizetype q = pos;;) {
        // The letter at q begins a word unless a letter, a "_" or a digit of
        // a name stands before it.
        if (q == 0)
            return true;
        if (q <= stop)
            return std::nullopt;
        const char c = line[q - 1];
        if (isLetterByte(c) || c == '_')
            return false;
        if (!isDigit(c) && c != '.')
            return true;
        qsizetype r = q - 1;
        while (r > stop && (isDigit(line[r - 1]) || line[r - 1] == '.'))
            --r;
        if (r == 0)
            return true;
        if (r == stop)
            return std::nullopt;
        const char b = line[r - 1];
        if (b == '_')
            return false;
        if (!isLetterByte(b))
            return true;
        // Digits after a letter are its value when that letter begins a
        // word, and part of a name otherwise.
        q = r - 1;
    }
}

// The first occurrence of the word at a word's start (a word that does not
// begin with a letter: its first occurrence), or -1.
qsizetype findWord(QByteArrayView line, QByteArrayView word, qsizetype from = 0)
{
    constexpr qsizetype kLookBack = 64;
    const bool letter = isLetterByte(word[0]);
    std::optional<WordStarts> starts; // for the rare line where looking back is long
    for (qsizetype p = from;; ++p) {
        p = word.size() == 1 ? line.indexOf(word[0], p) : line.indexOf(word, p);
        if (p < 0 || !letter)
            return p;
        if (!starts) {
            if (const auto start = wordStartLookingBack(line, p, kLookBack)) {
                if (*start)
                    return p;
                continue;
            }
            starts.emplace(line);
        }
        if (starts->at(p))
            return p;
    }
}

}

qsizetype findAtWordStart(QByteArrayView line, char c, qsizetype from)
{
    return findWord(line, QByteArrayView(&c, 1), from);
}

bool isWordStart(QByteArrayView line, qsizetype pos)
{
    return pos >= 0 && pos < line.size() && WordStarts(line).at(pos);
}

std::vector<AddressWord> addressWords(QByteArrayView text)
{
    std::vector<AddressWord> words;
    Kind prev = Kind::Other;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const Kind k = kindAfter(prev, text[i]);
        prev = k;
        if (k != Kind::StartLetter)
            continue;
        qsizetype e = i + 1;
        bool digit = false;
        while (e < text.size() && isBlockNumberChar(text[e]))
            digit |= isDigit(text[e++]);
        if (digit)
            words.push_back({text[i], i, text.sliced(i + 1, e - i - 1)});
    }
    return words;
}

qsizetype codeLength(QByteArrayView line)
{
    const qsizetype paren = line.indexOf('(');
    const qsizetype semicolon = paren < 0 ? line.indexOf(';') : line.first(paren).indexOf(';');
    if (semicolon >= 0)
        return semicolon;
    return paren >= 0 ? paren : line.size();
}

bool isInComment(QByteArrayView line, qsizetype pos)
{
    if (pos < codeLength(line))
        return false;
    bool inParen = false;
    for (qsizetype i = 0; i < line.size() && i <= pos; ++i) {
        const char c = line[i];
        if (c == '(')
            inParen = true;
        else if (c == ';' && !inParen)
            return true;
        if (i == pos)
            return inParen;
        if (c == ')')
            inParen = false;
    }
    return false;
}

bool findWordRun(QByteArrayView line, QByteArrayView word, WordRun &run)
{
    qsizetype p = -1;
    if (!word.isEmpty()) {
        p = findWord(line, word);
        if (p < 0)
            return false;
    }
    const qsizetype s = p + 1;
    qsizetype e = s;
    while (e < line.size() && isBlockNumberChar(line[e]))
        ++e;
    if (e == s)
        return false;
    run = {p, s, e - s};
    return true;
}

std::optional<qint32> readBlockNumber(QByteArrayView run)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < run.size() && (run[i] == '+' || run[i] == '-')) {
        negative = run[i] == '-';
        ++i;
    }
    // Integer part, saturating well above the 32-bit range.
    constexpr quint64 cap = quint64(1) << 40;
    quint64 whole = 0;
    while (i < run.size() && isDigit(run[i])) {
        whole = std::min(cap, whole * 10 + quint64(run[i] - '0'));
        ++i;
    }
    // Fraction: only its effect on rounding matters (halves to even).
    if (i < run.size() && run[i] == '.') {
        ++i;
        if (i < run.size() && isDigit(run[i])) {
            const char first = run[i++];
            bool restNonZero = false;
            while (i < run.size() && isDigit(run[i])) {
                if (run[i] != '0')
                    restNonZero = true;
                ++i;
            }
            if (first > '5' || (first == '5' && (restNonZero || (whole & 1))))
                whole = std::min(cap, whole + 1);
        }
    }
    const qint64 v = negative ? -qint64(whole) : qint64(whole);
    if (v > std::numeric_limits<qint32>::max() || v < std::numeric_limits<qint32>::min())
        return std::nullopt;
    return qint32(v);
}

bool RkBlockFix(QByteArrayView line, QByteArray &result, QByteArrayView word, qint64 &value,
                int mode, bool zeroPad)
{
    if (mode < 1 || mode > 3)
        return false;
    WordRun r;
    if (!findWordRun(line, word, r))
        return false;
    const QByteArrayView run = line.sliced(r.start, r.length);
    switch (mode) {
    case 1: {
        const auto v = readBlockNumber(run);
        if (!v)
            return false;
        QByteArray out(line.data(), line.size());
        const qsizetype from = r.word < 0 ? r.start : r.word;
        std::fill(out.begin() + from, out.begin() + r.start + r.length, ' ');
        result = std::move(out);
        value = *v;
        return true;
    }
    case 2: {
        const auto v = readBlockNumber(run);
        if (!v)
            return false;
        QByteArray out;
        out.reserve(word.size() + run.size());
        out.append(word.data(), word.size());
        out.append(run.data(), run.size());
        result = std::move(out);
        value = *v;
        return true;
    }
    default: {
        QByteArray num;
        appendNumber(num, value);
        if (zeroPad)
            num = (QByteArray("0000") + num).right(4);
        QByteArray out;
        out.reserve(line.size() + num.size());
        out.append(line.first(r.start));
        out.append(num);
        out.append(line.sliced(r.start + r.length));
        result = std::move(out);
        return true;
    }
    }
}

bool RkBlockFix(QByteArrayView line, QByteArray &result, QByteArrayView word, qint32 &value,
                int mode, bool zeroPad)
{
    qint64 v = value;
    if (!RkBlockFix(line, result, word, v, mode, zeroPad))
        return false;
    value = qint32(v);
    return true;
}

std::optional<float> extractValue(char letter, QByteArrayView line)
{
    const qsizetype p = findAtWordStart(line, letter);
    if (p < 0)
        return std::nullopt;
    // The run of value characters, with "," taken as "." for the conversion.
    char buf[64];
    qsizetype n = 0;
    bool tooLong = false;
    int separators = 0, digits = 0, signs = 0;
    for (qsizetype i = p + 1; i < line.size(); ++i) {
        char c = line[i];
        if (isDigit(c)) {
            ++digits;
        } else if (c == '.' || c == ',') {
            ++separators;
            c = '.';
        } else if (c == '+' || c == '-') {
            if (n != 0)
                signs = 2; // a sign only leads the number
            ++signs;
        } else {
            break;
        }
        if (n < qsizetype(sizeof buf))
            buf[n++] = c;
        else
            tooLong = true;
    }
    if (digits == 0 || separators > 1 || signs > 1)
        return std::nullopt;
    const char *begin = buf;
    if (*begin == '+')
        ++begin;
    if (tooLong) {
        // A very long value: let the conversion see every digit.
        QByteArray all = line.sliced(p + 1, n).toByteArray();
        all.replace(',', '.');
        bool ok = false;
        const double d = QByteArray(all.startsWith('+') ? all.mid(1) : all).toDouble(&ok);
        if (!ok || std::abs(d) > double(std::numeric_limits<float>::max()))
            return std::nullopt;
        return float(d);
    }
    float v = 0;
    const auto r = std::from_chars(begin, buf + n, v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != buf + n) // includes values beyond single precision
        return std::nullopt;
    return v;
}

float ExtractValue(char letter, QByteArrayView line)
{
    return extractValue(letter, line).value_or(kNoValue);
}

bool isConversationalStart(QByteArrayView line)
{
    if (line.startsWith("\xEF\xBB\xBF"))
        line = line.sliced(3);
    qsizetype i = 0;
    auto blanks = [&] {
        const qsizetype from = i;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        return i > from;
    };
    auto word = [&](QByteArrayView w) {
        if (line.size() - i < w.size())
            return false;
        for (qsizetype k = 0; k < w.size(); ++k)
            if (upperAscii(line[i + k]) != w[k])
                return false;
        i += w.size();
        return true;
    };
    blanks();
    while (i < line.size() && isDigit(line[i]))
        ++i;
    blanks();
    return word("BEGIN") && blanks() && word("PGM") && (i == line.size() || blanks());
}

bool RkInstrList(QByteArrayView text, QByteArrayView set)
{
    for (char c : set)
        if (text.indexOf(c) >= 0)
            return true;
    return false;
}

char toUpper1252(char c) { return char(upperTable()[static_cast<unsigned char>(c)]); }

QByteArray upper1252(QByteArrayView s)
{
    const auto &t = upperTable();
    QByteArray out(s.size(), Qt::Uninitialized);
    char *o = out.data();
    for (qsizetype i = 0; i < s.size(); ++i)
        o[i] = char(t[static_cast<unsigned char>(s[i])]);
    return out;
}

QByteArray upperUtf8(QByteArrayView s)
{
    if (!hasHighBytes(s) || !isValidUtf8(s)) {
        // Plain ASCII (most lines of a program), or bytes that are not UTF-8
        // and are kept as they are: only a-z change.
        QByteArray out(s.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < s.size(); ++i)
            out[i] = char(s[i] >= 'a' && s[i] <= 'z' ? s[i] - 32 : s[i]);
        return out;
    }
    // Every byte-order mark stays (the decoder would drop a leading one).
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return upperText(decode(s)).toUtf8();
}

}
