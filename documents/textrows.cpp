#include "documents/textrows.h"

#include "core/lineends.h"

#include <algorithm>
#include <cstring>

namespace lumrik {

namespace {

inline bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Appends text[from, to) to `out` broken into rows: a line longer than
// `longest` bytes gets a break after every kRowBytes bytes, as long as more
// than `longest` bytes are left. A line end starts a new row; no break stands
// right before a line end or at `to`. The breaks go to `breaks` as offsets of
// the text plus `shift`. Without `out`, only the breaks are found.
void layRows(QByteArrayView text, qint64 from, qint64 to, qsizetype longest, qint64 shift, QByteArray *out,
             std::vector<qint64> &breaks, bool utf8)
{
    const char *p = text.data();
    qint64 at = from;
    while (at < to) {
        // The rest of the line within from..to.
        const qint64 end = lineEndAt(text.first(to), at);
        while (end - at > longest) {
            qint64 cut = at + TextRows::kRowBytes;
            // Not before a continuation byte: the character stays in one row.
            for (int back = 0; utf8 && back < 3 && (static_cast<unsigned char>(p[cut]) & 0xC0) == 0x80; ++back)
                --cut;
            if (out) {
                out->append(p + at, cut - at);
                out->append('\n');
            }
            breaks.push_back(cut + shift);
            at = cut;
        }
        if (out)
            out->append(p + at, end - at);
        at = end;
        // The line end, whole, and a new row after it.
        if (at < to) {
            const qint64 length = (p[at] == '\r' && at + 1 < to && p[at + 1] == '\n') ? 2 : 1;
            if (out)
                out->append(p + at, length);
            at += length;
        }
    }
}

}

bool TextRows::needed(QByteArrayView text)
{
    // A stretch of more than kLongLine bytes without a CR or LF. From the
    // start of a line, the last line end within the next kLongLine + 1 bytes
    // is looked for from their far end; the next line starts after it. A
    // program of short lines is so crossed in steps of kLongLine bytes.
    const char *p = text.data();
    const qint64 n = text.size();
    for (qint64 at = 0; n - at > kLongLine;) {
        const size_t window = size_t(kLongLine) + 1;
        const auto *lf = static_cast<const char *>(memrchr(p + at, '\n', window));
        const char *from = lf ? lf + 1 : p + at;
        const auto *cr = static_cast<const char *>(memrchr(from, '\r', size_t(p + at + qint64(window) - from)));
        const char *last = cr ? cr : lf;
        if (!last)
            return true;
        at = (last - p) + 1;
    }
    return false;
}

QByteArray TextRows::layOut(QByteArrayView text)
{
    breaks_.clear();
    QByteArray out;
    out.reserve(text.size() + text.size() / kRowBytes + 16);
    layRows(text, 0, text.size(), kRowBytes, 0, &out, breaks_, utf8_);
    return out;
}

void TextRows::layOut(QByteArrayView text, const std::function<void(QByteArrayView)> &piece)
{
    breaks_.clear();
    layRows(text, 0, text.size(), kRowBytes, 0, nullptr, breaks_, utf8_);
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray out;
    out.reserve(kPiece + kPiece / kRowBytes + 16);
    qint64 at = 0;
    auto next = breaks_.cbegin();
    while (at < text.size()) {
        const qint64 upto = std::min<qint64>(text.size(), at + kPiece);
        for (; next != breaks_.cend() && *next < upto; ++next) {
            out.append(text.data() + at, *next - at);
            out.append('\n');
            at = *next;
        }
        out.append(text.data() + at, upto - at);
        at = upto;
        piece(out);
        out.clear();
    }
}

qsizetype TextRows::breaksBefore(qint64 offset) const
{
    return std::lower_bound(breaks_.begin(), breaks_.end(), offset) - breaks_.begin();
}

qint64 TextRows::shownAfter(qint64 offset) const
{
    return offset + (std::upper_bound(breaks_.begin(), breaks_.end(), offset) - breaks_.begin());
}

qint64 TextRows::shownBefore(qint64 offset) const { return offset + breaksBefore(offset); }

qint64 TextRows::textAt(qint64 shown) const
{
    // Break i stands at shown position breaks_[i] + i: those before `shown` drop out.
    qsizetype lo = 0, hi = qsizetype(breaks_.size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (breaks_[size_t(mid)] + mid < shown)
            lo = mid + 1;
        else
            hi = mid;
    }
    return shown - lo;
}

TextRows::Region TextRows::region(QByteArrayView old, qint64 from, qint64 to) const
{
    const char *p = old.data();
    const qint64 n = old.size();
    // From the start of the row at `from` (a break, or the start of its line)
    // to the end of the row at `to` (the next break after it, or the end of
    // its line).
    const qsizetype before = breaksBefore(from + 1); // breaks at or before `from`
    const qint64 prevBreak = before > 0 ? breaks_[size_t(before - 1)] : 0;
    qint64 start = from;
    while (start > prevBreak && !isLineEnd(p[start - 1]))
        --start;
    const qsizetype firstAfter = qsizetype(std::upper_bound(breaks_.begin(), breaks_.end(), to) - breaks_.begin());
    auto breakAt = [&](qsizetype i) { return i < qsizetype(breaks_.size()) ? breaks_[size_t(i)] : n; };
    qint64 end = to;
    while (end < breakAt(firstAfter) && !isLineEnd(p[end]))
        ++end;
    // When the line goes on in the next row, that row too: laid out again
    // with its neighbour, a row that grew or shrank leaves no short rows.
    if (end < n && end == breakAt(firstAfter))
        while (end < breakAt(firstAfter + 1) && !isLineEnd(p[end]))
            ++end;
    return {start, end};
}

TextRows::Change TextRows::change(QByteArrayView old, qint64 from, qint64 to, QByteArrayView bytes)
{
    const char *p = old.data();
    const auto [start, end] = region(old, from, to);

    Change c;
    c.shownFrom = shownAfter(start);
    c.shownTo = shownBefore(end);
    const qint64 delta = qint64(bytes.size()) - (to - from);
    // The stretch as it is after the change, laid out in rows from its start.
    QByteArray after;
    after.reserve((from - start) + bytes.size() + (end - to));
    after.append(p + start, from - start);
    after.append(bytes.data(), bytes.size());
    after.append(p + to, end - to);
    std::vector<qint64> fresh;
    c.shown.reserve(after.size() + after.size() / kRowBytes + 4);
    // Rows of up to twice the length before they are broken again: typing
    // in a row does not break off a row for every byte.
    layRows(after, 0, after.size(), 2 * kRowBytes, start, &c.shown, fresh, utf8_);

    // Breaks inside the region go; those after it move with the change.
    const qsizetype firstInside = breaksBefore(start + 1); // breaks after `start`
    const qsizetype firstKept = breaksBefore(end);          // breaks at `end` or later
    for (qsizetype i = firstKept; i < qsizetype(breaks_.size()); ++i)
        breaks_[size_t(i)] += delta;
    breaks_.erase(breaks_.begin() + firstInside, breaks_.begin() + firstKept);
    breaks_.insert(breaks_.begin() + firstInside, fresh.begin(), fresh.end());
    return c;
}

}
