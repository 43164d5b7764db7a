// Search and replace in the editor, and the editing actions of setAction.
#include "documents/editor_impl.h"

#include "core/progress.h"
#include "core/workerrun.h"
#include "documents/findreplace_rules.h"

#include <QApplication>

#include <optional>

namespace lumrik {

void Editor::Impl::selectFound(long from, long to)
{
    send(Sci::SCI_SETSEL, from, to);
    send(Sci::SCI_SCROLLCARET);
    checkCaret();
}

// Finds the search target from `from` on (with wrap, then from the start) and
// selects the match, the caret at its end.
bool Editor::Impl::findNext(long from, bool wrap)
{
    const ByteSearch search(q->SearchTarget,
                            {q->SearchCaseSensitive, q->SearchWholeWordsOnly, utf8()});
    const qsizetype r = search.findWrapped(wholeText(), from, wrap);
    if (r < 0) return false;
    selectFound(long(r), long(r + search.length()));
    return true;
}

// The styles of start..end once the matches in it are replaced: the
// character attributes of the text between them stay, a replacement takes the
// attributes of the first character of its match. Only the styled stretch is
// read (Scintilla gives the styles interleaved with the text, a piece at a
// time); the rest is in style 0. Empty when all of it is in style 0.
QByteArray Editor::Impl::stylesAfterReplace(long start, long end, const std::vector<qsizetype> &hits,
                                            qsizetype length, qsizetype replacementSize, qsizetype newSize)
{
    const auto [styledFrom, styledTo] = styledStretch(start, end);
    QByteArray styles(styledTo - start, '\0');
    bool anyStyle = false;
    {
        constexpr long kPiece = 1 << 20;
        QByteArray styled(2 * kPiece + 2, Qt::Uninitialized);
        char *dst = styles.data();
        for (long at = styledFrom; at < styledTo; at += kPiece) {
            const long upto = qMin<long>(styledTo, at + kPiece);
            styledText(at, upto, styled.data());
            const char *src = styled.constData();
            for (long i = 0; i < upto - at; ++i) {
                const char st = src[2 * i + 1];
                dst[at - start + i] = st;
                anyStyle |= st != 0;
            }
        }
    }
    // The new styles up to the end of the styled stretch: after it, all is 0.
    QByteArray newStyles;
    if (anyStyle) {
        const qsizetype upto = styledTo;
        newStyles.reserve(newSize);
        qsizetype at = start;
        for (qsizetype p : hits) {
            if (p >= upto) break;
            newStyles.append(styles.constData() + (at - start), p - at);
            newStyles.append(replacementSize, styles.at(p - start));
            at = p + length;
        }
        if (at < upto) newStyles.append(styles.constData() + (at - start), upto - at);
        if (newStyles.isEmpty())
            newStyles.append('\0'); // styled, if in style 0 only
    }
    return newStyles;
}

void Editor::Impl::restyleReplaced(long start, const QByteArray &newStyles)
{
    if (newStyles.isEmpty())
        return;
    // The new bytes come in style 0: only the stretch from the first to the
    // last attribute needs styling again.
    const char *st = newStyles.constData();
    qsizetype first = 0, last = newStyles.size();
    while (first < last && st[first] == 0) ++first;
    while (last > first && st[last - 1] == 0) --last;
    if (last > first) {
        send(Sci::SCI_STARTSTYLING, start + long(first), 0xFF);
        sendPtr(Sci::SCI_SETSTYLINGEX, last - first, st + first);
        markStyled(start + long(first), start + long(last));
    }
    plainStyles = false;
}

// Replaces the matches (in order, without overlaps) with one change of the
// text: linear in the text, whatever the number of matches. Returns the
// offset after the last replacement.
long Editor::Impl::replaceMatches(const std::vector<qsizetype> &hits, qsizetype length, QByteArrayView replacement)
{
    const long start = long(hits.front()), end = long(hits.back() + length);
    // The new text a piece at a time: no buffer the size of the whole program.
    const std::vector<QByteArray> parts =
        spliceReplacementsInParts(wholeText(), start, end, hits, length, replacement, pieceBytes());
    qsizetype newSize = 0;
    for (const QByteArray &part : parts)
        newSize += part.size();
    const QByteArray newStyles = stylesAfterReplace(start, end, hits, length, replacement.size(), newSize);
    replacePieces(start, end, std::vector<QByteArrayView>(parts.begin(), parts.end()));
    restyleReplaced(start, newStyles);
    return start + long(newSize);
}

// ----- the replace that asks per match

struct Editor::Impl::ReplaceState {
    ReplaceState(const QByteArray &target, SearchOptions options) : search(target, options) {}
    ByteSearch search;
    QByteArray replacement;
    long origin = 0;
    int phases = 1;
    int phase = 0;
    long lastStart = -1, lastEnd = -1;
    bool all = false, stop = false;
    // Every further match goes in off the window: the replace ends from the
    // event loop. What waits for the end of long work waits for it.
    bool offWindow = false;
    std::optional<LongWork> longWork;
    std::optional<WaitCursor> cursor;
};

// The phases of the replace from `st->phase` on, asking per match until the
// answer "all"; true when the replace is over. Every further match of a
// program larger than a piece is found and replaced off the window: the
// replace then goes on from the event loop once that text is in
// (replaceAllOffWindow), and this returns false.
bool Editor::Impl::runReplace(const std::shared_ptr<ReplaceState> &st)
{
    Editor *ed = q;
    const qsizetype m = st->search.length();
    for (; st->phase < st->phases && !st->stop; ++st->phase) {
        long pos = st->phase == 0 ? st->origin : 0;
        while (true) {
            const QByteArrayView text = wholeText();
            const long to = st->phase == 0 ? long(text.size()) : st->origin;
            if (st->all) {
                if (!rows && text.size() > pieceBytes()) {
                    replaceAllOffWindow(st, pos, to);
                    return false;
                }
                const std::vector<qsizetype> hits = st->search.findAll(text, pos, to);
                if (!hits.empty()) {
                    ed->searchResult_ = true;
                    st->lastEnd = replaceMatches(hits, m, st->replacement);
                    st->lastStart = st->lastEnd - long(st->replacement.size());
                    ed->searchReplaced_ += qsizetype(hits.size());
                }
                break;
            }
            const qsizetype r = st->search.find(text, pos, to);
            if (r < 0) break;
            ed->searchResult_ = true;
            selectFound(long(r), long(r + m));
            int answer = 1;
            Q_EMIT ed->ReplaceQuery(answer);
            if (answer == 4) { // this match and every further one
                st->all = true;
                pos = long(r);
                continue;
            }
            if (answer == 1) {
                replaceRange(long(r), long(r + m), st->replacement);
                ++ed->searchReplaced_;
                st->lastStart = long(r);
                st->lastEnd = long(r + st->replacement.size());
                selectFound(st->lastStart, st->lastEnd);
                pos = st->lastEnd;
            } else if (answer == 2) {
                pos = long(r + m);
            } else { // 0 or anything else: stop here
                st->stop = true;
                break;
            }
        }
    }
    send(Sci::SCI_ENDUNDOACTION);
    if (st->lastStart >= 0 && (st->all || !st->stop)) selectFound(st->lastStart, st->lastEnd);
    checkDirty();
    checkCaret();
    if (st->offWindow) {
        // As setAction ends, then the end of the work.
        checkDirty();
        checkCaret();
        replaceUnderWay = false;
        st->cursor.reset();
        Q_EMIT ed->ChangeDone();
        st->longWork.reset();
    }
    return true;
}

// Every match of pos..to and its replacement found on a worker thread, in a
// copy of the text (pure byte work), and the new text put in a piece per
// round of the event loop; then the replace goes on with its next phase.
void Editor::Impl::replaceAllOffWindow(const std::shared_ptr<ReplaceState> &st, long pos, long to)
{
    if (!st->offWindow) {
        st->offWindow = true;
        replaceUnderWay = true;
        st->longWork.emplace();
        if (qobject_cast<QApplication *>(QCoreApplication::instance()))
            st->cursor.emplace();
    }
    struct Found {
        std::vector<qsizetype> hits;
        std::vector<QByteArray> parts;
        qsizetype newSize = 0;
    };
    auto found = std::make_shared<Found>();
    // The worker's own copy: the text changes under it as the parts go in.
    auto copy = std::make_shared<const QByteArray>(wholeText().toByteArray());
    const qsizetype piece = pieceBytes();
    WorkerRunOptions options;
    WorkerRun::start(
        q, options,
        [st, found, copy, pos, to, piece](const WorkerRun::GoOn &) {
            const qsizetype m = st->search.length();
            found->hits = st->search.findAll(*copy, pos, to);
            if (found->hits.empty())
                return;
            found->parts = spliceReplacementsInParts(*copy, found->hits.front(), found->hits.back() + m, found->hits,
                                                     m, st->replacement, piece);
            for (const QByteArray &part : found->parts)
                found->newSize += part.size();
        },
        [this, st, found](bool) {
            if (found->hits.empty()) {
                ++st->phase;
                runReplace(st);
                return;
            }
            Editor *ed = q;
            const qsizetype m = st->search.length();
            const long start = long(found->hits.front()), end = long(found->hits.back() + m);
            ed->searchResult_ = true;
            const QByteArray newStyles =
                stylesAfterReplace(start, end, found->hits, m, st->replacement.size(), found->newSize);
            const qsizetype count = qsizetype(found->hits.size());
            found->hits = {};
            putPartsLater(start, end, std::move(found->parts), [this, st, start, newStyles, count,
                                                               newSize = found->newSize](bool ok) {
                if (ok) {
                    restyleReplaced(start, newStyles);
                    st->lastEnd = start + long(newSize);
                    st->lastStart = st->lastEnd - long(st->replacement.size());
                    q->searchReplaced_ += count;
                } else {
                    st->stop = true; // the text changed under it: nothing more is written
                }
                ++st->phase;
                runReplace(st);
            });
        });
}

bool Editor::changeUnderWay() const { return d->replaceUnderWay; }

void Editor::setAction(int code)
{
    if (d->replaceUnderWay) {
        // Every further match of a replace is going in: this comes after it.
        LongWork::whenDone(this, [this, code] { setAction(code); });
        return;
    }
    d->flush();
    switch (code) {
    case 1: d->sci->copyBytes(); break;
    case 2:
        d->sci->pasteBytes();
        break;
    case 3:
        d->sci->cutBytes();
        break;
    case 4:
        if (!ReadOnly()) d->send(Sci::SCI_CLEAR);
        break;
    case 6:
        if (!ReadOnly()) {
            d->send(Sci::SCI_UNDO);
            d->givePlacesBack();
            d->checkCaret(); // the totals change, also when the caret is back where it stood
        }
        break;
    case 9: { // find, from the start of the text or from the caret
        searchResult_ = false;
        if (SearchTarget.isEmpty()) break;
        const long from = SearchOrigin == 1 ? 0 : d->send(Sci::SCI_GETCURRENTPOS);
        searchResult_ = d->findNext(from, SearchTo == 0);
        break;
    }
    case 11: { // find next: after the current match
        searchResult_ = false;
        if (SearchTarget.isEmpty()) break;
        const long from = qMax(d->send(Sci::SCI_GETSELECTIONEND), d->send(Sci::SCI_GETCURRENTPOS));
        searchResult_ = d->findNext(from, SearchTo == 0);
        break;
    }
    case 10: { // replace, asking per match
        searchResult_ = false;
        searchReplaced_ = 0;
        if (SearchTarget.isEmpty() || ReadOnly()) break;
        auto st = std::make_shared<Impl::ReplaceState>(
            SearchTarget, SearchOptions{SearchCaseSensitive, SearchWholeWordsOnly, d->utf8()});
        st->replacement = SearchReplacement;
        st->origin = SearchOrigin == 1 ? 0 : d->send(Sci::SCI_GETSELECTIONSTART);
        // With SearchTo 0 the text before the starting point follows the rest;
        // replacements after it leave its offsets as they are.
        st->phases = (SearchTo == 0 && st->origin > 0) ? 2 : 1;
        // One undo step for the whole replace, the answered matches included.
        d->send(Sci::SCI_BEGINUNDOACTION);
        if (!d->runReplace(st))
            return; // it ends from the event loop (ChangeDone)
        break;
    }
    default: break;
    }
    d->checkDirty();
    d->checkCaret();
}

}
