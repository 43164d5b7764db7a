// The editor's character attributes: colour, bold and italic of single
// characters as Scintilla styles, and the base look they start from.
#include "documents/editor_impl.h"

#include "core/services.h"

#include <climits>

namespace lumrik {

void Editor::Impl::applyStyleDefaults(int style)
{
    const QByteArray fam = font.toUtf8();
    sendPtr(Sci::SCI_STYLESETFONT, style, fam.constData());
    send(Sci::SCI_STYLESETSIZE, style, fontSize > 0 ? fontSize : 10);
    send(Sci::SCI_STYLESETBACK, style, rkColorValue(back));
    const StyleKey &k = keys[style];
    const QColor c = (style != 0 && k.hasColor) ? QColor::fromRgb(k.color) : fore;
    send(Sci::SCI_STYLESETFORE, style, rkColorValue(c));
    send(Sci::SCI_STYLESETBOLD, style, style != 0 && k.bold);
    send(Sci::SCI_STYLESETITALIC, style, style != 0 && k.italic);
}

void Editor::Impl::applyBaseLook()
{
    applyStyleDefaults(Sci::STYLE_DEFAULT);
    applyStyleDefaults(0);
    for (int s = kFirstStyle; s <= kLastStyle; ++s)
        if (used[s]) applyStyleDefaults(s);
    send(Sci::SCI_SETCARETFORE, rkColorValue(fore));
}

int Editor::Impl::styleFor(const StyleKey &k)
{
    if (!k.hasColor && !k.bold && !k.italic) return 0;
    const quint32 h = k.hash();
    auto it = styleOf.constFind(h);
    if (it != styleOf.constEnd()) return it.value();
    while (nextStyle <= kLastStyle && isReservedStyle(nextStyle)) ++nextStyle;
    if (nextStyle > kLastStyle) {
        // Every style is taken: use the nearest existing one.
        int best = 0, bestDist = INT_MAX;
        for (int s = kFirstStyle; s <= kLastStyle; ++s) {
            if (!used[s]) continue;
            const StyleKey &o = keys[s];
            int dist = (o.bold != k.bold ? 1 << 20 : 0) + (o.italic != k.italic ? 1 << 20 : 0);
            dist += qAbs(qRed(o.color) - qRed(k.color)) + qAbs(qGreen(o.color) - qGreen(k.color))
                    + qAbs(qBlue(o.color) - qBlue(k.color));
            if (dist < bestDist) { bestDist = dist; best = s; }
        }
        return best;
    }
    const int s = nextStyle++;
    keys[s] = k;
    used[s] = true;
    styleOf.insert(h, s);
    applyStyleDefaults(s);
    return s;
}

template <class Change> void Editor::Impl::restyleSelection(Change change)
{
    long from = send(Sci::SCI_GETSELECTIONSTART), to = send(Sci::SCI_GETSELECTIONEND);
    if (to <= from) return;
    long runStart = from;
    int runStyle = int(send(Sci::SCI_GETSTYLEAT, from)) & 0xFF;
    auto flush = [&](long end) {
        StyleKey k = keys[runStyle];
        if (runStyle == 0) k = StyleKey{};
        change(k);
        const int ns = styleFor(k);
        if (ns != runStyle) {
            send(Sci::SCI_STARTSTYLING, runStart, 0xFF);
            send(Sci::SCI_SETSTYLING, end - runStart, ns);
            markStyled(runStart, end);
            plainStyles = false;
        }
    };
    for (long p = from + 1; p < to; ++p) {
        const int s = int(send(Sci::SCI_GETSTYLEAT, p)) & 0xFF;
        if (s != runStyle) {
            flush(p);
            runStart = p;
            runStyle = s;
        }
    }
    flush(to);
}

void Editor::Impl::markStyled(long from, long to) const
{
    if (rows || to <= from) return;
    send(Sci::SCI_SETINDICATORCURRENT, kStyledIndicator);
    send(Sci::SCI_INDICATORFILLRANGE, from, to - from);
}

// The part of from..to outside of which every character is in style 0.
std::pair<long, long> Editor::Impl::styledStretch(long from, long to) const
{
    if (plainStyles) return {from, from};
    if (rows) return {from, to}; // the shown rows carry no marks
    long first = -1, last = from;
    for (long p = from; p < to;) {
        const long e = qMin(to, long(send(Sci::SCI_INDICATOREND, kStyledIndicator, p)));
        if (send(Sci::SCI_INDICATORVALUEAT, kStyledIndicator, p)) {
            if (first < 0) first = p;
            last = e;
        }
        if (e <= p) break; // no further run
        p = e;
    }
    return first < 0 ? std::pair(from, from) : std::pair(first, last);
}

void Editor::Impl::clearStyles()
{
    // New text comes in style 0: once cleared, only styling makes work again.
    if (plainStyles) return;
    // Only the stretch that carries styles is set again: on a large program
    // that is coloured in part, a pass over the whole text costs more than
    // the rest of a whole-program operation.
    const auto [from, to] = styledStretch(0, send(Sci::SCI_GETLENGTH));
    if (to > from) {
        send(Sci::SCI_STARTSTYLING, from, 0xFF);
        send(Sci::SCI_SETSTYLING, to - from, 0);
        if (!rows) {
            send(Sci::SCI_SETINDICATORCURRENT, kStyledIndicator);
            send(Sci::SCI_INDICATORCLEARRANGE, from, to - from);
        }
    }
    plainStyles = true;
}

void Editor::setCharacterForeColor(const QColor &c)
{
    d->flush();
    d->restyleSelection([&](StyleKey &k) {
        k.hasColor = true;
        k.color = c.rgb();
    });
}

void Editor::setCharacterBold(bool on)
{
    d->flush();
    d->restyleSelection([&](StyleKey &k) { k.bold = on; });
}

void Editor::setCharacterItalic(bool on)
{
    d->flush();
    d->restyleSelection([&](StyleKey &k) { k.italic = on; });
}

QColor Editor::characterForeColorAt(int line, int column) const
{
    d->flush();
    d->checkLine(line);
    const int s = int(d->send(Sci::SCI_GETSTYLEAT, d->posOf(column, line))) & 0xFF;
    if (s == 0 || !d->keys[s].hasColor) return d->fore;
    return QColor::fromRgb(d->keys[s].color);
}

bool Editor::characterBoldAt(int line, int column) const
{
    d->flush();
    d->checkLine(line);
    const int s = int(d->send(Sci::SCI_GETSTYLEAT, d->posOf(column, line))) & 0xFF;
    return s != 0 && d->keys[s].bold;
}

bool Editor::characterItalicAt(int line, int column) const
{
    d->flush();
    d->checkLine(line);
    const int s = int(d->send(Sci::SCI_GETSTYLEAT, d->posOf(column, line))) & 0xFF;
    return s != 0 && d->keys[s].italic;
}

void Editor::clearCharacterAttributes() { d->flush(); d->clearStyles(); }

int Editor::attributeStyle(const QColor &colour, bool bold, bool italic)
{
    StyleKey k;
    k.hasColor = true;
    k.color = colour.rgb();
    k.bold = bold;
    k.italic = italic;
    return d->styleFor(k);
}

void Editor::setAttributeStyles(qint64 offset, QByteArrayView styles)
{
    d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    if (offset < 0 || offset >= n || styles.isEmpty())
        return;
    const long length = long(qMin<qint64>(styles.size(), n - offset));
    d->send(Sci::SCI_STARTSTYLING, long(offset), 0xFF);
    d->sendPtr(Sci::SCI_SETSTYLINGEX, length, styles.constData());
    // Only the stretch from the first to the last style other than 0 is marked.
    const char *st = styles.constData();
    long first = 0, last = length;
    while (first < last && st[first] == 0) ++first;
    while (last > first && st[last - 1] == 0) --last;
    d->markStyled(long(offset) + first, long(offset) + last);
    d->plainStyles = false;
}

}
