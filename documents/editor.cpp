#include "documents/editor.h"

#include "core/atomicfile.h"
#include "core/codepage.h"
#include "core/errors.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/findreplace_rules.h"
#include "documents/lineends.h"
#include "documents/textrows.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QHash>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace lumrik {

namespace {

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

// No modification events from Scintilla: nothing here listens to them, and
// for each change of the text the component works out, for its accessibility
// events, how many characters lie before the change, counting them one by one
// from the start of the text. That made every change cost time in proportion
// to the size of the text: typing near the end of a large program, and an
// undo of many changes, which took time in proportion to the square of it.
constexpr int kModMask = 0;

// Whole-text changes go into Scintilla a piece of about this many bytes at a
// time, and a whole-program rewrite reads and writes its lines a piece at a
// time: between pieces the window's events run during long work
// (serveLongWork), and no buffer the size of the whole program is made
// besides the ones Scintilla keeps for the text and its undo.
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

// Windows key code of a Qt key (letters, digits, function and edit keys).
int windowsKeyCode(const QKeyEvent *e)
{
    const int k = e->key();
    const bool keypad = e->modifiers() & Qt::KeypadModifier;
    if (keypad) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
        switch (k) {
        case Qt::Key_Comma:
        case Qt::Key_Period: return 110;
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return 107;
        case Qt::Key_Minus: return 109;
        case Qt::Key_Slash: return 111;
        case Qt::Key_Enter: return 13;
        default: break;
        }
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 48 + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Comma: return 188;
    case Qt::Key_Minus: return 189;
    case Qt::Key_Period: return 190;
    default: break;
    }
    return k & 0xFFFF;
}

int shiftBits(Qt::KeyboardModifiers m)
{
    int s = 0;
    if (m & Qt::ShiftModifier) s |= 1;
    if (m & Qt::ControlModifier) s |= 2;
    if (m & Qt::AltModifier) s |= 4;
    return s;
}

// The byte a typed character stands for, or -1 when it has none.
int typedByte(QChar c)
{
    const QByteArray b = displayToBytes(QString(c));
    if (b.size() != 1) return -1;
    if (b[0] == '?' && c != QLatin1Char('?')) return -1;
    return static_cast<unsigned char>(b[0]);
}

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

}

namespace detail { class SciView; }
using detail::SciView;

struct Editor::Impl {
    Editor *q = nullptr;
    SciView *sci = nullptr;
    int textIndex = 1;
    bool redraw = true;
    bool forcedDirty = false;
    bool notifyQueued = false;
    bool lastDirty = false;
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
    int textType = 1;
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

    long send(unsigned int msg, unsigned long w = 0, long l = 0) const;
    long sendPtr(unsigned int msg, unsigned long w, const char *p) const;
    long raw(unsigned int msg, unsigned long w = 0, long l = 0) const;
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
        };
        std::vector<std::vector<Edit>> undo, redo;
        int depth = 0;               // undo groups open
        bool grouped = false;        // the open group holds an edit already
        bool replaying = false;
        qint64 typedEnd = -1;        // where typing may go on in the last group
        qsizetype savePoint = 0;     // groups to undo at the save point; -1 none
    };
    std::unique_ptr<Rows> rows;
    long rowsSend(unsigned int msg, unsigned long w, long l) const;
    long rowsSendPtr(unsigned int msg, unsigned long w, const char *p) const;
    qsizetype rowOfBreak(qsizetype i) const;
    long firstRow(long line) const;
    long lineOfRow(long row) const;
    void rowsReplace(qint64 from, qint64 to, QByteArrayView bytes, bool typed = false) const;
    void rowsUndo(bool redo) const;
    bool rowsKey(QKeyEvent *e);
    void showInRows(const QByteArray &text, bool readOnly);
    void checkLine(int line) const;
    long lineStart(int line) const { return send(Sci::SCI_POSITIONFROMLINE, line - 1); }
    long lineEnd(int line) const { return send(Sci::SCI_GETLINEENDPOSITION, line - 1); }
    long posOf(int x, int y) const;
    QByteArray range(long from, long to) const;
    void replaceRange(long from, long to, QByteArrayView bytes);
    void replaceInPieces(long from, long to, QByteArrayView bytes);
    // Bumped by every change of the text (its own messages and the keys,
    // clicks and drops that reach the component). A rewrite in pieces notes
    // it after its own change and looks again after the events ran: another
    // number means the text changed under it, and it stops before it writes
    // at offsets that no longer hold.
    mutable quint64 generation = 0;
    void checkUnchanged(quint64 mine) const;
    bool replaceChanged(long from, long to, QByteArrayView bytes);
    // Where the caret and the anchor stand by line and column, and the top
    // line: given back after a replacement that moved their offsets.
    struct Places {
        long caretLine, caretColumn, anchorLine, anchorColumn, top;
    };
    Places places() const;
    void restorePlaces(const Places &at);
    void select(long anchor, long caret);
    const char *eol() const { return textType == 2 ? "\n" : "\r\n"; }
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

// The Scintilla widget with the text-as-bytes rules: clipboard and drops are
// converted between display text and bytes, and typed characters go through
// the owner's key events.
// Selected bytes on the clipboard. Scintilla offers every selection it makes
// to the X11 primary selection, whole programs included: the display text is
// made only when another window (or a paste) asks for it, and the bytes of a
// selection offered that way are read only then.
class BytesMimeData : public QMimeData {
public:
    explicit BytesMimeData(const QByteArray &bytes) : bytes_(bytes) {}
    explicit BytesMimeData(std::function<QByteArray()> source) : source_(std::move(source)) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }

protected:
    QVariant retrieveData(const QString &format, QMetaType type) const override
    {
        if (!format.startsWith(QLatin1String("text/plain")))
            return QMimeData::retrieveData(format, type);
        if (!converted_) {
            if (source_) bytes_ = std::exchange(source_, {})();
            text_ = bytesToDisplay(bytes_);
            converted_ = true;
        }
        return text_;
    }

private:
    mutable QByteArray bytes_;
    mutable std::function<QByteArray()> source_;
    mutable QString text_;
    mutable bool converted_ = false;
};

class SciView : public QsciScintilla {
public:
    explicit SciView(Editor::Impl *d, QWidget *parent) : QsciScintilla(parent), d_(d) {}

    // Copy and cut of the selected bytes as display text (Scintilla's own
    // copy does not carry every byte value).
    bool copyBytes()
    {
        const long s = d_->send(SCI_GETSELECTIONSTART), e = d_->send(SCI_GETSELECTIONEND);
        if (e <= s) return false;
        const char *p = reinterpret_cast<const char *>(d_->send(SCI_GETRANGEPOINTER, s, e - s));
        QApplication::clipboard()->setMimeData(toMimeData(QByteArray(p, e - s), false));
        return true;
    }
    void pasteBytes()
    {
        if (d_->q->ReadOnly()) return;
        bool rect = false;
        const QByteArray b = fromMimeData(QApplication::clipboard()->mimeData(), rect);
        if (b.isEmpty()) return;
        const long s = d_->send(SCI_GETSELECTIONSTART), e = d_->send(SCI_GETSELECTIONEND);
        d_->send(SCI_BEGINUNDOACTION);
        d_->send(SCI_SETTARGETSTART, s);
        d_->send(SCI_SETTARGETEND, e);
        d_->sendPtr(SCI_REPLACETARGET, (unsigned long)b.size(), b.constData());
        d_->send(SCI_ENDUNDOACTION);
        d_->send(SCI_GOTOPOS, (unsigned long)(s + b.size()));
        d_->checkDirty();
    }
    void cutBytes()
    {
        if (copyBytes() && !d_->q->ReadOnly()) d_->send(SCI_CLEAR);
        d_->checkDirty();
    }

protected:
    QByteArray fromMimeData(const QMimeData *source, bool &rectangular) const override
    {
        rectangular = false;
        if (!source || !source->hasText()) return {};
        return displayToBytes(source->text());
    }
    QMimeData *toMimeData(const QByteArray &text, bool rectangular) const override
    {
        Q_UNUSED(rectangular);
        return new BytesMimeData(text);
    }
    bool canInsertFromMimeData(const QMimeData *source) const override { return source && source->hasText(); }

    static bool changesText(QEvent::Type t)
    {
        switch (t) {
        case QEvent::KeyPress: case QEvent::InputMethod: case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: case QEvent::Drop: case QEvent::Paint:
        case QEvent::Wheel: case QEvent::Resize:
            return true;
        default:
            return false;
        }
    }
    // Events with which the component may change the text by itself.
    static bool mayEdit(QEvent::Type t)
    {
        return t == QEvent::KeyPress || t == QEvent::InputMethod || t == QEvent::Drop
               || t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease;
    }
    bool event(QEvent *e) override
    {
        if (changesText(e->type())) d_->flush();
        if (mayEdit(e->type())) ++d_->generation;
        return QsciScintilla::event(e);
    }
    bool viewportEvent(QEvent *e) override
    {
        if (changesText(e->type())) d_->flush();
        if (mayEdit(e->type())) ++d_->generation;
        return QsciScintilla::viewportEvent(e);
    }

    void keyPressEvent(QKeyEvent *e) override
    {
        Editor *q = d_->q;
        const int vk = windowsKeyCode(e);
        bool handled = false;
        Q_EMIT q->KeyPreview(vk, shiftBits(e->modifiers()), handled);
        if (handled) {
            e->accept();
            return;
        }
        Q_EMIT q->KeyDown(vk, shiftBits(e->modifiers()));
        if (d_->rows && d_->rowsKey(e)) {
            d_->checkCaret();
            return;
        }
        const QString text = e->text();
        const Qt::KeyboardModifiers mods = e->modifiers();
        // Ctrl or Alt alone make a command key, never a typed character
        // (Ctrl and Alt together are AltGr on some keyboards: that types).
        const bool command = bool(mods & Qt::ControlModifier) != bool(mods & Qt::AltModifier);
        const Qt::KeyboardModifiers held = mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        // The Edit menu's keys, and the Insert key's clipboard forms; never
        // Shift+Delete, which would cut on a slip of the Shift key.
        const bool ctrlOnly = held == Qt::ControlModifier, insertKey = e->key() == Qt::Key_Insert;
        if ((ctrlOnly && e->key() == Qt::Key_C) || (insertKey && held == Qt::ControlModifier)) {
            copyBytes();
        } else if ((ctrlOnly && e->key() == Qt::Key_V) || (insertKey && held == Qt::ShiftModifier)) {
            pasteBytes();
        } else if (ctrlOnly && e->key() == Qt::Key_X) {
            cutBytes();
        } else if (text.size() == 1 && !command && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F) {
            typeChar(text[0], e);
        } else if (command && !text.isEmpty()) {
            // Scintilla would type the key's text when its key map has no use for it.
            QKeyEvent bare(e->type(), e->key(), e->modifiers(), QString(), e->isAutoRepeat(), ushort(e->count()));
            QsciScintilla::keyPressEvent(&bare);
        } else {
            QsciScintilla::keyPressEvent(e);
        }
        d_->checkCaret();
    }

    void inputMethodEvent(QInputMethodEvent *e) override
    {
        if (e->preeditString().isEmpty() && !e->commitString().isEmpty()) {
            for (QChar c : e->commitString()) {
                QKeyEvent ke(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                Q_EMIT d_->q->KeyDown(0, 0);
                typeChar(c, &ke);
            }
            e->accept();
            d_->checkCaret();
            return;
        }
        QsciScintilla::inputMethodEvent(e);
    }

    void mousePressEvent(QMouseEvent *e) override
    {
        int button = 0;
        switch (e->button()) {
        case Qt::LeftButton: button = 1; break;
        case Qt::RightButton: button = 2; break;
        case Qt::MiddleButton: button = 4; break;
        default: break;
        }
        const QPoint p = e->position().toPoint();
        Q_EMIT d_->q->MouseDown(button, shiftBits(e->modifiers()), p.x(), p.y());
        if (e->button() != Qt::RightButton)
            QsciScintilla::mousePressEvent(e);
        else if (!hasFocus())
            setFocus(Qt::MouseFocusReason);
        d_->checkCaret();
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QsciScintilla::mouseReleaseEvent(e);
        d_->checkCaret();
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        QsciScintilla::mouseMoveEvent(e);
        if (e->buttons()) d_->checkCaret();
    }
    void contextMenuEvent(QContextMenuEvent *e) override { e->accept(); } // the window's own menu
    void focusInEvent(QFocusEvent *e) override
    {
        QsciScintilla::focusInEvent(e);
        Q_EMIT d_->q->GotFocus();
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        QsciScintilla::focusOutEvent(e);
        Q_EMIT d_->q->LostFocus();
    }
    void changeEvent(QEvent *e) override
    {
        QsciScintilla::changeEvent(e);
        if (e->type() == QEvent::ActivationChange && isActiveWindow() && hasFocus())
            Q_EMIT d_->q->Activate();
    }
    void paintEvent(QPaintEvent *e) override
    {
        QsciScintilla::paintEvent(e);
        drawHighGlyphs(e->rect());
        // The background handler draws after the text with "darken": the
        // paper's own colour leaves the text alone and its lines show only
        // where the text has not painted darker, as if drawn underneath.
        QPainter p(viewport());
        p.setCompositionMode(QPainter::CompositionMode_Darken);
        p.setClipRegion(e->region());
        bool handled = false;
        Q_EMIT d_->q->PaintBackground(&p, handled);
    }

private:
    void typeChar(QChar c, QKeyEvent *e)
    {
        int code = c.unicode();
        Q_EMIT d_->q->KeyPress(code);
        if (code == 0) return; // the handler swallowed it
        const int b = typedByte(QChar(char16_t(code)));
        if (b < 0) {
            QApplication::beep();
            return;
        }
        if ((b >= 0x80 && b <= 0x9F) || d_->rows) {
            // Scintilla drops these codes as unprintable, and a text shown
            // in rows is not Scintilla's to edit: put the byte in ourselves.
            insertByte(char(b));
            return;
        }
        // Scintilla in 8-bit mode takes the character's Latin-1 code as the byte.
        QKeyEvent ke(e->type(), e->key(), e->modifiers(), QString(QChar(char16_t(b))), e->isAutoRepeat(),
                     ushort(e->count()));
        QsciScintilla::keyPressEvent(&ke);
    }

    // Scintilla draws the bytes 0x80-0x9F as Latin-1 control codes, which no
    // font has glyphs for: the visible ones are drawn again with their
    // Windows-1252 glyphs.
    void drawHighGlyphs(const QRect &area)
    {
        const long first = SendScintilla(SCI_GETFIRSTVISIBLELINE);
        const long lines = SendScintilla(SCI_LINESONSCREEN) + 1;
        const long count = SendScintilla(SCI_GETLINECOUNT);
        const long from = SendScintilla(SCI_POSITIONFROMLINE, first);
        const long to = SendScintilla(SCI_GETLINEENDPOSITION, qMin(count - 1, first + lines));
        if (to <= from) return;
        const auto *p = reinterpret_cast<const unsigned char *>(SendScintilla(SCI_GETRANGEPOINTER, from, to - from));
        QPainter painter;
        const long selS = SendScintilla(SCI_GETSELECTIONSTART), selE = SendScintilla(SCI_GETSELECTIONEND);
        for (long i = 0; i < to - from; ++i) {
            const unsigned char b = p[i];
            if (b < 0x80 || b > 0x9F) continue;
            const QString glyph = bytesToDisplay(QByteArrayView(reinterpret_cast<const char *>(p + i), 1));
            if (glyph[0].unicode() == b) continue; // a hole of the code page
            const long pos = from + i;
            const int x = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, pos));
            const int x2 = int(SendScintilla(SCI_POINTXFROMPOSITION, 0UL, pos + 1));
            const int y = int(SendScintilla(SCI_POINTYFROMPOSITION, 0UL, pos));
            const int h = int(SendScintilla(SCI_TEXTHEIGHT, SendScintilla(SCI_LINEFROMPOSITION, pos)));
            const QRect cell(x, y, qMax(1, x2 - x), h);
            if (!cell.intersects(area) || x < d_->leftMargin) continue;
            if (!painter.isActive()) painter.begin(viewport());
            const int style = int(SendScintilla(SCI_GETSTYLEAT, pos)) & 0xFF;
            const bool selected = pos >= selS && pos < selE;
            // Scintilla's colours have red in the low byte, as the stored colours.
            painter.fillRect(cell, selected ? selectionBack : rkColor(int(SendScintilla(SCI_STYLEGETBACK, style))));
            QFont f(d_->font);
            f.setPointSize(d_->fontSize > 0 ? d_->fontSize : 10);
            f.setBold(SendScintilla(SCI_STYLEGETBOLD, style));
            f.setItalic(SendScintilla(SCI_STYLEGETITALIC, style));
            painter.setFont(f);
            painter.setPen(selected ? selectionFore : rkColor(int(SendScintilla(SCI_STYLEGETFORE, style))));
            painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, glyph);
        }
    }

public:
    QColor selectionBack, selectionFore;

private:
    void insertByte(char b)
    {
        if (d_->q->ReadOnly()) return;
        const long anchor = d_->send(SCI_GETANCHOR), caret = d_->send(SCI_GETCURRENTPOS);
        if (anchor == caret && d_->send(SCI_GETOVERTYPE)) {
            const long end = d_->send(SCI_GETLINEENDPOSITION, d_->send(SCI_LINEFROMPOSITION, caret));
            if (caret < end) d_->send(SCI_SETSEL, caret, caret + 1);
        }
        const char text[2] = {b, 0};
        d_->sendPtr(SCI_REPLACESEL, 0UL, text);
        d_->checkDirty();
    }

    Editor::Impl *d_;
};

}

// ----- Impl ------------------------------------------------------------------

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

long Editor::Impl::send(unsigned int msg, unsigned long w, long l) const
{
    if (changesTextMessage(msg)) ++generation;
    if (rows) return rowsSend(msg, w, l);
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
    return sci->SendScintilla(msg, w, p);
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
    case Sci::SCI_GETFIRSTVISIBLELINE: return lineOfRow(raw(msg));
    case Sci::SCI_SETFIRSTVISIBLELINE: return raw(msg, firstRow(long(w)));
    case Sci::SCI_GETREADONLY: return r.readOnly;
    case Sci::SCI_SETREADONLY: r.readOnly = w != 0; return 0;
    case Sci::SCI_SETUNDOCOLLECTION: return 0;
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
            e = s + ((r.text.at(s) == '\r' && s + 1 < length && r.text.at(s + 1) == '\n') ? 2L : 1L);
        if (e > s) {
            rowsReplace(s, e, {});
            raw(Sci::SCI_SETEMPTYSELECTION, map.shownAfter(s));
        }
        return 0;
    }
    default: return raw(msg, w, l);
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
    default: return sci->SendScintilla(msg, w, p);
    }
}

// Scintilla takes the text in rows: nothing to undo, nothing coloured.
void Editor::Impl::showInRows(const QByteArray &text, bool readOnly)
{
    auto r = std::make_unique<Rows>();
    r->text = text;
    r->readOnly = readOnly;
    rows.reset();
    raw(Sci::SCI_SETREADONLY, 0);
    raw(Sci::SCI_SETUNDOCOLLECTION, 0);
    raw(Sci::SCI_CLEARALL);
    plainStyles = true;
    // Room for the text and a break every row; the rows go in a piece at a time.
    raw(Sci::SCI_ALLOCATE, text.size() + text.size() / TextRows::kRowBytes + 1);
    r->map.layOut(text, [this](QByteArrayView piece) {
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
        Rows::Edit e{from, r.text.mid(from, to - from), keep};
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
                const long back = (s >= 2 && rows->text.at(s - 1) == '\n' && rows->text.at(s - 2) == '\r') ? 2 : 1;
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

void Editor::Impl::replaceRange(long from, long to, QByteArrayView bytes)
{
    const bool ro = send(Sci::SCI_GETREADONLY);
    if (ro) send(Sci::SCI_SETREADONLY, 0);
    send(Sci::SCI_SETTARGETSTART, from);
    send(Sci::SCI_SETTARGETEND, to);
    sendPtr(Sci::SCI_REPLACETARGET, bytes.size(), bytes.constData());
    if (ro) send(Sci::SCI_SETREADONLY, 1);
}

// Replaces from..to by `bytes`, leaving in place what the old and the new
// bytes share at their start and at their end: one replacement of the stretch
// that differs, so that undo and redo cost that stretch only. False when the
// bytes are the same as before (nothing is replaced).
bool Editor::Impl::replaceChanged(long from, long to, QByteArrayView bytes)
{
    const char *old = reinterpret_cast<const char *>(send(Sci::SCI_GETRANGEPOINTER, from, to - from));
    const char *nw = bytes.constData();
    const qsizetype oldLen = to - from, newLen = bytes.size();
    const qsizetype most = qMin(oldLen, newLen);
    // Compared a piece at a time first: a large text differs late, if at all.
    constexpr qsizetype kPiece = 4096;
    qsizetype pre = 0;
    while (pre + kPiece <= most && memcmp(old + pre, nw + pre, kPiece) == 0)
        pre += kPiece;
    while (pre < most && old[pre] == nw[pre])
        ++pre;
    if (pre == oldLen && pre == newLen)
        return false;
    qsizetype suf = 0;
    while (suf + kPiece <= most - pre && memcmp(old + oldLen - suf - kPiece, nw + newLen - suf - kPiece, kPiece) == 0)
        suf += kPiece;
    while (suf < most - pre && old[oldLen - 1 - suf] == nw[newLen - 1 - suf])
        ++suf;
    replaceInPieces(from + long(pre), to - long(suf), bytes.sliced(pre, newLen - pre - suf));
    return true;
}

// Replaces from..to by `bytes` as one undo step, a piece at a time when the
// change is large; the window's events may run between pieces, with the view
// not painted until the last piece is in.
void Editor::Impl::replaceInPieces(long from, long to, QByteArrayView bytes)
{
    const qsizetype piece = gPieceBytes;
    if (rows || (to - from <= piece && bytes.size() <= piece)) {
        // The shown rows are rewritten whole at each change: one change.
        replaceRange(from, to, bytes);
        return;
    }
    // Each piece moves the caret, the anchor and the top line only as far as
    // its own stretch: where they stood is noted, and afterwards they go where
    // one replacement of the whole stretch puts them.
    const long caret = send(Sci::SCI_GETCURRENTPOS), anchor = send(Sci::SCI_GETANCHOR);
    const long top = send(Sci::SCI_GETFIRSTVISIBLELINE);
    const long topStart = send(Sci::SCI_POSITIONFROMLINE, top);
    const long linesGone = send(Sci::SCI_LINEFROMPOSITION, to) - send(Sci::SCI_LINEFROMPOSITION, from);
    QWidget *view = sci->viewport();
    const bool painting = view->updatesEnabled();
    view->setUpdatesEnabled(false);
    send(Sci::SCI_BEGINUNDOACTION);
    {
        const auto close = qScopeGuard([&] {
            send(Sci::SCI_ENDUNDOACTION);
            view->setUpdatesEnabled(painting);
        });
        long at = from;
        qsizetype oldLeft = to - from, done = 0;
        while (oldLeft > 0 || done < bytes.size()) {
            const qsizetype take = qMin(piece, bytes.size() - done);
            // The last new piece takes what is left of the old stretch.
            const qsizetype drop = done + take == bytes.size() ? oldLeft : qMin(piece, oldLeft);
            replaceRange(at, at + long(drop), bytes.sliced(done, take));
            at += long(take);
            done += take;
            oldLeft -= drop;
            const quint64 mine = generation;
            serveLongWork();
            checkUnchanged(mine);
        }
    }
    const long grown = long(bytes.size()) - (to - from);
    const auto moved = [&](long pos) { return pos <= from ? pos : pos <= to ? from : pos + grown; };
    select(moved(anchor), moved(caret));
    // A change that starts above the top line moves it by the lines it takes
    // away, and then by the lines it brings when it still starts above it.
    long newTop = top;
    if (from < topStart)
        newTop = qMax(0L, newTop - linesGone);
    if (from < send(Sci::SCI_POSITIONFROMLINE, newTop))
        newTop += long(lineEndsIn(bytes));
    if (newTop != send(Sci::SCI_GETFIRSTVISIBLELINE))
        send(Sci::SCI_SETFIRSTVISIBLELINE, newTop);
}

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

// Sets the selection without scrolling. Scintilla's own way of setting it
// copies the selected text for the display's primary selection byte by byte,
// and then once more, for every selection it sets: a whole large program that
// way costs a tenth of a second each time. Here the bytes are copied once, and
// not at all when the selection stays as it is.
void Editor::Impl::select(long anchor, long caret)
{
    if (send(Sci::SCI_GETANCHOR) == anchor && send(Sci::SCI_GETCURRENTPOS) == caret)
        return;
    send(Sci::SCI_SETSELECTION, caret, anchor);
    if (anchor == caret)
        return;
    QClipboard *clipboard = QApplication::clipboard();
    if (!clipboard || !clipboard->supportsSelection())
        return;
    // What is selected in the editor when another window asks for it, as
    // the display's primary selection is meant; once the selection is gone,
    // the stretch that was selected last.
    const QPointer<QsciScintilla> view(sci);
    const long first = qMin(anchor, caret), last = qMax(anchor, caret);
    clipboard->setMimeData(new detail::BytesMimeData([view, first, last]() -> QByteArray {
                               if (!view) return {};
                               long from = long(view->SendScintilla(Sci::SCI_GETSELECTIONSTART));
                               long to = long(view->SendScintilla(Sci::SCI_GETSELECTIONEND));
                               if (to <= from) {
                                   from = first;
                                   to = qMin(last, long(view->SendScintilla(Sci::SCI_GETLENGTH)));
                               }
                               if (to <= from) return {};
                               const auto *p = reinterpret_cast<const char *>(
                                   view->SendScintilla(Sci::SCI_GETRANGEPOINTER, from, to - from));
                               return QByteArray(p, to - from);
                           }),
                           QClipboard::Selection);
}

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
    raw(Sci::SCI_SETINDICATORCURRENT, kStyledIndicator);
    raw(Sci::SCI_INDICATORFILLRANGE, from, to - from);
}

// The part of from..to outside of which every character is in style 0.
std::pair<long, long> Editor::Impl::styledStretch(long from, long to) const
{
    if (plainStyles) return {from, from};
    if (rows) return {from, to}; // the shown rows carry no marks
    long first = -1, last = from;
    for (long p = from; p < to;) {
        const long e = qMin(to, long(raw(Sci::SCI_INDICATOREND, kStyledIndicator, p)));
        if (raw(Sci::SCI_INDICATORVALUEAT, kStyledIndicator, p)) {
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
            raw(Sci::SCI_SETINDICATORCURRENT, kStyledIndicator);
            raw(Sci::SCI_INDICATORCLEARRANGE, from, to - from);
        }
    }
    plainStyles = true;
}

void Editor::Impl::checkCaret()
{
    if (!redraw) return;
    const long pos = send(Sci::SCI_GETCURRENTPOS);
    if (pos != lastCaret) {
        lastCaret = pos;
        Q_EMIT q->CaretMoved();
    }
}

void Editor::Impl::checkDirty()
{
    if (!redraw) return;
    const bool dirty = forcedDirty || send(Sci::SCI_GETMODIFY);
    if (dirty != lastDirty) {
        lastDirty = dirty;
        Q_EMIT q->ModifiedChanged();
    }
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
    const ByteSearch search(q->SearchTarget, {q->SearchCaseSensitive, q->SearchWholeWordsOnly});
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
    const QByteArray bytes = spliceReplacements(wholeText(), start, end, hits, length, replacement);

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
        newStyles.reserve(bytes.size());
        qsizetype at = start;
        for (qsizetype p : hits) {
            if (p >= upto) break;
            newStyles.append(styles.constData() + (at - start), p - at);
            newStyles.append(replacement.size(), styles.at(p - start));
            at = p + length;
        }
        if (at < upto) newStyles.append(styles.constData() + (at - start), upto - at);
    }
    replaceInPieces(start, end, bytes);
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
    return start + long(bytes.size());
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

// ----- Editor ----------------------------------------------------------------

namespace {

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

// The menus' keys (key code and modifiers, as QKeySequence gives them).
QList<int> &menuKeys()
{
    static QList<int> keys;
    return keys;
}

// Everything else of Scintilla's own key map goes (see isEditingKey).
void keepOnlyEditingKeys(QsciScintilla *sci)
{
    for (QsciCommand *c : sci->standardCommands()->commands()) {
        if (c->key() && !Editor::isEditingKey(c->key()))
            c->setKey(0);
        if (c->alternateKey() && !Editor::isEditingKey(c->alternateKey()))
            c->setAlternateKey(0);
    }
}

// Scintilla's key map takes a key before the menus do: a key that a menu
// uses is taken out of it.
void giveUpMenuKeys(QsciScintilla *sci)
{
    const QList<int> &keys = menuKeys();
    for (QsciCommand *c : sci->standardCommands()->commands()) {
        if (c->key() && keys.contains(c->key()))
            c->setKey(0);
        if (c->alternateKey() && keys.contains(c->alternateKey()))
            c->setAlternateKey(0);
    }
}

}

bool Editor::isEditingKey(int combinedKey)
{
    const int key = combinedKey & ~int(Qt::KeyboardModifierMask);
    const Qt::KeyboardModifiers mods = Qt::KeyboardModifiers(combinedKey & int(Qt::KeyboardModifierMask));
    const Qt::KeyboardModifiers withoutShift = mods & ~Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
    case Qt::Key_Home: case Qt::Key_End:
        return withoutShift == Qt::NoModifier || withoutShift == Qt::ControlModifier;
    case Qt::Key_PageUp: case Qt::Key_PageDown:
        return withoutShift == Qt::NoModifier;
    case Qt::Key_Delete: case Qt::Key_Backspace: case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Tab:
        return mods == Qt::NoModifier;
    case Qt::Key_Insert:
        return mods == Qt::ShiftModifier || mods == Qt::ControlModifier;
    case Qt::Key_Z: // the Edit menu's undo, which the editor alone does too
    case Qt::Key_Y: // and its redo: an undo made by mistake can be taken back
        return mods == Qt::ControlModifier;
    default:
        return false;
    }
}

QList<int> Editor::componentDefaultKeys()
{
    QsciScintilla plain;
    QList<int> keys;
    for (QsciCommand *c : plain.standardCommands()->commands())
        for (int k : {c->key(), c->alternateKey()})
            if (k && !keys.contains(k))
                keys << k;
    return keys;
}

void Editor::releaseKeys(const QList<QKeySequence> &keys)
{
    for (const QKeySequence &k : keys)
        if (!k.isEmpty() && !menuKeys().contains(k[0].toCombined()))
            menuKeys() << k[0].toCombined();
    for (QWidget *w : QApplication::allWidgets())
        if (auto *e = qobject_cast<Editor *>(w))
            giveUpMenuKeys(e->d->sci);
}

Editor::Editor(QWidget *parent) : QWidget(parent), d(new Impl)
{
    d->q = this;
    d->sci = new SciView(d, this);
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
    keepOnlyEditingKeys(d->sci);
    // The Insert key belongs to the document window (one insert mode for all).
    d->send(Sci::SCI_CLEARCMDKEY, Sci::SCK_INSERT);
    d->send(Sci::SCI_CLEARCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_SHIFT << 16));
    d->send(Sci::SCI_ASSIGNCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_SHIFT << 16), Sci::SCI_PASTE);
    d->send(Sci::SCI_ASSIGNCMDKEY, Sci::SCK_INSERT | (Sci::SCMOD_CTRL << 16), Sci::SCI_COPY);
    giveUpMenuKeys(d->sci);
    d->applyBaseLook();
    // Selection colours of our own, so that the glyphs drawn over Scintilla's
    // text match them.
    d->sci->selectionBack = d->sci->palette().color(QPalette::Highlight);
    d->sci->selectionFore = d->sci->palette().color(QPalette::HighlightedText);
    d->send(Sci::SCI_SETSELBACK, 1, rkColorValue(d->sci->selectionBack));
    d->send(Sci::SCI_SETSELFORE, 1, rkColorValue(d->sci->selectionFore));

    connect(d->sci, &QsciScintillaBase::SCN_SAVEPOINTLEFT, this, [this] { d->checkDirty(); });
    connect(d->sci, &QsciScintillaBase::SCN_SAVEPOINTREACHED, this, [this] { d->checkDirty(); });
    connect(d->sci, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) { d->checkCaret(); });
    d->lastCaret = 0;
}

Editor::~Editor()
{
    // The view goes first: its last focus and paint events still reach d.
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
        QByteArray ins = withLineEnds(bytes, d->textType);
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
{ d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    const char *p = reinterpret_cast<const char *>(d->send(Sci::SCI_GETCHARACTERPOINTER));
    return convertLineEnds(QByteArrayView(p, n), d->textType);
}

void Editor::setTextAll(const QByteArray &bytes)
{ d->flush();
    if (!d->rows && TextRows::needed(bytes)) {
        // A line too long to lay out: shown in rows from now on, this change
        // the first step of their undo (what Scintilla could undo goes).
        const QByteArray old = d->wholeText().toByteArray();
        const bool dirty = IsDirty();
        d->showInRows(bytes, ReadOnly());
        d->rows->undo.push_back({{0, old, bytes}});
        d->rows->savePoint = dirty ? -1 : 0;
        d->textIndex = 1;
        d->checkDirty();
        d->checkCaret();
        return;
    }
    // Only the stretch that differs is replaced (one change); the same text
    // keeps the caret, the undo and the dirty state. The attributes go.
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
qint64 Editor::CountBytes() const { d->flush(); return d->send(Sci::SCI_GETLENGTH); }

QByteArrayView Editor::textView() const
{ d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    return QByteArrayView(reinterpret_cast<const char *>(d->send(Sci::SCI_GETCHARACTERPOINTER)), n);
}

QByteArrayView Editor::lineView(int line) const
{ d->flush();
    d->checkLine(line);
    const long s = d->lineStart(line), e = d->lineEnd(line);
    if (e <= s) return {};
    return QByteArrayView(reinterpret_cast<const char *>(d->send(Sci::SCI_GETRANGEPOINTER, s, e - s)), e - s);
}

void Editor::setPieceBytesForTests(qsizetype bytes) { gPieceBytes = bytes > 0 ? bytes : kPieceBytes; }

int Editor::rewriteLines(const LineRule &rule, const std::function<bool(int line)> &goOn)
{ d->flush();
    // The lines are read in place and their line ends (CR LF, LF or a lone
    // CR, as Scintilla counts them) are copied as they are. A piece of lines
    // is rewritten and goes into the text before the next piece is read:
    // Scintilla's gap then stands where the next piece starts, so reading it
    // in place moves nothing.
    const Impl::Places at = d->places();
    const qsizetype piece = d->rows ? std::numeric_limits<qsizetype>::max() / 2 : gPieceBytes;
    QByteArray out;
    bool changed = false, grouped = false;
    int line = 0;
    long from = 0; // where the piece starts in the text as it is now
    quint64 mine = d->generation;
    const auto ungroup = qScopeGuard([&] {
        if (grouped) d->send(Sci::SCI_ENDUNDOACTION);
    });
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
                text = view(); // waiting let events run: the bytes may have moved
        }
        if (!grouped && !(last && from == 0)) {
            // More than one piece: all of them one undo step.
            d->send(Sci::SCI_BEGINUNDOACTION);
            grouped = true;
        }
        d->checkUnchanged(mine);
        changed |= d->replaceChanged(from, from + long(pos), out);
        from += long(out.size());
        mine = d->generation;
        if (!last && !stopped) {
            serveLongWork();
            d->checkUnchanged(mine);
        }
    }
    if (grouped) {
        grouped = false;
        d->send(Sci::SCI_ENDUNDOACTION);
    }
    if (changed)
        d->restorePlaces(at);
    d->textIndex = qBound(1, line, Count());
    d->checkDirty();
    d->checkCaret();
    return line;
}

quint64 Editor::editGeneration() const { return d->generation; }

void Editor::beginUndoAction() { d->flush(); d->send(Sci::SCI_BEGINUNDOACTION); }
void Editor::endUndoAction() { d->flush(); d->send(Sci::SCI_ENDUNDOACTION); }
void Editor::emptyUndoBuffer() { d->flush(); d->send(Sci::SCI_EMPTYUNDOBUFFER); }

int Editor::CaretX() const
{ d->flush();
    const long pos = d->send(Sci::SCI_GETCURRENTPOS);
    const long line = d->send(Sci::SCI_LINEFROMPOSITION, pos);
    return int(pos - d->send(Sci::SCI_POSITIONFROMLINE, line)) + 1;
}

int Editor::CaretY() const
{ d->flush();
    return int(d->send(Sci::SCI_LINEFROMPOSITION, d->send(Sci::SCI_GETCURRENTPOS))) + 1;
}

void Editor::setCaret(int x, int y)
{ d->flush();
    d->send(Sci::SCI_GOTOPOS, d->posOf(x, y));
    d->checkCaret();
}

int Editor::SelMark() const
{ d->flush();
    const long a = d->send(Sci::SCI_GETANCHOR), c = d->send(Sci::SCI_GETCURRENTPOS);
    if (a != c) return d->selMark ? d->selMark : 1;
    if (d->selMark && a == d->markAnchor && c == d->markCaret) return d->selMark;
    return 0;
}

void Editor::setSelMark(int mark)
{ d->flush();
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
{ d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    d->select(qBound(0L, long(anchor), n), qBound(0L, long(caret), n));
    d->checkCaret();
}

QByteArray Editor::SelText() const
{ d->flush();
    return d->range(d->send(Sci::SCI_GETSELECTIONSTART), d->send(Sci::SCI_GETSELECTIONEND));
}

void Editor::setSelText(const QByteArray &bytes)
{ d->flush();
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

void Editor::setCharacterForeColor(const QColor &c)
{ d->flush();
    d->restyleSelection([&](StyleKey &k) {
        k.hasColor = true;
        k.color = c.rgb();
    });
}

void Editor::setCharacterBold(bool on)
{ d->flush();
    d->restyleSelection([&](StyleKey &k) { k.bold = on; });
}

void Editor::setCharacterItalic(bool on)
{ d->flush();
    d->restyleSelection([&](StyleKey &k) { k.italic = on; });
}

QColor Editor::characterForeColorAt(int line, int column) const
{ d->flush();
    d->checkLine(line);
    const int s = int(d->send(Sci::SCI_GETSTYLEAT, d->posOf(column, line))) & 0xFF;
    if (s == 0 || !d->keys[s].hasColor) return d->fore;
    return QColor::fromRgb(d->keys[s].color);
}

bool Editor::characterBoldAt(int line, int column) const
{ d->flush();
    d->checkLine(line);
    const int s = int(d->send(Sci::SCI_GETSTYLEAT, d->posOf(column, line))) & 0xFF;
    return s != 0 && d->keys[s].bold;
}

bool Editor::characterItalicAt(int line, int column) const
{ d->flush();
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
{ d->flush();
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

qint64 Editor::lineOffset(int line) const
{ d->flush();
    if (line == Count() + 1)
        return d->send(Sci::SCI_GETLENGTH);
    d->checkLine(line);
    return d->lineStart(line);
}

int Editor::lineOfOffset(qint64 offset) const
{ d->flush();
    const long n = d->send(Sci::SCI_GETLENGTH);
    return int(d->send(Sci::SCI_LINEFROMPOSITION, long(qBound<qint64>(0, offset, qint64(n))))) + 1;
}

void Editor::FileLoad(const QString &path)
{
    // The file's lines get the line ends of TextType; nothing else changes.
    const QByteArray data = withLineEnds(readFileBytes(path), d->textType);
    d->dropPending(); // the whole text is replaced
    const bool ro = d->send(Sci::SCI_GETREADONLY);
    if (TextRows::needed(data)) {
        // A line too long to lay out: Scintilla shows the text in rows.
        d->showInRows(data, ro);
    } else {
        d->rows.reset(); // Scintilla holds the text itself again
        d->raw(Sci::SCI_SETREADONLY, 0);
        // No undo record of the load: it would hold a second copy of the file.
        d->send(Sci::SCI_SETUNDOCOLLECTION, 0);
        d->send(Sci::SCI_CLEARALL);
        d->plainStyles = true; // the new text comes in style 0
        d->send(Sci::SCI_ALLOCATE, data.size() + 1);
        d->sendPtr(Sci::SCI_ADDTEXT, data.size(), data.constData());
        d->send(Sci::SCI_EMPTYUNDOBUFFER);
        d->send(Sci::SCI_SETUNDOCOLLECTION, 1);
        if (ro) d->send(Sci::SCI_SETREADONLY, 1);
    }
    d->clearStyles();
    d->send(Sci::SCI_GOTOPOS, 0);
    d->send(Sci::SCI_SETSAVEPOINT);
    d->forcedDirty = false;
    d->textIndex = 1;
    d->selMark = 0;
    d->checkDirty();
    d->checkCaret();
}

void Editor::FileSave(const QString &path)
{
    // Written beside the old file and renamed over it: a failed write leaves
    // the old file as it was. The old file's permissions carry over.
    writeFileAtomic(path, TextAll());
}

void Editor::FileInsert(const QString &path)
{ d->flush();
    const QByteArray data = withLineEnds(readFileBytes(path), d->textType);
    const long pos = d->send(Sci::SCI_GETCURRENTPOS);
    d->replaceRange(pos, pos, data);
    d->checkDirty();
}

int Editor::TextType() const { return d->textType; }

void Editor::setTextType(int type)
{
    d->textType = (type == 2) ? 2 : 1;
    d->send(Sci::SCI_SETEOLMODE, d->textType == 2 ? Sci::SC_EOL_LF : Sci::SC_EOL_CRLF);
}

bool Editor::IsDirty() const { return d->pendingActive || d->forcedDirty || d->send(Sci::SCI_GETMODIFY); }

void Editor::setIsDirty(bool dirty)
{
    d->flush();
    d->forcedDirty = dirty;
    if (!dirty) d->send(Sci::SCI_SETSAVEPOINT);
    if (d->redraw) {
        if (dirty != d->lastDirty) {
            d->lastDirty = dirty;
            Q_EMIT ModifiedChanged();
        } else if (dirty) {
            Q_EMIT ModifiedChanged(); // raised on every write of True
        }
    }
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
        if (!ReadOnly()) d->send(Sci::SCI_UNDO);
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
        const ByteSearch search(SearchTarget, {SearchCaseSensitive, SearchWholeWordsOnly});
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
