// The editor's key map: which of Scintilla's own keys stay, the keys the
// menus take, and the key codes the editor's key events carry.
#include "documents/editor_impl.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>

namespace lumrik {

namespace {

// The menus' keys (key code and modifiers, as QKeySequence gives them).
QList<int> &menuKeys()
{
    static QList<int> keys;
    return keys;
}

}

namespace detail {

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
            detail::giveUpMenuKeys(e->d->sci);
}

}
