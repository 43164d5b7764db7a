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

bool findWordRun(QByteArrayView line, QByteArrayView word, WordRun &run)
{
    qsizetype p = -1;
    if (!word.isEmpty()) {
        p = word.size() == 1 ? line.indexOf(word[0]) : line.indexOf(word);
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
    const qsizetype p = line.indexOf(letter);
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
