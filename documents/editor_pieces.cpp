// Whole-text edits of the editor: a large change goes into the text a piece
// at a time, lines written with Redraw off wait aside and go in together,
// and rewriteLines rewrites the whole program a piece of lines at a time.
#include "documents/editor_impl.h"

#include "core/lineends.h"
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <cstring>
#include <limits>

namespace lumrik {

namespace {

// Whole-text changes go into Scintilla a piece of about this many bytes at a
// time, and a whole-program rewrite reads and writes its lines a piece at a
// time: no buffer the size of the whole program is made besides the ones
// Scintilla keeps for the text and its undo. Such a change is one editing
// transaction: it never goes back to the event loop half done (work that
// lasts is computed off the window, and its pieces go in from the event
// loop, see PieceRewrite and the replace of every match).
constexpr qsizetype kPieceBytes = qsizetype(1) << 20;
qsizetype gPieceBytes = kPieceBytes;

// The line ends in a text as Scintilla counts them: CR LF, LF or a lone CR.
qsizetype lineEndsIn(QByteArrayView text)
{
    qsizetype n = 0;
    for (qsizetype at = 0; (at = lineEndAt(text, at)) < text.size(); ++n)
        at += (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ? 2 : 1;
    return n;
}

// What the old and the new bytes share at their start (`pre`) and at their
// end (`suf`): the stretch between is all that needs replacing. False when
// they are the same.
bool changedStretch(QByteArrayView oldBytes, QByteArrayView newBytes, qsizetype &pre, qsizetype &suf)
{
    const char *old = oldBytes.data();
    const char *nw = newBytes.data();
    const qsizetype oldLen = oldBytes.size(), newLen = newBytes.size();
    const qsizetype most = qMin(oldLen, newLen);
    // Compared a piece at a time first: a large text differs late, if at all.
    constexpr qsizetype kPiece = 4096;
    pre = 0;
    while (pre + kPiece <= most && memcmp(old + pre, nw + pre, kPiece) == 0)
        pre += kPiece;
    while (pre < most && old[pre] == nw[pre])
        ++pre;
    if (pre == oldLen && pre == newLen)
        return false;
    suf = 0;
    while (suf + kPiece <= most - pre && memcmp(old + oldLen - suf - kPiece, nw + newLen - suf - kPiece, kPiece) == 0)
        suf += kPiece;
    while (suf < most - pre && old[oldLen - 1 - suf] == nw[newLen - 1 - suf])
        ++suf;
    return true;
}

}

void Editor::Impl::replaceRange(long from, long to, QByteArrayView bytes)
{
    const bool ro = send(Sci::SCI_GETREADONLY);
    if (ro) send(Sci::SCI_SETREADONLY, 0);
    markPlaceGroup();
    send(Sci::SCI_SETTARGETSTART, from);
    send(Sci::SCI_SETTARGETEND, to);
    // Scintilla takes no null pointer, not even for nothing.
    sendPtr(Sci::SCI_REPLACETARGET, bytes.size(), bytes.isNull() ? "" : bytes.constData());
    if (ro) send(Sci::SCI_SETREADONLY, 1);
}

// Replaces from..to by `bytes`, leaving in place what the old and the new
// bytes share at their start and at their end: one replacement of the stretch
// that differs, so that undo and redo cost that stretch only. False when the
// bytes are the same as before (nothing is replaced).
bool Editor::Impl::replaceChanged(long from, long to, QByteArrayView bytes)
{
    const char *old = reinterpret_cast<const char *>(send(Sci::SCI_GETRANGEPOINTER, from, to - from));
    qsizetype pre = 0, suf = 0;
    if (!changedStretch(QByteArrayView(old, to - from), bytes, pre, suf))
        return false;
    replaceInPieces(from + long(pre), to - long(suf), bytes.sliced(pre, bytes.size() - pre - suf));
    return true;
}

qsizetype Editor::Impl::pieceBytes() { return gPieceBytes; }

// Replaces from..to by `bytes` as one undo step, a piece at a time when the
// change is large, the view not painted until the last piece is in.
void Editor::Impl::replaceInPieces(long from, long to, QByteArrayView bytes)
{
    const qsizetype piece = gPieceBytes;
    if (rows || (to - from <= piece && bytes.size() <= piece)) {
        // One change, the bytes as they are (replacePieces would join its
        // parts into a copy first).
        replaceRange(from, to, bytes);
        return;
    }
    std::vector<QByteArrayView> parts;
    for (qsizetype done = 0; done < bytes.size(); done += piece)
        parts.push_back(bytes.sliced(done, qMin(piece, bytes.size() - done)));
    replacePieces(from, to, parts);
}

// A replacement of from..to by parts of at most a piece each, a part at a
// time. Each part moves the caret, the anchor and the top line only as far
// as its own stretch: where they stood is noted at the start, and once all
// is in they go where one replacement of the whole stretch puts them. The
// parts are one undo step; the view does not paint until the last is in.
class Editor::PieceWriter {
public:
    PieceWriter(Impl *d, long from, long to, std::vector<QByteArrayView> parts)
        : d_(d), parts_(std::move(parts)), from_(from), to_(to), at_(from), oldLeft_(to - from)
    {
        caret_ = d->send(Sci::SCI_GETCURRENTPOS);
        anchor_ = d->send(Sci::SCI_GETANCHOR);
        top_ = d->send(Sci::SCI_GETFIRSTVISIBLELINE);
        topStart_ = d->send(Sci::SCI_POSITIONFROMLINE, top_);
        linesGone_ = d->send(Sci::SCI_LINEFROMPOSITION, to) - d->send(Sci::SCI_LINEFROMPOSITION, from);
        for (QByteArrayView part : parts_)
            newSize_ += part.size();
        view_ = d->sci->viewport();
        painting_ = view_->updatesEnabled();
        view_->setUpdatesEnabled(false);
        d->openPlaceGroup();
    }
    // Also when not all is in (the text changed under it): the group closes
    // (after the places are set: a redo gives these back) and the view paints.
    ~PieceWriter()
    {
        d_->closePlaceGroup();
        view_->setUpdatesEnabled(painting_);
    }
    bool more() const { return oldLeft_ > 0 || i_ < parts_.size(); }
    void putNext()
    {
        const qsizetype piece = gPieceBytes;
        const QByteArrayView part = i_ < parts_.size() ? parts_[i_] : QByteArrayView();
        // The last new piece takes what is left of the old stretch.
        const qsizetype drop = i_ + 1 >= parts_.size() ? oldLeft_ : qMin(piece, oldLeft_);
        d_->replaceRange(at_, at_ + long(drop), part);
        at_ += long(part.size());
        oldLeft_ -= drop;
        ++i_;
    }
    // Everything in: the caret, the anchor and the top line where one
    // replacement would have put them.
    void place()
    {
        const long from = from_, to = to_;
        const long grown = long(newSize_) - (to - from);
        const auto moved = [&](long pos) { return pos <= from ? pos : pos <= to ? from : pos + grown; };
        d_->select(moved(anchor_), moved(caret_));
        // A change that starts above the top line moves it by the lines it takes
        // away, and then by the lines it brings when it still starts above it.
        long newTop = top_;
        if (from < topStart_)
            newTop = qMax(0L, newTop - linesGone_);
        if (from < d_->send(Sci::SCI_POSITIONFROMLINE, newTop)) {
            for (size_t i = 0; i < parts_.size(); ++i) {
                newTop += long(lineEndsIn(parts_[i]));
                // A CR LF that two parts share is one line end.
                if (i + 1 < parts_.size() && parts_[i].endsWith('\r') && parts_[i + 1].startsWith('\n'))
                    --newTop;
            }
        }
        if (newTop != d_->send(Sci::SCI_GETFIRSTVISIBLELINE))
            d_->send(Sci::SCI_SETFIRSTVISIBLELINE, newTop);
    }

private:
    Impl *d_;
    std::vector<QByteArrayView> parts_;
    long from_, to_, at_;
    qsizetype oldLeft_, newSize_ = 0;
    size_t i_ = 0;
    long caret_, anchor_, top_, topStart_, linesGone_;
    QWidget *view_;
    bool painting_;
};

void Editor::Impl::replacePieces(long from, long to, const std::vector<QByteArrayView> &parts)
{
    const qsizetype piece = gPieceBytes;
    qsizetype newSize = 0;
    for (QByteArrayView part : parts)
        newSize += part.size();
    if (rows || (to - from <= piece && newSize <= piece)) {
        // A small change, or shown rows (rewritten whole at each change): one change.
        if (parts.size() == 1) {
            replaceRange(from, to, parts.front());
            return;
        }
        QByteArray whole;
        whole.reserve(newSize);
        for (QByteArrayView part : parts)
            whole += part;
        replaceRange(from, to, whole);
        return;
    }
    PieceWriter writer(this, from, to, parts);
    while (writer.more())
        writer.putNext();
    writer.place();
}

struct Editor::Impl::PartsLater {
    std::vector<QByteArray> parts;
    std::unique_ptr<PieceWriter> writer;
    std::function<void(bool)> done;
    quint64 mine = 0; // the edit generation after the last part put in
};

void Editor::Impl::putPartsLater(long from, long to, std::vector<QByteArray> parts, std::function<void(bool)> done)
{
    auto *later = new PartsLater;
    later->parts = std::move(parts);
    later->done = std::move(done);
    later->writer = std::make_unique<PieceWriter>(
        this, from, to, std::vector<QByteArrayView>(later->parts.begin(), later->parts.end()));
    later->mine = generation;
    // A part per round. The editor gone, nothing more is written, and what
    // `done` holds goes (the writer is left: its editor is gone).
    const QPointer<Editor> editor(q);
    auto round = std::make_shared<std::function<void()>>();
    *round = [this, editor, later, weak = std::weak_ptr<std::function<void()>>(round)] {
        if (!editor) {
            (void)later->writer.release();
            delete later;
            return;
        }
        const bool unchanged = generation == later->mine;
        if (unchanged && later->writer->more()) {
            later->writer->putNext();
            later->mine = generation;
            if (later->writer->more()) {
                if (auto next = weak.lock())
                    QTimer::singleShot(0, [next] { (*next)(); });
                return;
            }
        }
        if (unchanged)
            later->writer->place();
        later->writer.reset(); // the undo group closes, the view paints
        const std::function<void(bool)> done = std::move(later->done);
        delete later;
        done(unchanged);
    };
    // The chain holds itself through the timers' copies of `round`.
    QTimer::singleShot(0, [round] { (*round)(); });
}

// --- Places around large changes ---

Editor::Impl::Spot Editor::Impl::spot() const
{
    return {send(Sci::SCI_GETANCHOR), send(Sci::SCI_GETCURRENTPOS), send(Sci::SCI_GETFIRSTVISIBLELINE)};
}

void Editor::Impl::openPlaceGroup()
{
    if (placeDepth++ == 0) {
        placeBefore = spot();
        placeMarked = false;
    }
    send(Sci::SCI_BEGINUNDOACTION);
}

// Marker numbers: 2g at the start of group g, 2g + 1 at its end.
void Editor::Impl::markPlaceGroup()
{
    if (placeDepth == 0 || placeMarked || (!rows && !send(Sci::SCI_GETUNDOCOLLECTION)))
        return;
    placeMarked = true;
    if (rows)
        rowsMark = nextPlaceGroup; // the undo of rows keeps it with the edit
    else
        send(Sci::SCI_ADDUNDOACTION, 2 * nextPlaceGroup, 0);
}

void Editor::Impl::closePlaceGroup()
{
    if (placeDepth == 0)
        return;
    if (--placeDepth == 0 && placeMarked) {
        placeMarked = false;
        rowsMark = -1;
        if (!rows)
            send(Sci::SCI_ADDUNDOACTION, 2 * nextPlaceGroup + 1, 0);
        placeGroups[nextPlaceGroup++] = {placeBefore, spot()};
    }
    send(Sci::SCI_ENDUNDOACTION);
}

void Editor::Impl::givePlacesBack()
{
    const long marker = std::exchange(passedMarker, -1);
    if (marker < 0)
        return;
    const auto it = placeGroups.find(marker / 2);
    if (it == placeGroups.end())
        return;
    const Spot &at = marker % 2 == 0 ? it->second.before : it->second.after;
    const long n = send(Sci::SCI_GETLENGTH);
    select(qBound(0L, at.anchor, n), qBound(0L, at.caret, n));
    send(Sci::SCI_SETFIRSTVISIBLELINE, at.top);
}

void Editor::Impl::forgetPlaceGroups()
{
    placeGroups.clear();
    passedMarker = -1;
}

// --- end of places around large changes ---

Editor::Impl::Places Editor::Impl::places() const
{
    const long caret = send(Sci::SCI_GETCURRENTPOS), anchor = send(Sci::SCI_GETANCHOR);
    const long caretLine = send(Sci::SCI_LINEFROMPOSITION, caret);
    const long anchorLine = send(Sci::SCI_LINEFROMPOSITION, anchor);
    return {caretLine, caret - send(Sci::SCI_POSITIONFROMLINE, caretLine), anchorLine,
            anchor - send(Sci::SCI_POSITIONFROMLINE, anchorLine), send(Sci::SCI_GETFIRSTVISIBLELINE)};
}

void Editor::Impl::restorePlaces(const Places &at)
{
    auto back = [this](long line, long column) {
        const long s = send(Sci::SCI_POSITIONFROMLINE, line);
        return qMin(s + column, long(send(Sci::SCI_GETLINEENDPOSITION, line)));
    };
    select(back(at.anchorLine, at.anchorColumn), back(at.caretLine, at.caretColumn));
    send(Sci::SCI_SETFIRSTVISIBLELINE, at.top);
}

void Editor::Impl::deferLine(int line0, const QByteArray &bytes)
{
    if (!pendingActive) {
        const size_t n = size_t(send(Sci::SCI_GETLINECOUNT));
        pendingOff.assign(n, -1);
        pendingLen.assign(n, 0);
        pendingArena.clear();
        pendingFirst = line0;
        pendingLast = line0;
        pendingActive = true;
    }
    // The same text as Scintilla's own line needs no change.
    if (pendingOff[line0] < 0) {
        const long s = lineStart(line0 + 1), e = lineEnd(line0 + 1);
        if (e - s == bytes.size()
            && memcmp(reinterpret_cast<const char *>(send(Sci::SCI_GETRANGEPOINTER, s, e - s)), bytes.constData(),
                      size_t(e - s)) == 0)
            return;
    }
    if (pendingArena.capacity() - pendingArena.size() < bytes.size())
        pendingArena.reserve(qMax<qsizetype>(pendingArena.size() * 2, send(Sci::SCI_GETLENGTH) + bytes.size() + 1024));
    pendingOff[line0] = pendingArena.size();
    pendingLen[line0] = int(bytes.size());
    pendingArena.append(bytes);
    pendingFirst = qMin(pendingFirst, line0);
    pendingLast = qMax(pendingLast, line0);
}

void Editor::Impl::dropPending()
{
    pendingActive = false;
    pendingArena = QByteArray();
    std::vector<qint64>().swap(pendingOff);
    std::vector<int>().swap(pendingLen);
}

void Editor::Impl::flushPending()
{
    pendingActive = false; // before any call below that would flush again
    const int first = pendingFirst, last = pendingLast;
    const long from = lineStart(first + 1), to = lineEnd(last + 1);
    const char *doc = reinterpret_cast<const char *>(send(Sci::SCI_GETCHARACTERPOINTER));
    QByteArray region;
    region.reserve((to - from) + pendingArena.size() / 4 + 64);
    for (int i = first; i <= last; ++i) {
        const long ls = send(Sci::SCI_POSITIONFROMLINE, i), le = send(Sci::SCI_GETLINEENDPOSITION, i);
        if (pendingOff[size_t(i)] >= 0)
            region.append(pendingArena.constData() + pendingOff[size_t(i)], pendingLen[size_t(i)]);
        else
            region.append(doc + ls, le - ls);
        if (i < last) region.append(doc + le, send(Sci::SCI_POSITIONFROMLINE, i + 1) - le);
    }
    bool anyChange = true;
    if (region.size() == to - from && memcmp(region.constData(), doc + from, size_t(to - from)) == 0)
        anyChange = false;
    dropPending();
    if (!anyChange) return;

    // The caret and the anchor keep their line and column; the view its top line.
    const Places at = places();
    replaceRange(from, to, region);
    restorePlaces(at);
}

void Editor::setPieceBytesForTests(qsizetype bytes) { gPieceBytes = bytes > 0 ? bytes : kPieceBytes; }
qsizetype Editor::pieceBytes() { return gPieceBytes; }

int Editor::rewriteLines(const LineRule &rule, const std::function<bool(int line)> &goOn)
{
    d->flush();
    // The lines are read in place and their line ends (CR LF, LF or a lone
    // CR, as Scintilla counts them) are copied as they are. A piece of lines
    // is rewritten and goes into the text before the next piece is read:
    // Scintilla's gap then stands where the next piece starts, so reading it
    // in place moves nothing.
    const Impl::Places at = d->places();
    const qsizetype piece = d->rows ? std::numeric_limits<qsizetype>::max() / 2 : gPieceBytes;
    QByteArray out;
    bool changed = false;
    int line = 0;
    // Where the last line done starts in the new text: a line its rule
    // empties between a lone CR and an LF joins the line before it (the two
    // make one CR LF), so the lines done may be more than the lines now.
    long lastStart = 0;
    d->openPlaceGroup(); // all pieces one undo step
    long from = 0; // where the piece starts in the text as it is now
    quint64 mine = d->generation;
    {
        // Closed also when the text changed under the rewrite.
        const auto ungroup = qScopeGuard([&] { d->closePlaceGroup(); });
        for (bool last = false, stopped = false; !last && !stopped;) {
            const long n = d->send(Sci::SCI_GETLENGTH);
            // The piece: whole lines from `from`, ending after the line end of the
            // line in which it reaches its size (or at the end of the text).
            const long reach = long(qMin<qsizetype>(n, from + piece));
            const long endLine = d->send(Sci::SCI_LINEFROMPOSITION, reach) + 1;
            const long upto = endLine < d->send(Sci::SCI_GETLINECOUNT) ? d->send(Sci::SCI_POSITIONFROMLINE, endLine) : n;
            auto view = [&] {
                return QByteArrayView(reinterpret_cast<const char *>(d->send(Sci::SCI_GETRANGEPOINTER, from, upto - from)),
                                      upto - from);
            };
            QByteArrayView text = view();
            const qsizetype size = text.size();
            out.clear();
            out.reserve(size + size / 8 + 64);
            qsizetype pos = 0;
            for (;;) {
                const char *p = text.data();
                const qsizetype end = lineEndAt(text, pos);
                lastStart = from + long(out.size());
                out.append(rule(QByteArrayView(p + pos, end - pos), ++line));
                qsizetype next = end;
                if (next < size)
                    next += (p[next] == '\r' && next + 1 < size && p[next + 1] == '\n') ? 2 : 1;
                out.append(p + end, next - end);
                pos = next;
                if (from + end == n) {
                    last = true; // the last line of the text
                    break;
                }
                if (goOn && !goOn(line)) {
                    stopped = true; // the rest stays as it is
                    break;
                }
                d->checkUnchanged(mine);
                if (pos == size)
                    break; // the piece is done
                if (goOn)
                    text = view(); // what it asked may have read the text: the bytes may have moved
            }
            d->checkUnchanged(mine);
            changed |= d->replaceChanged(from, from + long(pos), out);
            from += long(out.size());
            mine = d->generation;
        }
        if (changed)
            d->restorePlaces(at);
    }
    d->textIndex = qBound(1, int(d->send(Sci::SCI_LINEFROMPOSITION, lastStart)) + 1, Count());
    d->checkDirty();
    d->checkCaret();
    return line;
}


void Editor::rewriteTextInPieces(QByteArrayView text, const LineRule &rule, const std::function<bool(int line)> &goOn,
                                 const std::function<void(RewrittenPiece)> &take)
{
    // As rewriteLines reads the text: lines ended by CR LF, LF or a lone CR,
    // the line ends copied as they are. A piece ends after the line end of
    // the line in which its old or its new bytes reach half a piece (or at
    // the end): each piece then goes into the text as one change, unless a
    // single line is larger.
    const qsizetype piece = qMax<qsizetype>(gPieceBytes / 2, 1);
    const char *p = text.data();
    const qsizetype size = text.size();
    RewrittenPiece r;
    qint64 written = 0; // the new text before the piece
    qsizetype from = 0; // where the piece starts in the old text
    r.text.reserve(qMin(size, piece) + piece / 8 + 64);
    for (qsizetype pos = 0;;) {
        const qsizetype end = lineEndAt(text, pos);
        r.lastStart = written + r.text.size();
        r.text.append(rule(QByteArrayView(p + pos, end - pos), ++r.lines));
        qsizetype next = end;
        if (next < size)
            next += (p[next] == '\r' && next + 1 < size && p[next + 1] == '\n') ? 2 : 1;
        r.text.append(p + end, next - end);
        pos = next;
        r.last = end == size || (goOn && !goOn(r.lines));
        if (r.last || pos - from >= piece || r.text.size() >= piece) {
            r.oldBytes = pos - from;
            from = pos;
            written += r.text.size();
            const bool last = r.last;
            const int lines = r.lines;
            take(std::move(r));
            if (last)
                return;
            r = RewrittenPiece();
            r.lines = lines;
            r.text.reserve(qMin(size - from, piece) + piece / 8 + 64);
        }
    }
}

Editor::PieceRewrite::PieceRewrite(Editor *editor) : ed_(editor)
{
    Impl *d = ed_->d;
    d->flush();
    const Impl::Places p = d->places();
    at_ = {p.caretLine, p.caretColumn, p.anchorLine, p.anchorColumn, p.top};
    d->openPlaceGroup(); // all pieces one undo step
    open_ = true;
    mine_ = d->generation;
}

Editor::PieceRewrite::~PieceRewrite()
{
    if (open_)
        ed_->d->closePlaceGroup();
}

void Editor::PieceRewrite::put(const RewrittenPiece &piece)
{
    Impl *d = ed_->d;
    d->checkUnchanged(mine_);
    if (d->rows) {
        // Rows are rewritten whole at each change: one change at the end.
        rows_ += piece.text;
        from_ += long(piece.oldBytes);
        if (piece.last) {
            changed_ = d->replaceChanged(0, from_, rows_);
            rows_ = QByteArray();
        }
    } else {
        changed_ |= d->replaceChanged(from_, from_ + long(piece.oldBytes), piece.text);
        from_ += long(piece.text.size());
    }
    mine_ = d->generation;
    lines_ = piece.lines;
    if (!piece.last)
        return;
    if (changed_)
        d->restorePlaces({at_.caretLine, at_.caretColumn, at_.anchorLine, at_.anchorColumn, at_.top});
    open_ = false;
    d->closePlaceGroup();
    d->textIndex = qBound(1, int(d->send(Sci::SCI_LINEFROMPOSITION, long(piece.lastStart))) + 1, ed_->Count());
    d->checkDirty();
    d->checkCaret();
}

}
