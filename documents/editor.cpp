// The editor adapter (documents/editor.h): the widget, its lines, caret,
// selection and view settings. Its other concerns live beside it:
//   editor_view.cpp       the Scintilla widget: keys, input, mouse, painting
//   editor_clipboard.cpp  the byte clipboard and the primary selection
//   editor_textstore.cpp  every message to Scintilla, and the row store
//   editor_pieces.cpp     large edits in pieces and the places their undo and
//                         redo give back, lines kept aside, rewriteLines
//   editor_styles.cpp     character attributes
//   editor_search.cpp     search and replace, and the editing actions
//   editor_keys.cpp       the key map
//   editor_file.cpp       loading and saving
//   editor_document.cpp   the program's text in Scintilla's document, shared
//                         by the views that show it (documents/programdocument.h)
#include "documents/editor.h"

#include "core/errors.h"
#include "core/lineends.h"
#include "core/services.h"
#include "documents/editor_impl.h"
#include "documents/textrows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace lumrik {

namespace {

// No modification events from Scintilla: nothing here listens to them, and
// for each change of the text the component works out, for its accessibility
// events, how many characters lie before the change, counting them one by one
// from the start of the text. That made every change cost time in proportion
// to the size of the text: typing near the end of a large program, and an
// undo of many changes, which took time in proportion to the square of it.
// Only the marker actions of large changes are told (their undo and redo):
// a change of the text is seen by the edit generation, which costs nothing
// per change.
constexpr int kModMask = QsciScintillaBase::SC_MOD_CONTAINER;

// The editor's accessible interface is Qt's plain one for an editable widget.
// The component's own interface tells the caret's character offset at every
// caret move and paint, counted one character at a time from the start of
// the text: with the caret far down a large program, every key would cost a
// count of millions.
QAccessibleInterface *plainEditorAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("QsciScintilla") && dynamic_cast<detail::SciView *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::EditableText);
    return nullptr;
}

}

void Editor::Impl::checkLine(int line) const
{
    const int n = int(send(Sci::SCI_GETLINECOUNT));
    if (line < 1 || line > n)
        throw RkError(kErrSubscript, QStringLiteral("Index utanför intervallet (rad %1 av %2)").arg(line).arg(n));
}

long Editor::Impl::posOf(int x, int y) const
{
    const int n = int(send(Sci::SCI_GETLINECOUNT));
    y = qBound(1, y, n);
    const long s = lineStart(y), e = lineEnd(y);
    return qBound(s, s + long(x) - 1, e);
}

QByteArray Editor::Impl::range(long from, long to) const
{
    if (to <= from) return {};
    const char *p = reinterpret_cast<const char *>(send(Sci::SCI_GETRANGEPOINTER, from, to - from));
    return QByteArray(p, to - from);
}

void Editor::Impl::checkCaret()
{
    if (!redraw) return;
    const long pos = send(Sci::SCI_GETCURRENTPOS);
    const bool changed = toldChanges != generation;
    if (pos != lastCaret) {
        lastCaret = pos;
        toldChanges = generation;
        Q_EMIT q->CaretMoved();
    } else if (changed) {
        toldChanges = generation;
        Q_EMIT q->TextChanged();
    }
    // The program's totals follow every change, an undo or redo too.
    if (changed && program) program->textChanged();
}

void Editor::Impl::checkDirty()
{
    if (!redraw) return;
    // The program tells a change of its state to every view of it (attach).
    program->checkModified();
}

void Editor::Impl::refreshCorners()
{
    const long anchor = send(Sci::SCI_GETANCHOR), caret = send(Sci::SCI_GETCURRENTPOS);
    if (anchor == cornerAnchor && caret == cornerCaret) return;
    const long s = qMin(anchor, caret), e = qMax(anchor, caret);
    const int sl = int(send(Sci::SCI_LINEFROMPOSITION, s)), el = int(send(Sci::SCI_LINEFROMPOSITION, e));
    cStartY = sl + 1;
    cStartX = int(s - send(Sci::SCI_POSITIONFROMLINE, sl)) + 1;
    cEndY = el + 1;
    cEndX = int(e - send(Sci::SCI_POSITIONFROMLINE, el)) + 1;
    cornerAnchor = anchor;
    cornerCaret = caret;
}

void Editor::Impl::applyCorners()
{
    const long a = posOf(cStartX, cStartY), c = posOf(cEndX, cEndY);
    send(Sci::SCI_SETSEL, a, c);
    cornerAnchor = send(Sci::SCI_GETANCHOR);
    cornerCaret = send(Sci::SCI_GETCURRENTPOS);
    markAnchor = cornerAnchor;
    markCaret = cornerCaret;
    checkCaret();
}

QByteArrayView Editor::Impl::wholeText() const
{
    const long n = send(Sci::SCI_GETLENGTH);
    return QByteArrayView(reinterpret_cast<const char *>(send(Sci::SCI_GETCHARACTERPOINTER)), n);
}

// ----- Editor ----------------------------------------------------------------

Editor::Editor(QWidget *parent) : Editor(nullptr, parent) {}

Editor::Editor(ProgramDocument *document, QWidget *parent) : QWidget(parent), d(new Impl)
{
    d->q = this;
    d->sci = new SciView(d, this);
    if (!document) {
        d->ownProgram = std::make_unique<ProgramDocument>();
        document = d->ownProgram.get();
    }
    d->program = document; // shown once the view is set up (attach, below)
    static const bool plainAccessible = [] {
        QAccessible::installFactory(plainEditorAccessible);
        return true;
    }();
    Q_UNUSED(plainAccessible);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(d->sci);
    setFocusProxy(d->sci);

    d->sci->setUtf8(false);
    d->sci->setContextMenuPolicy(Qt::DefaultContextMenu);
    d->send(Sci::SCI_SETCODEPAGE, 0);
    d->send(Sci::SCI_SETLEXER, 0 /* SCLEX_CONTAINER: styles are ours */);
    d->send(Sci::SCI_INDICSETSTYLE, kStyledIndicator, Sci::INDIC_HIDDEN);
    for (int m = 0; m < 5; ++m) d->send(Sci::SCI_SETMARGINWIDTHN, m, 0);
    d->send(Sci::SCI_SETWRAPMODE, Sci::SC_WRAP_NONE);
    d->send(Sci::SCI_SETLAYOUTCACHE, Sci::SC_CACHE_PAGE);
    d->send(Sci::SCI_SETSCROLLWIDTHTRACKING, 1);
    d->send(Sci::SCI_SETSCROLLWIDTH, 1);
    d->send(Sci::SCI_SETEOLMODE, Sci::SC_EOL_CRLF);
    d->send(Sci::SCI_SETMODEVENTMASK, kModMask);
    d->send(Sci::SCI_SETIDLESTYLING, Sci::SC_IDLESTYLING_NONE);
    detail::keepOnlyEditingKeys(d->sci);
    // The Insert key belongs to the document window (one insert mode for all).
    d->send(Sci::SCI_CLEARCMDKEY, Sci::SCK_INSERT);
    d->send(Sci::SCI_CLEARCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_SHIFT << 16));
    d->send(Sci::SCI_ASSIGNCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_SHIFT << 16), Sci::SCI_PASTE);
    d->send(Sci::SCI_ASSIGNCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_CTRL << 16), Sci::SCI_COPY);
    detail::giveUpMenuKeys(d->sci);
    d->applyBaseLook();
    // Selection colours of our own, so that the glyphs drawn over Scintilla's
    // text match them.
    d->sci->selectionBack = d->sci->palette().color(QPalette::Highlight);
    d->sci->selectionFore = d->sci->palette().color(QPalette::HighlightedText);
    d->send(Sci::SCI_SETSELBACK, 1, rkColorValue(d->sci->selectionBack));
    d->send(Sci::SCI_SETSELFORE, 1, rkColorValue(d->sci->selectionFore));

    connect(d->sci, &QsciScintillaBase::SCN_SAVEPOINTLEFT, this, [this] { d->checkDirty(); });
    connect(d->sci, &QsciScintillaBase::SCN_SAVEPOINTREACHED, this, [this] { d->checkDirty(); });
    connect(d->sci, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
        d->givePlacesBack(); // an undo or redo from elsewhere (the context menu)
        d->checkCaret();
    });
    connect(d->sci, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int, int type, const char *, int, int, int, int, int, int token, int) {
                if (type & Sci::SC_MOD_CONTAINER) d->passedMarker = token;
            });
    d->lastCaret = 0;
    d->attach(d->program, true);
}

Editor::~Editor()
{
    // The program keeps its text and undo: it lets this view go while the
    // view still shows the text (see Impl::detach). The view goes before d:
    // its last focus and paint events still reach d.
    d->detach();
    d->ownProgram.reset();
    delete d->sci;
    d->sci = nullptr;
    delete d;
}

QWidget *Editor::viewport() const { d->flush(); return d->sci->viewport(); }

int Editor::Count() const { return int(d->send(Sci::SCI_GETLINECOUNT)); }

int Editor::TextIndex() const { return d->textIndex; }

void Editor::setTextIndex(int line)
{
    d->checkLine(line);
    d->textIndex = line;
}

QByteArray Editor::Text() const
{
    d->checkLine(d->textIndex);
    if (d->pendingActive && d->pendingOff[d->textIndex - 1] >= 0)
        return d->pendingText(d->textIndex - 1);
    return d->range(d->lineStart(d->textIndex), d->lineEnd(d->textIndex));
}

void Editor::setText(const QByteArray &bytes)
{
    d->checkLine(d->textIndex);
    if (!d->redraw && !InsertMode() && !bytes.contains('\r') && !bytes.contains('\n')) {
        // Redraw off: the line is kept aside and goes into the text in one
        // step (see Impl::flushPending).
        d->deferLine(d->textIndex - 1, bytes);
        return;
    }
    d->flush();
    const long s = d->lineStart(d->textIndex);
    if (InsertMode()) {
        QByteArray ins = withLineEnds(bytes, d->textType());
        ins.append(d->eol());
        d->replaceRange(s, s, ins);
    } else {
        // Only the part that differs is replaced: the same result, less work
        // for Scintilla and a smaller undo record. An unchanged line stays.
        if (!d->replaceChanged(s, d->lineEnd(d->textIndex), bytes)) return;
    }
    d->checkDirty();
}

QByteArray Editor::TextAll() const
{
    d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    const char *p = reinterpret_cast<const char *>(d->send(Sci::SCI_GETCHARACTERPOINTER));
    return convertLineEnds(QByteArrayView(p, n), d->textType());
}

void Editor::setTextAll(const QByteArray &whole)
{
    d->flush();
    // A byte-order mark in front is the program's, not its text's.
    const QByteArrayView bytes = d->doc().replaceWhole(whole);
    if (!d->rows && TextRows::needed(bytes)) {
        // A line too long to lay out: shown in rows from now on, this change
        // the first step of their undo (what Scintilla could undo goes).
        const QByteArray old = d->wholeText().toByteArray();
        const bool dirty = IsDirty();
        d->showInRows(bytes.size() == whole.size() ? whole : bytes.toByteArray(), ReadOnly());
        d->rows->undo.push_back({{0, old, bytes.toByteArray()}});
        d->rows->savePoint = dirty ? -1 : 0;
        d->applyEncoding();
        d->textIndex = 1;
        d->checkDirty();
        d->checkCaret();
        return;
    }
    // Only the stretch that differs is replaced (one change); the same text
    // keeps the caret, the undo and the dirty state. The attributes go.
    d->applyEncoding();
    if (d->rows) d->rows->map.setUtf8(d->utf8());
    if (!d->replaceChanged(0, d->send(Sci::SCI_GETLENGTH), bytes)) {
        d->clearStyles();
        return;
    }
    d->clearStyles();
    d->textIndex = qBound(1, d->textIndex, Count());
    d->checkDirty();
    d->checkCaret();
}

qint64 Editor::TextLength() const { d->flush(); return d->send(Sci::SCI_GETLENGTH); }
qint64 Editor::CountBytes() const
{
    d->flush();
    if (!d->utf8()) return d->send(Sci::SCI_GETLENGTH); // a character a byte
    // Counted again only after the text changed: the status bar asks at
    // every key.
    detail::DocumentStore &s = d->store();
    if (s.countedChanges != d->generation) {
        s.countedChars = d->characterCount();
        s.countedChanges = d->generation;
    }
    return s.countedChars;
}

qint64 Editor::Impl::characterCount() const
{
    if (rows) return doc().characterCount(wholeText());
    // The two sides of Scintilla's gap in place: the whole text in one piece
    // would move the gap to its end, megabytes at every key typed far up.
    const long n = send(Sci::SCI_GETLENGTH);
    const long gap = qBound(0L, send(Sci::SCI_GETGAPPOSITION), n);
    auto part = [this](long from, long length) {
        if (length <= 0) return qint64(0);
        const char *p = reinterpret_cast<const char *>(send(Sci::SCI_GETRANGEPOINTER, from, length));
        return doc().characterCount(QByteArrayView(p, length));
    };
    return part(0, gap) + part(gap, n - gap);
}

int Editor::caretColumn() const
{
    d->flush();
    const long pos = d->send(Sci::SCI_GETCURRENTPOS);
    const long line = d->send(Sci::SCI_LINEFROMPOSITION, pos);
    const long start = d->send(Sci::SCI_POSITIONFROMLINE, line);
    if (!d->utf8()) return int(pos - start) + 1;
    const char *p = reinterpret_cast<const char *>(d->send(Sci::SCI_GETRANGEPOINTER, start, pos - start));
    return d->doc().characterColumn(QByteArrayView(p, pos - start), int(pos - start) + 1);
}

QByteArrayView Editor::textView() const
{
    d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    return QByteArrayView(reinterpret_cast<const char *>(d->send(Sci::SCI_GETCHARACTERPOINTER)), n);
}

QByteArrayView Editor::lineView(int line) const
{
    d->flush();
    d->checkLine(line);
    const long s = d->lineStart(line), e = d->lineEnd(line);
    if (e <= s) return {};
    return QByteArrayView(reinterpret_cast<const char *>(d->send(Sci::SCI_GETRANGEPOINTER, s, e - s)), e - s);
}

quint64 Editor::editGeneration() const { return d->generation; }

void Editor::beginUndoAction() { d->flush(); d->openPlaceGroup(); }
void Editor::endUndoAction() { d->flush(); d->closePlaceGroup(); }
void Editor::emptyUndoBuffer() { d->flush(); d->send(Sci::SCI_EMPTYUNDOBUFFER); d->forgetPlaceGroups(); }

int Editor::CaretX() const
{
    d->flush();
    const long pos = d->send(Sci::SCI_GETCURRENTPOS);
    const long line = d->send(Sci::SCI_LINEFROMPOSITION, pos);
    return int(pos - d->send(Sci::SCI_POSITIONFROMLINE, line)) + 1;
}

int Editor::CaretY() const
{
    d->flush();
    return int(d->send(Sci::SCI_LINEFROMPOSITION, d->send(Sci::SCI_GETCURRENTPOS))) + 1;
}

void Editor::setCaret(int x, int y)
{
    d->flush();
    d->send(Sci::SCI_GOTOPOS, d->posOf(x, y));
    d->checkCaret();
}

int Editor::SelMark() const
{
    d->flush();
    const long a = d->send(Sci::SCI_GETANCHOR), c = d->send(Sci::SCI_GETCURRENTPOS);
    if (a != c) return d->selMark ? d->selMark : 1;
    if (d->selMark && a == d->markAnchor && c == d->markCaret) return d->selMark;
    return 0;
}

void Editor::setSelMark(int mark)
{
    d->flush();
    const long c = d->send(Sci::SCI_GETCURRENTPOS);
    if (mark == 0) {
        d->send(Sci::SCI_SETEMPTYSELECTION, c);
        d->selMark = 0;
    } else {
        d->send(Sci::SCI_SETANCHOR, c);
        d->selMark = mark;
    }
    d->markAnchor = d->send(Sci::SCI_GETANCHOR);
    d->markCaret = d->send(Sci::SCI_GETCURRENTPOS);
}

int Editor::SelStartX() const { d->flush(); d->refreshCorners(); return d->cStartX; }
int Editor::SelStartY() const { d->flush(); d->refreshCorners(); return d->cStartY; }
int Editor::SelEndX() const { d->flush(); d->refreshCorners(); return d->cEndX; }
int Editor::SelEndY() const { d->flush(); d->refreshCorners(); return d->cEndY; }
void Editor::setSelStartX(int x) { d->flush(); d->refreshCorners(); d->cStartX = x; d->applyCorners(); }
void Editor::setSelStartY(int y) { d->flush(); d->refreshCorners(); d->cStartY = y; d->applyCorners(); }
void Editor::setSelEndX(int x) { d->flush(); d->refreshCorners(); d->cEndX = x; d->applyCorners(); }
void Editor::setSelEndY(int y) { d->flush(); d->refreshCorners(); d->cEndY = y; d->applyCorners(); }

qint64 Editor::SelStartOffset() const { d->flush(); return d->send(Sci::SCI_GETSELECTIONSTART); }
qint64 Editor::SelEndOffset() const { d->flush(); return d->send(Sci::SCI_GETSELECTIONEND); }
qint64 Editor::anchorOffset() const { d->flush(); return d->send(Sci::SCI_GETANCHOR); }
qint64 Editor::caretOffset() const { d->flush(); return d->send(Sci::SCI_GETCURRENTPOS); }

void Editor::setSelectionOffsets(qint64 anchor, qint64 caret)
{
    d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    d->select(qBound(0L, long(anchor), n), qBound(0L, long(caret), n));
    d->checkCaret();
}

QByteArray Editor::SelText() const
{
    d->flush();
    return d->range(d->send(Sci::SCI_GETSELECTIONSTART), d->send(Sci::SCI_GETSELECTIONEND));
}

void Editor::setSelText(const QByteArray &bytes)
{
    d->flush();
    const long s = d->send(Sci::SCI_GETSELECTIONSTART), e = d->send(Sci::SCI_GETSELECTIONEND);
    d->replaceRange(s, e, bytes);
    d->send(Sci::SCI_SETEMPTYSELECTION, s + bytes.size());
    d->checkDirty();
    d->checkCaret();
}

int Editor::TopY() const { return int(d->send(Sci::SCI_GETFIRSTVISIBLELINE)) + 1; }

void Editor::setTopY(int line)
{
    d->send(Sci::SCI_SETFIRSTVISIBLELINE, qMax(0, line - 1));
}

int Editor::VisibleLines() const { return int(d->send(Sci::SCI_LINESONSCREEN)); }

int Editor::LineHeight() const
{
    const int line = qBound(1, d->textIndex, Count());
    return int(d->send(Sci::SCI_TEXTHEIGHT, line - 1));
}

bool Editor::Redraw() const { return d->redraw; }

void Editor::setRedraw(bool on)
{
    if (on == d->redraw) return;
    if (on) d->flush();
    d->redraw = on;
    d->sci->viewport()->setUpdatesEnabled(on);
    d->sci->setUpdatesEnabled(on);
    if (on) {
        d->sci->viewport()->update();
        // One round of notifications once the caller is done: code that turns
        // Redraw off and on around many small steps (colouring does it per
        // span) raises them once, not per step.
        if (!d->notifyQueued) {
            d->notifyQueued = true;
            QTimer::singleShot(0, this, [this] {
                d->notifyQueued = false;
                d->checkDirty();
                d->checkCaret();
            });
        }
    }
}

int Editor::SplitterType() const { return d->splitterType; }
void Editor::setSplitterType(int type) { d->splitterType = type; } // one pane only

int Editor::LeftMargin() const { return d->leftMargin; }

void Editor::setLeftMargin(int pixels)
{
    d->leftMargin = qMax(0, pixels);
    d->send(Sci::SCI_SETMARGINLEFT, 0, d->leftMargin);
}

int Editor::ScrollBars() const { return d->scrollBars; }

void Editor::setScrollBars(int mode)
{
    d->scrollBars = mode;
    // 2: the scroll bars always show; 4: only when the text needs them.
    d->send(Sci::SCI_SETSCROLLWIDTHTRACKING, mode == 2 ? 0 : 1);
    if (mode == 2) {
        d->sci->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        d->sci->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        d->send(Sci::SCI_SETSCROLLWIDTH, 2000);
    } else {
        d->sci->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        d->sci->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        d->send(Sci::SCI_SETSCROLLWIDTH, 1);
    }
}

bool Editor::InsertMode() const { return !d->send(Sci::SCI_GETOVERTYPE); }
void Editor::setInsertMode(bool on) { d->send(Sci::SCI_SETOVERTYPE, !on); }

bool Editor::ReadOnly() const { return d->send(Sci::SCI_GETREADONLY); }
void Editor::setReadOnly(bool on) { d->send(Sci::SCI_SETREADONLY, on); }

QColor Editor::BackColor() const { return d->back; }
void Editor::setBackColor(const QColor &c) { d->back = c; d->applyBaseLook(); }
QColor Editor::ForeColor() const { return d->fore; }
void Editor::setForeColor(const QColor &c) { d->fore = c; d->applyBaseLook(); }
QString Editor::Font() const { return d->font; }
void Editor::setFont(const QString &family)
{
    if (family.isEmpty()) return;
    d->font = family;
    d->applyBaseLook();
}
int Editor::FontSize() const { return d->fontSize; }
void Editor::setFontSize(int points)
{
    if (points <= 0) return;
    d->fontSize = points;
    d->applyBaseLook();
}

qint64 Editor::lineOffset(int line) const
{
    d->flush();
    if (line == Count() + 1)
        return d->send(Sci::SCI_GETLENGTH);
    d->checkLine(line);
    return d->lineStart(line);
}

int Editor::lineOfOffset(qint64 offset) const
{
    d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    return int(d->send(Sci::SCI_LINEFROMPOSITION, long(qBound<qint64>(0, offset, qint64(n))))) + 1;
}

bool Editor::IsDirty() const { return d->program->isModified(); }

void Editor::setIsDirty(bool dirty)
{
    const bool told = d->program->toldModified_;
    d->program->setModified(dirty);
    // The program tells a change of its state; the view raises the signal on
    // every write of True.
    if (d->redraw && dirty && told) Q_EMIT ModifiedChanged();
}

ProgramDocument *Editor::program() const { return d->program; }

void Editor::setDocument(ProgramDocument *document)
{
    if (document == d->program && document) return;
    d->flush();
    d->detach();
    // A program of the view's own goes once the view shows the other one.
    std::unique_ptr<ProgramDocument> old = std::move(d->ownProgram);
    if (!document) {
        d->ownProgram = std::make_unique<ProgramDocument>();
        document = d->ownProgram.get();
    }
    d->attach(document, false);
    d->checkDirty();
    d->checkCaret();
}

}
