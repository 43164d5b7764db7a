// The editor's text store: every message about the text goes to Scintilla
// through Impl::send and Impl::sendPtr. A text with a line too long for
// Scintilla to lay out is shown in rows (documents/textrows.h), and the row
// store here translates each message between the text and the shown rows,
// and keeps the text's own undo.
#include "documents/editor_impl.h"

#include "core/errors.h"

#include <QKeyEvent>

#include <cstring>

namespace lumrik {

namespace detail {

// Every message the adapter sends has its route here. A new one gets its
// place in this list, and a case of rowsSend or rowsSendPtr when it speaks
// of places in the text; until then it is refused.
SciRoute sciRoute(unsigned int msg)
{
    switch (msg) {
    // Positions, lines, the selection, the target, styling, the read-only
    // flag and the undo: the row store translates them (rowsSend, rowsSendPtr).
    case Sci::SCI_GETLENGTH: case Sci::SCI_GETCHARACTERPOINTER: case Sci::SCI_GETRANGEPOINTER:
    case Sci::SCI_GETLINECOUNT: case Sci::SCI_POSITIONFROMLINE: case Sci::SCI_GETLINEENDPOSITION:
    case Sci::SCI_LINEFROMPOSITION: case Sci::SCI_TEXTHEIGHT:
    case Sci::SCI_GETCURRENTPOS: case Sci::SCI_GETANCHOR:
    case Sci::SCI_GETSELECTIONSTART: case Sci::SCI_GETSELECTIONEND:
    case Sci::SCI_SETANCHOR: case Sci::SCI_SETCURRENTPOS: case Sci::SCI_GOTOPOS:
    case Sci::SCI_SETEMPTYSELECTION: case Sci::SCI_SETSEL: case Sci::SCI_SETSELECTION:
    case Sci::SCI_GETSTYLEAT: case Sci::SCI_STARTSTYLING: case Sci::SCI_SETSTYLING: case Sci::SCI_SETSTYLINGEX:
    case Sci::SCI_SETTARGETSTART: case Sci::SCI_SETTARGETEND: case Sci::SCI_REPLACETARGET: case Sci::SCI_REPLACESEL:
    case Sci::SCI_GETFIRSTVISIBLELINE: case Sci::SCI_SETFIRSTVISIBLELINE:
    case Sci::SCI_GETREADONLY: case Sci::SCI_SETREADONLY:
    case Sci::SCI_SETUNDOCOLLECTION: case Sci::SCI_GETUNDOCOLLECTION:
    case Sci::SCI_BEGINUNDOACTION: case Sci::SCI_ENDUNDOACTION:
    case Sci::SCI_EMPTYUNDOBUFFER: case Sci::SCI_SETSAVEPOINT: case Sci::SCI_GETMODIFY:
    case Sci::SCI_UNDO: case Sci::SCI_REDO: case Sci::SCI_CLEAR:
        return SciRoute::Converted;
    // Settings, looks and the view, the same for the text and its rows.
    case Sci::SCI_SETCODEPAGE: case Sci::SCI_GETCODEPAGE: case Sci::SCI_SETLEXER: case Sci::SCI_SETMODEVENTMASK:
    case Sci::SCI_SETIDLESTYLING: case Sci::SCI_SETLAYOUTCACHE: case Sci::SCI_SETWRAPMODE:
    case Sci::SCI_SETEOLMODE: case Sci::SCI_CLEARCMDKEY: case Sci::SCI_ASSIGNCMDKEY:
    case Sci::SCI_GETOVERTYPE: case Sci::SCI_SETOVERTYPE:
    case Sci::SCI_SETMARGINWIDTHN: case Sci::SCI_SETMARGINLEFT:
    case Sci::SCI_SETSCROLLWIDTH: case Sci::SCI_SETSCROLLWIDTHTRACKING:
    case Sci::SCI_SCROLLCARET: case Sci::SCI_LINESONSCREEN:
    case Sci::SCI_STYLESETFONT: case Sci::SCI_STYLESETSIZE: case Sci::SCI_STYLESETBACK:
    case Sci::SCI_STYLESETFORE: case Sci::SCI_STYLESETBOLD: case Sci::SCI_STYLESETITALIC:
    case Sci::SCI_SETCARETFORE: case Sci::SCI_SETSELBACK: case Sci::SCI_SETSELFORE:
    case Sci::SCI_INDICSETSTYLE: case Sci::SCI_SETINDICATORCURRENT:
        return SciRoute::AsIs;
    // A new text of Scintilla's own, the marks of styled stretches, which
    // the shown rows do not carry, and the marker actions in Scintilla's own
    // undo (the row store keeps its markers with its edits).
    case Sci::SCI_CLEARALL: case Sci::SCI_ALLOCATE: case Sci::SCI_ADDTEXT:
    case Sci::SCI_ADDUNDOACTION: case Sci::SCI_GETGAPPOSITION:
    case Sci::SCI_INDICATORFILLRANGE: case Sci::SCI_INDICATORCLEARRANGE:
    case Sci::SCI_INDICATOREND: case Sci::SCI_INDICATORVALUEAT:
        return SciRoute::OwnText;
    default:
        return SciRoute::Unknown;
    }
}

}

namespace {
bool changesTextMessage(unsigned int msg)
{
    switch (msg) {
    case Sci::SCI_REPLACETARGET: case Sci::SCI_REPLACESEL: case Sci::SCI_SETTEXT: case Sci::SCI_CLEARALL:
    case Sci::SCI_INSERTTEXT: case Sci::SCI_APPENDTEXT: case Sci::SCI_ADDTEXT: case Sci::SCI_DELETERANGE:
    case Sci::SCI_CLEAR: case Sci::SCI_CUT: case Sci::SCI_PASTE: case Sci::SCI_UNDO: case Sci::SCI_REDO:
    case Sci::SCI_DELETEBACK: case Sci::SCI_DELETEBACKNOTLINE: case Sci::SCI_NEWLINE: case Sci::SCI_TAB:
    case Sci::SCI_BACKTAB: case Sci::SCI_LINEDELETE: case Sci::SCI_LINECUT: case Sci::SCI_LINETRANSPOSE:
    case Sci::SCI_LINEDUPLICATE: case Sci::SCI_UPPERCASE: case Sci::SCI_LOWERCASE:
        return true;
    default:
        return false;
    }
}
}

void Editor::Impl::checkUnchanged(quint64 mine) const
{
    if (generation != mine)
        throw RkError(kErrInvalidCall, QStringLiteral("Texten ändrades medan den skrevs om; omskrivningen avbröts"));
}

// The generation counts each text-changing message once, whether Scintilla
// holds the text or the row store does.
long Editor::Impl::send(unsigned int msg, unsigned long w, long l) const
{
    if (changesTextMessage(msg)) ++generation;
    if (rows) return rowsSend(msg, w, l);
    if (detail::sciRoute(msg) == detail::SciRoute::Unknown) return refuse(msg);
    return sci->SendScintilla(msg, w, l);
}

long Editor::Impl::raw(unsigned int msg, unsigned long w, long l) const
{
    return sci->SendScintilla(msg, w, l);
}

long Editor::Impl::sendPtr(unsigned int msg, unsigned long w, const char *p) const
{
    if (changesTextMessage(msg)) ++generation;
    if (rows) return rowsSendPtr(msg, w, p);
    if (detail::sciRoute(msg) == detail::SciRoute::Unknown) return refuse(msg);
    return sci->SendScintilla(msg, w, p);
}

// A message without a route (or one of Scintilla's own text while the text
// is shown in rows) would reach Scintilla in the wrong coordinates: it is not
// sent, and the refusal is told.
long Editor::Impl::refuse(unsigned int msg) const
{
    qCritical("Editor: Scintilla message %u refused: no route for it through the text store%s", msg,
              rows ? " of a text shown in rows" : "");
    Q_ASSERT_X(false, "Editor::Impl::refuse", "a Scintilla message without a route");
    return 0;
}

// The text and its styles, interleaved, as SCI_GETSTYLEDTEXT gives them
// (`out` holds two bytes more than twice the length).
void Editor::Impl::styledText(long from, long to, char *out) const
{
    if (!rows) {
        sci->SendScintilla(Sci::SCI_GETSTYLEDTEXT, from, to, out);
        return;
    }
    // A row at a time: no break lies inside a piece. Each piece's two closing
    // zero bytes fall where the next piece begins, or after the end.
    const std::vector<qint64> &breaks = rows->map.breaks();
    for (qsizetype i = rows->map.breaksBefore(from + 1); from < to; ++i) {
        const long upto = i < qsizetype(breaks.size()) ? long(qMin<qint64>(to, breaks[size_t(i)])) : to;
        const long shown = long(rows->map.shownAfter(from));
        if (upto > from)
            sci->SendScintilla(Sci::SCI_GETSTYLEDTEXT, shown, shown + (upto - from), out);
        out += 2 * (upto - from);
        from = upto;
    }
}

// ----- rows ------------------------------------------------------------------

qsizetype Editor::Impl::rowOfBreak(qsizetype i) const
{
    return raw(Sci::SCI_LINEFROMPOSITION, rows->map.breaks()[size_t(i)] + i);
}

// The first row of a line (lines and rows from 0): the line plus the breaks
// of the lines before it.
long Editor::Impl::firstRow(long line) const
{
    qsizetype lo = 0, hi = qsizetype(rows->map.breaks().size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (rowOfBreak(mid) - mid < line) lo = mid + 1;
        else hi = mid;
    }
    return line + long(lo);
}

long Editor::Impl::lineOfRow(long row) const
{
    qsizetype lo = 0, hi = qsizetype(rows->map.breaks().size());
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (rowOfBreak(mid) < row) lo = mid + 1;
        else hi = mid;
    }
    return row - long(lo);
}

long Editor::Impl::rowsSend(unsigned int msg, unsigned long w, long l) const
{
    Rows &r = *rows;
    const TextRows &map = r.map;
    const long length = long(r.text.size());
    auto clamp = [length](unsigned long p) { return qBound(0L, long(p), length); };
    switch (msg) {
    case Sci::SCI_GETLENGTH: return length;
    case Sci::SCI_GETCHARACTERPOINTER: return long(reinterpret_cast<quintptr>(r.text.constData()));
    case Sci::SCI_GETRANGEPOINTER: return long(reinterpret_cast<quintptr>(r.text.constData() + clamp(w)));
    case Sci::SCI_GETLINECOUNT: return raw(msg) - long(map.breaks().size());
    case Sci::SCI_POSITIONFROMLINE: {
        const long count = raw(Sci::SCI_GETLINECOUNT) - long(map.breaks().size());
        if (long(w) >= count) return long(w) == count ? length : -1;
        return long(map.textAt(raw(msg, firstRow(long(w)))));
    }
    case Sci::SCI_GETLINEENDPOSITION: {
        const long rowCount = raw(Sci::SCI_GETLINECOUNT);
        const long next = firstRow(long(w) + 1);
        return long(map.textAt(raw(msg, qMin(next, rowCount) - 1)));
    }
    case Sci::SCI_LINEFROMPOSITION: {
        const qint64 p = clamp(w);
        return raw(msg, map.shownBefore(p)) - long(map.breaksBefore(p));
    }
    case Sci::SCI_GETCURRENTPOS: case Sci::SCI_GETANCHOR:
    case Sci::SCI_GETSELECTIONSTART: case Sci::SCI_GETSELECTIONEND:
        return long(map.textAt(raw(msg)));
    case Sci::SCI_SETANCHOR: {
        // The caret's own place when it stands for the same position.
        const long caret = raw(Sci::SCI_GETCURRENTPOS);
        return raw(msg, map.textAt(caret) == clamp(w) ? caret : map.shownAfter(clamp(w)));
    }
    case Sci::SCI_SETCURRENTPOS: case Sci::SCI_GOTOPOS: case Sci::SCI_SETEMPTYSELECTION:
        return raw(msg, map.shownAfter(clamp(w)));
    case Sci::SCI_SETSEL: case Sci::SCI_SETSELECTION:
        return raw(msg, map.shownAfter(clamp(w)), map.shownAfter(clamp(l)));
    case Sci::SCI_GETSTYLEAT: return raw(msg, map.shownAfter(clamp(w)));
    case Sci::SCI_STARTSTYLING: r.styleAt = clamp(w); return 0;
    case Sci::SCI_SETSTYLING: {
        const long from = long(map.shownAfter(r.styleAt)), to = long(map.shownBefore(clamp(r.styleAt + w)));
        r.styleAt = clamp(r.styleAt + w);
        if (to > from) {
            raw(Sci::SCI_STARTSTYLING, from, 0xFF);
            raw(Sci::SCI_SETSTYLING, to - from, l);
        }
        return 0;
    }
    case Sci::SCI_SETTARGETSTART: r.targetStart = clamp(w); return 0;
    case Sci::SCI_SETTARGETEND: r.targetEnd = clamp(w); return 0;
    case Sci::SCI_TEXTHEIGHT: return raw(msg, firstRow(long(w)));
    case Sci::SCI_GETFIRSTVISIBLELINE: return lineOfRow(raw(msg));
    case Sci::SCI_SETFIRSTVISIBLELINE: return raw(msg, firstRow(long(w)));
    case Sci::SCI_GETREADONLY: return r.readOnly;
    case Sci::SCI_SETREADONLY: r.readOnly = w != 0; return 0;
    case Sci::SCI_SETUNDOCOLLECTION: return 0;
    case Sci::SCI_GETUNDOCOLLECTION: return 1; // the row store keeps every edit
    case Sci::SCI_BEGINUNDOACTION:
        if (r.depth++ == 0) r.grouped = false;
        return 0;
    case Sci::SCI_ENDUNDOACTION:
        if (r.depth > 0 && --r.depth == 0) r.grouped = false;
        return 0;
    case Sci::SCI_EMPTYUNDOBUFFER:
        r.undo.clear();
        r.redo.clear();
        r.savePoint = 0;
        r.typedEnd = -1;
        return 0;
    case Sci::SCI_SETSAVEPOINT: r.savePoint = qsizetype(r.undo.size()); r.typedEnd = -1; return 0;
    case Sci::SCI_GETMODIFY: return r.savePoint != qsizetype(r.undo.size());
    case Sci::SCI_UNDO: rowsUndo(false); return 0;
    case Sci::SCI_REDO: rowsUndo(true); return 0;
    case Sci::SCI_CLEAR: {
        if (r.readOnly) return 0;
        long s = long(map.textAt(raw(Sci::SCI_GETSELECTIONSTART))), e = long(map.textAt(raw(Sci::SCI_GETSELECTIONEND)));
        if (s == e && s < length) // no selection: the character after the caret, a CR LF whole
            e = s + characterAfter(s);
        if (e > s) {
            rowsReplace(s, e, {});
            raw(Sci::SCI_SETEMPTYSELECTION, map.shownAfter(s));
        }
        return 0;
    }
    default:
        // Only a message that speaks of no place in the text goes on as it is.
        return detail::sciRoute(msg) == detail::SciRoute::AsIs ? raw(msg, w, l) : refuse(msg);
    }
}

long Editor::Impl::rowsSendPtr(unsigned int msg, unsigned long w, const char *p) const
{
    Rows &r = *rows;
    switch (msg) {
    case Sci::SCI_REPLACETARGET:
        rowsReplace(r.targetStart, qMax(r.targetStart, r.targetEnd), QByteArrayView(p, qsizetype(w)));
        return long(w);
    case Sci::SCI_REPLACESEL: {
        const qint64 s = r.map.textAt(raw(Sci::SCI_GETSELECTIONSTART)), e = r.map.textAt(raw(Sci::SCI_GETSELECTIONEND));
        const qsizetype n = qsizetype(strlen(p));
        rowsReplace(s, e, QByteArrayView(p, n), e == s && n == 1);
        raw(Sci::SCI_SETEMPTYSELECTION, r.map.shownAfter(s + n));
        raw(Sci::SCI_SCROLLCARET);
        return 0;
    }
    case Sci::SCI_SETSTYLINGEX: {
        // A piece for every row: the breaks keep their own style.
        const std::vector<qint64> &breaks = r.map.breaks();
        qint64 at = r.styleAt;
        const qint64 end = qMin<qint64>(r.text.size(), at + qint64(w));
        for (qsizetype i = r.map.breaksBefore(at + 1); at < end; ++i) {
            const qint64 upto = i < qsizetype(breaks.size()) ? qMin(end, breaks[size_t(i)]) : end;
            if (upto > at) {
                raw(Sci::SCI_STARTSTYLING, r.map.shownAfter(at), 0xFF);
                sci->SendScintilla(Sci::SCI_SETSTYLINGEX, upto - at, p + (at - r.styleAt));
            }
            at = upto;
        }
        r.styleAt = end;
        return 0;
    }
    default:
        return detail::sciRoute(msg) == detail::SciRoute::AsIs ? sci->SendScintilla(msg, w, p) : refuse(msg);
    }
}

// Scintilla takes the text in rows: nothing to undo, nothing coloured.
void Editor::Impl::showInRows(QByteArray text, bool readOnly)
{
    auto r = std::make_unique<Rows>();
    r->text = std::move(text);
    const QByteArrayView shown = r->text;
    r->map.setUtf8(utf8()); // the document knows its encoding before it is shown
    r->readOnly = readOnly;
    rows.reset();
    raw(Sci::SCI_SETREADONLY, 0);
    raw(Sci::SCI_SETUNDOCOLLECTION, 0);
    raw(Sci::SCI_CLEARALL);
    plainStyles = true;
    // Room for the text and a break every row; the rows go in a piece at a time.
    raw(Sci::SCI_ALLOCATE, shown.size() + shown.size() / TextRows::kRowBytes + 1);
    r->map.layOut(shown, [this](QByteArrayView piece) {
        sci->SendScintilla(Sci::SCI_ADDTEXT, piece.size(), piece.constData());
    });
    raw(Sci::SCI_EMPTYUNDOBUFFER);
    raw(Sci::SCI_SETREADONLY, 1);
    rows = std::move(r);
}

// A change of the text: the text, the shown rows and the undo follow.
void Editor::Impl::rowsReplace(qint64 from, qint64 to, QByteArrayView bytes, bool typed) const
{
    Rows &r = *rows;
    const QByteArray keep = bytes.toByteArray(); // the bytes may lie in the text itself
    if (!r.replaying) {
        Rows::Edit e{from, r.text.mid(from, to - from), keep, std::exchange(rowsMark, -1)};
        if (r.savePoint > qsizetype(r.undo.size())) r.savePoint = -1; // a save point among the undone groups
        r.redo.clear();
        const bool goOn = typed && from == r.typedEnd && !r.undo.empty() && r.depth == 0
                          && r.savePoint != qsizetype(r.undo.size());
        if ((r.depth > 0 && r.grouped) || goOn) {
            r.undo.back().push_back(std::move(e));
        } else {
            r.undo.push_back({std::move(e)});
            r.grouped = r.depth > 0;
        }
        r.typedEnd = typed ? from + keep.size() : -1;
    }
    // The rows around the change are shown anew: the attributes of their
    // unchanged bytes are taken along.
    const TextRows::Region around = r.map.region(r.text, from, to);
    QByteArray before, after;
    auto stylesOf = [this](qint64 a, qint64 b) {
        QByteArray styled(2 * (b - a) + 2, Qt::Uninitialized), out(b - a, Qt::Uninitialized);
        styledText(long(a), long(b), styled.data());
        for (qint64 i = 0; i < b - a; ++i)
            out[i] = styled[2 * i + 1];
        return out;
    };
    if (!plainStyles) {
        before = stylesOf(around.from, from);
        after = stylesOf(to, around.to);
    }
    const TextRows::Change c = r.map.change(r.text, from, to, keep);
    r.text.replace(from, to - from, keep);
    raw(Sci::SCI_SETREADONLY, 0);
    raw(Sci::SCI_SETTARGETSTART, c.shownFrom);
    raw(Sci::SCI_SETTARGETEND, c.shownTo);
    sci->SendScintilla(Sci::SCI_REPLACETARGET, c.shown.size(), c.shown.constData());
    raw(Sci::SCI_SETREADONLY, 1);
    for (const auto &[at, styles] : {std::pair(around.from, before), std::pair(from + keep.size(), after)}) {
        if (styles.isEmpty()) continue;
        rowsSend(Sci::SCI_STARTSTYLING, at, 0);
        rowsSendPtr(Sci::SCI_SETSTYLINGEX, styles.size(), styles.constData());
    }
}

// The bytes of the character after (before) a place of a text in rows: a CR
// LF whole, in UTF-8 a character of several bytes whole.
long Editor::Impl::characterAfter(long at) const
{
    const QByteArray &t = rows->text;
    const long n = long(t.size());
    if (at >= n) return 0;
    if (t.at(at) == '\r' && at + 1 < n && t.at(at + 1) == '\n') return 2;
    if (!utf8()) return 1;
    long end = at + 1;
    while (end < n && end - at < 4 && (static_cast<unsigned char>(t.at(end)) & 0xC0) == 0x80) ++end;
    return end - at;
}

long Editor::Impl::characterBefore(long at) const
{
    const QByteArray &t = rows->text;
    if (at <= 0) return 0;
    if (at >= 2 && t.at(at - 1) == '\n' && t.at(at - 2) == '\r') return 2;
    if (!utf8()) return 1;
    long start = at - 1;
    while (start > 0 && at - start < 4 && (static_cast<unsigned char>(t.at(start)) & 0xC0) == 0x80) --start;
    return at - start;
}

// Undo (or redo) of the last group of changes; the caret stands after the
// bytes the last step put in.
void Editor::Impl::rowsUndo(bool redo) const
{
    Rows &r = *rows;
    auto &from = redo ? r.redo : r.undo;
    auto &to = redo ? r.undo : r.redo;
    if (from.empty()) return;
    std::vector<Rows::Edit> group = std::move(from.back());
    from.pop_back();
    r.replaying = true;
    qint64 caret = 0;
    if (redo) {
        for (const Rows::Edit &e : group) {
            rowsReplace(e.at, e.at + e.removed.size(), e.inserted);
            caret = e.at + e.inserted.size();
        }
    } else {
        for (auto it = group.rbegin(); it != group.rend(); ++it) {
            rowsReplace(it->at, it->at + it->inserted.size(), it->removed);
            caret = it->at + it->removed.size();
        }
    }
    r.replaying = false;
    r.typedEnd = -1;
    for (const Rows::Edit &e : group)
        if (e.mark >= 0) passedMarker = 2 * e.mark + (redo ? 1 : 0);
    to.push_back(std::move(group));
    raw(Sci::SCI_SETEMPTYSELECTION, r.map.shownAfter(caret));
    raw(Sci::SCI_SCROLLCARET);
}

// The editing keys of a text shown in rows (Scintilla's own editing is off).
bool Editor::Impl::rowsKey(QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = e->key();
    if (mods == Qt::ControlModifier && (key == Qt::Key_Z || key == Qt::Key_Y)) {
        rowsUndo(key == Qt::Key_Y);
    } else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Z) {
        rowsUndo(true);
    } else if ((key == Qt::Key_Backspace && (mods == Qt::NoModifier || mods == Qt::ShiftModifier))
               || (key == Qt::Key_Delete && mods == Qt::NoModifier)) {
        const long s = send(Sci::SCI_GETSELECTIONSTART), en = send(Sci::SCI_GETSELECTIONEND);
        if (s == en && key == Qt::Key_Backspace) {
            if (s > 0 && !rows->readOnly) {
                const long back = characterBefore(s);
                rowsReplace(s - back, s, {});
                raw(Sci::SCI_SETEMPTYSELECTION, rows->map.shownAfter(s - back));
            }
        } else {
            send(Sci::SCI_CLEAR);
        }
        raw(Sci::SCI_SCROLLCARET);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab)
               && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
        if (!rows->readOnly)
            sendPtr(Sci::SCI_REPLACESEL, 0, key == Qt::Key_Tab ? "\t" : eol());
    } else {
        return false;
    }
    checkDirty();
    return true;
}

}
