// Search and replace in the editor, and the editing actions of setAction.
#include "documents/editor_impl.h"

#include "core/progress.h"
#include "documents/findreplace_rules.h"

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

// Replaces the matches (in order, without overlaps) with one change of the
// text: linear in the text, whatever the number of matches. The character
// attributes of the text between them stay; a replacement takes the attributes
// of the first character of its match. Returns the offset after the last
// replacement.
long Editor::Impl::replaceMatches(const std::vector<qsizetype> &hits, qsizetype length, QByteArrayView replacement)
{
    const long start = long(hits.front()), end = long(hits.back() + length);
    // The new text a piece at a time: no buffer the size of the whole program.
    const std::vector<QByteArray> parts =
        spliceReplacementsInParts(wholeText(), start, end, hits, length, replacement, pieceBytes());
    qsizetype newSize = 0;
    for (const QByteArray &part : parts)
        newSize += part.size();

    // The styles of the region: only its styled stretch is read (Scintilla
    // gives them interleaved with the text, a piece at a time); the rest is
    // in style 0.
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
            newStyles.append(replacement.size(), styles.at(p - start));
            at = p + length;
        }
        if (at < upto) newStyles.append(styles.constData() + (at - start), upto - at);
    }
    replacePieces(start, end, std::vector<QByteArrayView>(parts.begin(), parts.end()));
    if (anyStyle) {
        // The new bytes come in style 0: only the stretch from the first to
        // the last attribute needs styling again.
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
    return start + long(newSize);
}

void Editor::setAction(int code)
{ d->flush();
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
        const ByteSearch search(SearchTarget,
                                {SearchCaseSensitive, SearchWholeWordsOnly, d->utf8()});
        const qsizetype m = search.length();
        const long origin = SearchOrigin == 1 ? 0 : d->send(Sci::SCI_GETSELECTIONSTART);
        // With SearchTo 0 the text before the starting point follows the rest;
        // replacements after it leave its offsets as they are.
        const int phases = (SearchTo == 0 && origin > 0) ? 2 : 1;
        long lastStart = -1, lastEnd = -1;
        bool all = false, stop = false;
        // One undo step for the whole replace, the answered matches included.
        d->send(Sci::SCI_BEGINUNDOACTION);
        for (int phase = 0; phase < phases && !stop; ++phase) {
            long pos = phase == 0 ? origin : 0;
            while (true) {
                const QByteArrayView text = d->wholeText();
                const long to = phase == 0 ? long(text.size()) : origin;
                if (all) {
                    LongWork busy; // every further match at once: the windows stay alive
                    const std::vector<qsizetype> hits = search.findAll(text, pos, to);
                    if (!hits.empty()) {
                        searchResult_ = true;
                        lastEnd = d->replaceMatches(hits, m, SearchReplacement);
                        lastStart = lastEnd - long(SearchReplacement.size());
                        searchReplaced_ += qsizetype(hits.size());
                    }
                    break;
                }
                const qsizetype r = search.find(text, pos, to);
                if (r < 0) break;
                searchResult_ = true;
                d->selectFound(long(r), long(r + m));
                int answer = 1;
                Q_EMIT ReplaceQuery(answer);
                if (answer == 4) { // this match and every further one
                    all = true;
                    pos = long(r);
                    continue;
                }
                if (answer == 1) {
                    d->replaceRange(long(r), long(r + m), SearchReplacement);
                    ++searchReplaced_;
                    lastStart = long(r);
                    lastEnd = long(r + SearchReplacement.size());
                    d->selectFound(lastStart, lastEnd);
                    pos = lastEnd;
                } else if (answer == 2) {
                    pos = long(r + m);
                } else { // 0 or anything else: stop here
                    stop = true;
                    break;
                }
            }
        }
        d->send(Sci::SCI_ENDUNDOACTION);
        if (lastStart >= 0 && (all || !stop)) d->selectFound(lastStart, lastEnd);
        d->checkDirty();
        d->checkCaret();
        break;
    }
    default: break;
    }
    d->checkDirty();
    d->checkCaret();
}

}
