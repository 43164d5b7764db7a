// The editor's Scintilla widget: keys, input methods, mouse, focus and the
// glyphs of the bytes 0x80-0x9F.
#include "documents/editor_impl.h"

#include "core/codepage.h"
#include "core/progress.h"
#include "core/services.h"

#include <QApplication>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace lumrik {

namespace {

// The bytes a typed character stands for in the text's encoding; none when
// the encoding has no such character.
QByteArray typedBytes(QChar c, TextEncoding encoding)
{
    if (!firstUnencodable(QString(c), encoding).isNull()) return {};
    return encodeText(QString(c), encoding);
}

}

namespace detail {

bool SciView::changesText(QEvent::Type t)
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

bool SciView::mayEdit(QEvent::Type t)
{
    return t == QEvent::KeyPress || t == QEvent::InputMethod || t == QEvent::Drop
           || t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease;
}

// A drop that is not text for Scintilla (files to open, or anything while
// long work is under way: refused) leaves the text alone.
bool SciView::leavesText(QEvent *e)
{
    return e->type() == QEvent::Drop
           && (LongWork::underWay() || !localFilesOf(static_cast<QDropEvent *>(e)->mimeData()).isEmpty());
}

bool SciView::event(QEvent *e)
{
    if (!leavesText(e)) {
        if (changesText(e->type())) d_->flush();
        if (mayEdit(e->type())) ++d_->generation;
    }
    return QsciScintilla::event(e);
}

bool SciView::viewportEvent(QEvent *e)
{
    if (!leavesText(e)) {
        if (changesText(e->type())) d_->flush();
        if (mayEdit(e->type())) ++d_->generation;
    }
    return QsciScintilla::viewportEvent(e);
}

void SciView::keyPressEvent(QKeyEvent *e)
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
        d_->givePlacesBack(); // after Ctrl+Z and Ctrl+Y
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
    d_->givePlacesBack(); // after Ctrl+Z and Ctrl+Y
    d_->checkCaret();
}

void SciView::inputMethodEvent(QInputMethodEvent *e)
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

void SciView::mousePressEvent(QMouseEvent *e)
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

void SciView::mouseReleaseEvent(QMouseEvent *e)
{
    QsciScintilla::mouseReleaseEvent(e);
    d_->checkCaret();
}

void SciView::mouseMoveEvent(QMouseEvent *e)
{
    QsciScintilla::mouseMoveEvent(e);
    if (e->buttons()) d_->checkCaret();
}

void SciView::focusInEvent(QFocusEvent *e)
{
    QsciScintilla::focusInEvent(e);
    Q_EMIT d_->q->GotFocus();
}

void SciView::focusOutEvent(QFocusEvent *e)
{
    QsciScintilla::focusOutEvent(e);
    Q_EMIT d_->q->LostFocus();
}

void SciView::changeEvent(QEvent *e)
{
    QsciScintilla::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && hasFocus())
        Q_EMIT d_->q->Activate();
}

void SciView::paintEvent(QPaintEvent *e)
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

void SciView::typeChar(QChar c, QKeyEvent *e)
{
    int code = c.unicode();
    Q_EMIT d_->q->KeyPress(code);
    if (code == 0) return; // the handler swallowed it
    const QChar typed{char16_t(code)};
    const QByteArray bytes = typedBytes(typed, d_->encoding());
    if (bytes.isEmpty()) {
        refuseCharacter();
        return;
    }
    const auto b = static_cast<unsigned char>(bytes[0]);
    const bool utf8 = d_->utf8();
    if ((!utf8 && b >= 0x80 && b <= 0x9F) || d_->rows) {
        // Scintilla drops these codes as unprintable, and a text shown
        // in rows is not Scintilla's to edit: put the bytes in ourselves.
        insertBytes(bytes);
        return;
    }
    // Scintilla in its UTF-8 code page writes the character as UTF-8; in
    // 8-bit mode it takes the character's Latin-1 code as the byte.
    QKeyEvent ke(e->type(), e->key(), e->modifiers(), utf8 ? QString(typed) : QString(QChar(char16_t(b))),
                 e->isAutoRepeat(), ushort(e->count()));
    QsciScintilla::keyPressEvent(&ke);
}

void SciView::refuseCharacter() { QApplication::beep(); }

bool SciView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && source->hasText() && d_->doc().firstUnencodable(source->text()).isNull();
}

// Scintilla draws the bytes 0x80-0x9F as Latin-1 control codes, which no
// font has glyphs for: the visible ones are drawn again with their
// Windows-1252 glyphs.
void SciView::drawHighGlyphs(const QRect &area)
{
    if (SendScintilla(SCI_GETCODEPAGE) == SC_CP_UTF8) return; // Scintilla draws UTF-8 itself
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

void SciView::insertBytes(const QByteArray &bytes)
{
    if (d_->q->ReadOnly()) return;
    const long anchor = d_->send(SCI_GETANCHOR), caret = d_->send(SCI_GETCURRENTPOS);
    if (anchor == caret && d_->send(SCI_GETOVERTYPE)) {
        // Overtyping replaces the character at the caret: in UTF-8 all of its bytes.
        const long end = d_->send(SCI_GETLINEENDPOSITION, d_->send(SCI_LINEFROMPOSITION, caret));
        long next = caret + 1;
        if (caret < end && d_->utf8()) {
            const auto lead = static_cast<unsigned char>(d_->wholeText()[caret]);
            next = qMin(end, caret + long(utf8SequenceLength(lead)));
        }
        if (caret < end) d_->send(SCI_SETSEL, caret, next);
    }
    d_->sendPtr(SCI_REPLACESEL, 0UL, bytes.constData());
    d_->checkDirty();
}

}

}
