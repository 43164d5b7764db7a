#pragma once
// The parts of the editor adapter (documents/editor.h) shared by its files:
// Editor::Impl, which holds the adapter's state, and what its files have in
// common. Only the editor's own files include this.
#include "core/ncdocument.h"
#include "documents/editor.h"
#include "documents/editor_view.h"
#include "documents/programdocument.h"
#include "documents/textrows.h"

#include <Qsci/qscidocument.h>
#include <Qsci/qsciscintillabase.h>

#include <QColor>
#include <QHash>
#include <QKeyEvent>
#include <QList>
#include <functional>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

class QsciScintilla;

namespace lumrik {

using Sci = QsciScintillaBase;

// Styles the character attributes may use: 0 is the plain text; 32..39 are
// Scintilla's own.
constexpr int kFirstStyle = 1;
// A hidden indicator over every character given a style other than 0. It
// moves with the text as the styles do, so the end of its last run bounds the
// styled stretch without reading every character's style.
constexpr int kStyledIndicator = 31;
constexpr int kLastStyle = 255;
inline bool isReservedStyle(int s) { return s >= 32 && s <= 39; }

struct StyleKey {
    QRgb color = 0;
    bool hasColor = false;
    bool bold = false;
    bool italic = false;
    quint32 hash() const
    {
        return (color & 0xFFFFFF) | (hasColor ? 1u << 24 : 0) | (bold ? 1u << 25 : 0)
               | (italic ? 1u << 26 : 0);
    }
};

namespace detail {

// How the text store passes a Scintilla message on.
enum class SciRoute {
    Unknown,   // no route: refused
    Converted, // speaks of places in the text: translated for a text in rows
    AsIs,      // speaks of no place in the text (settings, looks, the view)
    OwnText,   // speaks of places, and is sent only while Scintilla holds
               // the text itself: refused for a text in rows
};
SciRoute sciRoute(unsigned int msg);

// The key map (editor_keys.cpp).
int windowsKeyCode(const QKeyEvent *e);
int shiftBits(Qt::KeyboardModifiers m);
void keepOnlyEditingKeys(QsciScintilla *sci);
void giveUpMenuKeys(QsciScintilla *sci);

}

using detail::SciView;

struct Editor::Impl {
    Editor *q = nullptr;
    SciView *sci = nullptr;
    int textIndex = 1;
    bool redraw = true;
    bool notifyQueued = false;
    long lastCaret = -1;
    int selMark = 0;
    long markAnchor = -1, markCaret = -1;
    // Selection corners as last written, kept while the selection itself is
    // unchanged so that callers may write them one at a time in any order.
    int cStartX = 1, cStartY = 1, cEndX = 1, cEndY = 1;
    long cornerAnchor = -2, cornerCaret = -2;
    int splitterType = 0;
    int leftMargin = 0;
    int scrollBars = 4;
    // The program the editor shows (documents/programdocument.h), and the
    // one it made for itself when it was given none. What the program holds
    // of the text (its form, its rows, its edit generation) is in its store
    // (detail::DocumentStore, below).
    ProgramDocument *program = nullptr;
    std::unique_ptr<ProgramDocument> ownProgram;
    detail::DocumentStore &store() const { return program->store(); }
    // Shows `p`: a program some view showed already brings its text along;
    // a new one takes the text Scintilla holds now (`adopt`) or an empty one.
    void attach(ProgramDocument *p, bool adopt);
    void detach();
    // The whole text as a file brought it (ProgramDocument::load): no undo
    // back to before it, at the save point, the caret at the start.
    void takeFile(const QByteArray &file);
    // The program's encoding, byte-order mark and line ends; the text here
    // is without the mark.
    NcDocument &doc() const;
    TextEncoding encoding() const { return doc().encoding(); }
    bool utf8() const { return doc().encoding() == TextEncoding::Utf8; }
    int textType() const { return doc().lineEnds(); }
    // Scintilla shows UTF-8 in its UTF-8 code page, a text in rows too.
    void applyEncoding();
    // The number of characters of the text, counted now.
    qint64 characterCount() const;
    // The edit generation the last round of notifications told of.
    quint64 toldChanges = 0;
    QColor fore = Qt::black, back = Qt::white;
    QString font = QStringLiteral("Courier New");
    int fontSize = 10;
    // Character-attribute styles allocated on demand.
    QHash<quint32, int> styleOf;
    std::vector<StyleKey> keys = std::vector<StyleKey>(256);
    std::vector<bool> used = std::vector<bool>(256, false);
    int nextStyle = kFirstStyle;
    // Every character is known to show in style 0: clearing has nothing to do.
    bool plainStyles = true;
    void markStyled(long from, long to) const;
    std::pair<long, long> styledStretch(long from, long to) const;

    // The text store (editor_textstore.cpp): every message about the text
    // goes to Scintilla through send() and sendPtr(), which speak of the
    // text itself whether Scintilla holds it or shows it in rows. Each
    // message has a route (detail::sciRoute); one without is refused.
    // raw() is Scintilla's shown text as it is, for the row store alone.
    long send(unsigned int msg, unsigned long w = 0, long l = 0) const;
    long sendPtr(unsigned int msg, unsigned long w, const char *p) const;
    long raw(unsigned int msg, unsigned long w = 0, long l = 0) const;
    long refuse(unsigned int msg) const;
    void styledText(long from, long to, char *out) const;

    // A text with a line too long for Scintilla to lay out is shown in rows
    // (documents/textrows.h). Scintilla then holds the shown text, read-only
    // and without an undo of its own; this holds the text itself and its
    // undo, and send() speaks of the text: every position, line and change
    // is translated between the two, so the rest of the adapter is the same
    // in both cases.
    struct Rows {
        TextRows map;
        QByteArray text;
        bool readOnly = false;       // the read-only flag the callers see
        long targetStart = 0, targetEnd = 0, styleAt = 0;
        struct Edit {
            qint64 at;
            QByteArray removed, inserted;
            long mark = -1; // the place group the edit's undo group stands for
        };
        std::vector<std::vector<Edit>> undo, redo;
        int depth = 0;               // undo groups open
        bool grouped = false;        // the open group holds an edit already
        bool replaying = false;
        qint64 typedEnd = -1;        // where typing may go on in the last group
        qsizetype savePoint = 0;     // groups to undo at the save point; -1 none
    };
    // The rows belong to the program: every view of it shows the same rows.
    struct RowsSlot {
        const Impl *d;
        Rows *get() const;
        Rows *operator->() const { return get(); }
        Rows &operator*() const { return *get(); }
        explicit operator bool() const { return get() != nullptr; }
        void reset();
        RowsSlot &operator=(std::unique_ptr<Rows> r);
    };
    RowsSlot rows{this};
    long rowsSend(unsigned int msg, unsigned long w, long l) const;
    long rowsSendPtr(unsigned int msg, unsigned long w, const char *p) const;
    qsizetype rowOfBreak(qsizetype i) const;
    long firstRow(long line) const;
    long lineOfRow(long row) const;
    void rowsReplace(qint64 from, qint64 to, QByteArrayView bytes, bool typed = false) const;
    void rowsUndo(bool redo) const;
    bool rowsKey(QKeyEvent *e);
    void showInRows(QByteArray text, bool readOnly);
    long characterAfter(long at) const;
    long characterBefore(long at) const;
    void checkLine(int line) const;
    long lineStart(int line) const { return send(Sci::SCI_POSITIONFROMLINE, line - 1); }
    long lineEnd(int line) const { return send(Sci::SCI_GETLINEENDPOSITION, line - 1); }
    long posOf(int x, int y) const;
    QByteArray range(long from, long to) const;
    void replaceRange(long from, long to, QByteArrayView bytes);
    void replaceInPieces(long from, long to, QByteArrayView bytes);
    // The same with the new bytes given as consecutive parts of at most a
    // piece each (no one buffer the size of the whole program is needed).
    void replacePieces(long from, long to, const std::vector<QByteArrayView> &parts);
    static qsizetype pieceBytes();
    // Bumped by every change of the text (its own messages and the keys,
    // clicks and drops that reach the component). A rewrite in pieces notes
    // it after its own change and looks again after the events ran: another
    // number means the text changed under it, and it stops before it writes
    // at offsets that no longer hold.
    // The number is the program's: a change through any view of it counts.
    struct Generation {
        const Impl *d;
        operator quint64() const;
        Generation &operator++();
    };
    mutable Generation generation{this};
    void checkUnchanged(quint64 mine) const;
    bool replaceChanged(long from, long to, QByteArrayView bytes);
    // Where the caret and the anchor stand by line and column, and the top
    // line: given back after a replacement that moved their offsets.
    struct Places {
        long caretLine, caretColumn, anchorLine, anchorColumn, top;
    };
    Places places() const;
    void restorePlaces(const Places &at);

    // --- Places around large changes, given back by their undo and redo ---
    // Scintilla's undo of a group of many changes leaves the caret at the last
    // change it undid (the end of the first piece of a whole-program change).
    // A group opened by openPlaceGroup that changes the text gets a marker
    // action at its start and one at its end; undoing the group passes the
    // start marker last, redoing it the end marker, and the places noted for
    // that marker are then given back.
    struct Spot {
        long anchor, caret, top;
    };
    struct PlaceGroup {
        Spot before, after;
    };
    std::unordered_map<long, PlaceGroup> placeGroups; // by group number
    long nextPlaceGroup = 0;
    int placeDepth = 0;          // open groups
    bool placeMarked = false;    // the open group holds its start marker
    Spot placeBefore{0, 0, 0};
    mutable long passedMarker = -1; // the last marker an undo or redo passed
    mutable long rowsMark = -1;     // shown in rows: the group the next edit starts
    Spot spot() const;
    void openPlaceGroup();
    void closePlaceGroup();
    void markPlaceGroup();
    void givePlacesBack();
    void forgetPlaceGroups();
    // --- end of places around large changes ---
    void select(long anchor, long caret);
    const char *eol() const { return textType() == 2 ? "\n" : "\r\n"; }
    void applyStyleDefaults(int style);
    void applyBaseLook();
    int styleFor(const StyleKey &k);
    template <class Change> void restyleSelection(Change change);
    void clearStyles();
    void checkCaret();
    void checkDirty();
    void refreshCorners();
    void applyCorners();
    QByteArrayView wholeText() const;
    void selectFound(long from, long to);
    bool findNext(long from, bool wrap);
    long replaceMatches(const std::vector<qsizetype> &hits, qsizetype length, QByteArrayView replacement);
    // The styles of start..end once the matches are replaced (empty when all
    // of it is in style 0), and those styles put on the new text at `start`.
    QByteArray stylesAfterReplace(long start, long end, const std::vector<qsizetype> &hits, qsizetype length,
                                  qsizetype replacementSize, qsizetype newSize);
    void restyleReplaced(long start, const QByteArray &newStyles);

    // A replace that asks per match (setAction 10), kept from round to round
    // of the event loop while every further match goes in off the window
    // (editor_search.cpp); replaceUnderWay until its last part is in.
    struct ReplaceState;
    bool runReplace(const std::shared_ptr<ReplaceState> &st);
    void replaceAllOffWindow(const std::shared_ptr<ReplaceState> &st, long pos, long to);
    bool replaceUnderWay = false;
    // A replacement of from..to by `parts` put into the text a part per round
    // of the event loop, as one change and one undo step, as replacePieces
    // puts them in at once; `done` then runs (with false, after nothing more
    // is written, when the text changed under it). editor_pieces.cpp.
    struct PartsLater;
    void putPartsLater(long from, long to, std::vector<QByteArray> parts, std::function<void(bool ok)> done);

    // Lines written while Redraw is off and not yet in Scintilla's text: one
    // modification per line costs Scintilla about a microsecond, so a
    // whole-program pass over a large program collects its lines here and
    // puts them in with a single replacement. Only whole-line replacements
    // without line ends are kept aside (the line count stays); anything else
    // that touches the text, the caret or the selection puts them in first.
    bool pendingActive = false;
    QByteArray pendingArena;
    std::vector<qint64> pendingOff; // per line: offset in the arena, -1 unchanged
    std::vector<int> pendingLen;
    int pendingFirst = 0, pendingLast = -1;
    void deferLine(int line0, const QByteArray &bytes);
    QByteArray pendingText(int line0) const
    {
        return QByteArray(pendingArena.constData() + pendingOff[line0], pendingLen[line0]);
    }
    void flush()
    {
        if (pendingActive) flushPending();
    }
    void flushPending();
    void dropPending();
};

namespace detail {

// What a program document holds of its text (documents/editor_document.cpp):
// Scintilla's document, which holds the text, its undo and its save point
// apart from any view; the rows of a text shown in rows with their own undo;
// its form; and the views that show it.
struct DocumentStore {
    NcDocument doc;
    bool forcedDirty = false;  // changed until the next save, whatever the undo says
    std::unique_ptr<Editor::Impl::Rows> rows;
    quint64 generation = 0;
    // The characters as last counted, and the generation they were counted at.
    qint64 countedChars = 0;
    quint64 countedChanges = ~quint64(0);
    std::optional<QsciDocument> text;
    std::vector<Editor *> views;
    // Reads and changes the text while no view shows it; never shown.
    std::unique_ptr<Editor> engine;
    bool dying = false;
};

}

inline NcDocument &Editor::Impl::doc() const { return store().doc; }
inline Editor::Impl::Rows *Editor::Impl::RowsSlot::get() const { return d->store().rows.get(); }
inline void Editor::Impl::RowsSlot::reset() { d->store().rows.reset(); }
inline Editor::Impl::RowsSlot &Editor::Impl::RowsSlot::operator=(std::unique_ptr<Rows> r)
{
    d->store().rows = std::move(r);
    return *this;
}
inline Editor::Impl::Generation::operator quint64() const { return d->store().generation; }
inline Editor::Impl::Generation &Editor::Impl::Generation::operator++()
{
    ++d->store().generation;
    return *this;
}

}
