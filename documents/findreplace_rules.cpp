#include "documents/findreplace_rules.h"

#include <QtGlobal>

#include <cstring>

namespace lumrik {

namespace {

bool isAsciiDigit(unsigned char b) { return b >= '0' && b <= '9'; }

bool isLetterByte(unsigned char b)
{
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))
        return true;
    switch (b) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xAA: case 0xB5: case 0xBA:
        return true;
    default:
        return b >= 0xC0 && b != 0xD7 && b != 0xF7;
    }
}

}

unsigned char upperCp1252(unsigned char b)
{
    if (b >= 'a' && b <= 'z')
        return b - 0x20;
    switch (b) {
    case 0x9A: return 0x8A; // š
    case 0x9C: return 0x8C; // œ
    case 0x9E: return 0x8E; // ž
    case 0xFF: return 0x9F; // ÿ
    default: break;
    }
    if (b >= 0xE0 && b != 0xF7 && b != 0xFF)
        return b - 0x20;
    return b;
}

QByteArray upperCp1252(QByteArrayView bytes)
{
    QByteArray out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = char(upperCp1252(static_cast<unsigned char>(bytes[i])));
    return out;
}

bool isNcWordByte(unsigned char b)
{
    return isLetterByte(b) || isAsciiDigit(b) || b == '_' || b == '.';
}

bool isWordBoundary(QByteArrayView text, qsizetype pos)
{
    if (pos <= 0 || pos >= text.size())
        return true;
    const auto a = static_cast<unsigned char>(text[pos - 1]);
    const auto b = static_cast<unsigned char>(text[pos]);
    if (!isNcWordByte(a) || !isNcWordByte(b))
        return true;
    // A number ends where the next address letter begins.
    return (isAsciiDigit(a) || a == '.') && isLetterByte(b);
}

ByteSearch::ByteSearch(QByteArrayView target, SearchOptions options) : options_(options)
{
    for (int c = 0; c < 256; ++c)
        fold_[size_t(c)] = options.caseSensitive ? static_cast<unsigned char>(c) : upperCp1252(static_cast<unsigned char>(c));
    target_ = QByteArray(target.data(), target.size());
    for (qsizetype i = 0; i < target_.size(); ++i)
        target_[i] = char(fold_[static_cast<unsigned char>(target_[i])]);
    const qsizetype m = target_.size();
    skip_.fill(qMax<qsizetype>(m, 1));
    for (qsizetype j = 0; j + 1 < m; ++j)
        skip_[static_cast<unsigned char>(target_[j])] = m - 1 - j;
    if (m > 0) {
        int ways = 0;
        for (int c = 0; c < 256; ++c)
            if (fold_[size_t(c)] == static_cast<unsigned char>(target_[m - 1])) {
                lastByte_ = c;
                ++ways;
            }
        if (ways != 1)
            lastByte_ = -1;
    }
}

bool ByteSearch::matchesAt(const unsigned char *p) const
{
    const auto *t = reinterpret_cast<const unsigned char *>(target_.constData());
    for (qsizetype k = 0; k < target_.size(); ++k)
        if (fold_[p[k]] != t[k])
            return false;
    return true;
}

qsizetype ByteSearch::find(QByteArrayView text, qsizetype from, qsizetype to) const
{
    const qsizetype n = text.size(), m = target_.size();
    if (m == 0)
        return -1;
    from = qBound<qsizetype>(0, from, n);
    to = qBound<qsizetype>(0, to, n);
    const auto *t = reinterpret_cast<const unsigned char *>(text.data());
    auto matches = [&](qsizetype i) {
        return matchesAt(t + i) && (!options_.wholeWords || (isWordBoundary(text, i) && isWordBoundary(text, i + m)));
    };
    if (lastByte_ >= 0) {
        // A match ends in one byte only (a digit, say): from one of them to
        // the next, a search of the whole text at memory speed.
        for (qsizetype e = from + m - 1; e < to;) {
            const auto *hit = static_cast<const unsigned char *>(memchr(t + e, lastByte_, size_t(to - e)));
            if (!hit)
                return -1;
            e = hit - t;
            if (matches(e - (m - 1)))
                return e - (m - 1);
            ++e;
        }
        return -1;
    }
    const auto lastOfTarget = static_cast<unsigned char>(target_[m - 1]);
    for (qsizetype i = from; i <= to - m;) {
        const unsigned char c = fold_[t[i + m - 1]];
        if (c == lastOfTarget && matches(i))
            return i;
        i += skip_[c];
    }
    return -1;
}

qsizetype ByteSearch::findWrapped(QByteArrayView text, qsizetype from, bool wrap) const
{
    const qsizetype p = find(text, from, text.size());
    if (p >= 0 || !wrap || from <= 0)
        return p;
    // Every match that begins before the starting point.
    return find(text, 0, qMin(text.size(), from + target_.size() - 1));
}

std::vector<qsizetype> ByteSearch::findAll(QByteArrayView text, qsizetype from, qsizetype to) const
{
    std::vector<qsizetype> out;
    for (qsizetype p = find(text, from, to); p >= 0; p = find(text, p + target_.size(), to))
        out.push_back(p);
    return out;
}

QByteArray spliceReplacements(QByteArrayView text, qsizetype start, qsizetype end,
                              const std::vector<qsizetype> &matches, qsizetype targetLength,
                              QByteArrayView replacement)
{
    QByteArray out;
    const qsizetype count = qsizetype(matches.size());
    out.reserve((end - start) + count * (replacement.size() - targetLength) + 1);
    qsizetype at = start;
    for (qsizetype p : matches) {
        out.append(text.data() + at, p - at);
        out.append(replacement.data(), replacement.size());
        at = p + targetLength;
    }
    out.append(text.data() + at, end - at);
    return out;
}

}
