#include "documents/findreplace_rules.h"

#include "core/codepage.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <limits>

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

unsigned char upperAscii(unsigned char b) { return b >= 'a' && b <= 'z' ? b - 0x20 : b; }

// The case folding of a character when its UTF-8 form is as long; else the
// character itself.
char32_t foldKeepingLength(char32_t c)
{
    const char32_t f = QChar::toCaseFolded(c);
    return utf8Length(f) == utf8Length(c) ? f : c;
}

QByteArray utf8Of(char32_t c) { return QStringView(QChar::fromUcs4(c)).toUtf8(); }

// The one character of a UTF-8 sequence (U+FFFD when it is none).
char32_t decodeOne(QByteArrayView bytes)
{
    const QList<uint> u = QString::fromUtf8(bytes).toUcs4();
    return u.size() == 1 ? char32_t(u[0]) : 0xFFFD;
}

// The character that begins at `pos`, and the one that ends before it.
char32_t characterAt(QByteArrayView text, qsizetype pos)
{
    const qsizetype n = utf8SequenceLength(static_cast<unsigned char>(text[pos]));
    return decodeOne(text.sliced(pos, qMin(n, text.size() - pos)));
}

char32_t characterBefore(QByteArrayView text, qsizetype pos)
{
    qsizetype start = pos - 1;
    while (start > 0 && pos - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    return decodeOne(text.sliced(start, pos - start));
}

bool isWordCharacter(char32_t c) { return c < 0x80 ? isNcWordByte(uchar(c)) : QChar::isLetterOrNumber(c); }
bool isLetterCharacter(char32_t c) { return c < 0x80 ? isLetterByte(uchar(c)) : QChar::isLetter(c); }

// The UTF-8 forms that match `c` without regard to case (itself first).
std::vector<QByteArray> formsOf(char32_t c)
{
    std::vector<QByteArray> forms{utf8Of(c)};
    const char32_t key = foldKeepingLength(c);
    auto add = [&](char32_t other) {
        if (other != c && foldKeepingLength(other) == key) {
            const QByteArray b = utf8Of(other);
            if (std::find(forms.begin(), forms.end(), b) == forms.end())
                forms.push_back(b);
        }
    };
    if (c < 0x10000) {
        for (char32_t other = 0x80; other < 0x10000; ++other)
            if (other < 0xD800 || other > 0xDFFF)
                add(other);
    } else {
        add(QChar::toLower(c));
        add(QChar::toUpper(c));
        add(QChar::toTitleCase(c));
    }
    return forms;
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

bool isWordBoundary(QByteArrayView text, qsizetype pos, bool utf8)
{
    if (pos <= 0 || pos >= text.size())
        return true;
    if (utf8) {
        const char32_t a = characterBefore(text, pos), b = characterAt(text, pos);
        if (!isWordCharacter(a) || !isWordCharacter(b))
            return true;
        return (a == '.' || (a < 0x80 && isAsciiDigit(uchar(a)))) && isLetterCharacter(b);
    }
    const auto a = static_cast<unsigned char>(text[pos - 1]);
    const auto b = static_cast<unsigned char>(text[pos]);
    if (!isNcWordByte(a) || !isNcWordByte(b))
        return true;
    // A number ends where the next address letter begins.
    return (isAsciiDigit(a) || a == '.') && isLetterByte(b);
}

ByteSearch::ByteSearch(QByteArrayView target, SearchOptions options) : options_(options)
{
    // UTF-8 text: bytes fold as ASCII letters only; the target's other
    // characters match by their forms (units_).
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        fold_[size_t(c)] = options.caseSensitive ? b : options.utf8 ? upperAscii(b) : upperCp1252(b);
    }
    target_ = QByteArray(target.data(), target.size());
    for (qsizetype i = 0; i < target_.size(); ++i)
        target_[i] = char(fold_[static_cast<unsigned char>(target_[i])]);
    const qsizetype m = target_.size();
    skip_.fill(qMax<qsizetype>(m, 1));
    if (options.utf8 && !options.caseSensitive && hasHighBytes(target) && isValidUtf8(target)) {
        qsizetype at = 0;
        for (uint c : QString::fromUtf8(target).toUcs4()) {
            const int n = utf8Length(c);
            if (n > 1)
                units_.push_back({at, formsOf(c)});
            at += n;
        }
        if (at != m) // a character the decoding dropped (a leading byte-order mark)
            units_.clear();
    }
    if (!units_.empty()) {
        // The bytes a match may hold at each position, for the skips and the
        // last byte.
        std::vector<std::array<bool, 256>> allowed(size_t(m), std::array<bool, 256>{});
        for (qsizetype j = 0; j < m; ++j)
            for (int c = 0; c < 256; ++c)
                allowed[size_t(j)][size_t(c)] = fold_[size_t(c)] == static_cast<unsigned char>(target_[j]);
        for (const Unit &u : units_) {
            for (qsizetype k = 0; k < u.forms.front().size(); ++k) {
                allowed[size_t(u.offset + k)].fill(false);
                for (const QByteArray &f : u.forms)
                    allowed[size_t(u.offset + k)][static_cast<unsigned char>(f[k])] = true;
            }
        }
        for (qsizetype j = 0; j + 1 < m; ++j)
            for (int c = 0; c < 256; ++c)
                if (allowed[size_t(j)][size_t(c)])
                    skip_[size_t(c)] = m - 1 - j;
        endsIn_ = allowed[size_t(m - 1)];
        return;
    }
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
    auto unit = units_.begin();
    for (qsizetype k = 0; k < target_.size();) {
        if (unit != units_.end() && unit->offset == k) {
            const qsizetype n = unit->forms.front().size();
            const auto same = [&](const QByteArray &f) { return memcmp(p + k, f.constData(), size_t(n)) == 0; };
            if (std::none_of(unit->forms.begin(), unit->forms.end(), same))
                return false;
            k += n;
            ++unit;
            continue;
        }
        if (fold_[p[k]] != t[k])
            return false;
        ++k;
    }
    return true;
}

bool ByteSearch::boundaryAt(QByteArrayView text, qsizetype pos) const
{
    return isWordBoundary(text, pos, options_.utf8);
}

// Horspool's skips on the text's own bytes, for a target with units.
qsizetype ByteSearch::findByCharacters(QByteArrayView text, qsizetype from, qsizetype to) const
{
    const qsizetype m = target_.size();
    const auto *t = reinterpret_cast<const unsigned char *>(text.data());
    for (qsizetype i = from; i <= to - m;) {
        const unsigned char c = t[i + m - 1];
        if (endsIn_[c] && matchesAt(t + i)
            && (!options_.wholeWords || (boundaryAt(text, i) && boundaryAt(text, i + m))))
            return i;
        i += skip_[c];
    }
    return -1;
}

qsizetype ByteSearch::find(QByteArrayView text, qsizetype from, qsizetype to) const
{
    const qsizetype n = text.size(), m = target_.size();
    if (m == 0)
        return -1;
    from = qBound<qsizetype>(0, from, n);
    to = qBound<qsizetype>(0, to, n);
    if (!units_.empty())
        return findByCharacters(text, from, to);
    const auto *t = reinterpret_cast<const unsigned char *>(text.data());
    auto matches = [&](qsizetype i) {
        return matchesAt(t + i) && (!options_.wholeWords || (boundaryAt(text, i) && boundaryAt(text, i + m)));
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
    std::vector<QByteArray> parts = spliceReplacementsInParts(text, start, end, matches, targetLength, replacement,
                                                              std::numeric_limits<qsizetype>::max());
    return parts.empty() ? QByteArray() : std::move(parts.front());
}

std::vector<QByteArray> spliceReplacementsInParts(QByteArrayView text, qsizetype start, qsizetype end,
                                                  const std::vector<qsizetype> &matches, qsizetype targetLength,
                                                  QByteArrayView replacement, qsizetype partBytes)
{
    std::vector<QByteArray> parts;
    qsizetype left = (end - start) + qsizetype(matches.size()) * (replacement.size() - targetLength);
    const auto add = [&](QByteArrayView bytes) {
        while (!bytes.isEmpty()) {
            if (parts.empty() || parts.back().size() >= partBytes) {
                parts.emplace_back();
                parts.back().reserve(qMin(partBytes, left) + 1);
            }
            const qsizetype take = qMin(bytes.size(), partBytes - parts.back().size());
            parts.back().append(bytes.first(take));
            bytes = bytes.sliced(take);
            left -= take;
        }
    };
    qsizetype at = start;
    for (qsizetype p : matches) {
        add(text.sliced(at, p - at));
        add(replacement);
        at = p + targetLength;
    }
    add(text.sliced(at, end - at));
    return parts;
}

}
