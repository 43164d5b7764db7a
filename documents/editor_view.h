#pragma once
// The Scintilla widget of the editor adapter (documents/editor.h): its keys,
// mouse, focus and painting (editor_view.cpp) and its clipboard
// (editor_clipboard.cpp). Only the editor's own files include this.
#include "documents/editor.h"

#include <Qsci/qsciscintilla.h>

#include <QColor>
#include <QContextMenuEvent>
#include <QMimeData>

namespace lumrik::detail {

// The Scintilla widget with the text-as-bytes rules: clipboard and drops are
// converted between display text and bytes, and typed characters go through
// the owner's key events.

class SciView : public QsciScintilla {
public:
    explicit SciView(Editor::Impl *d, QWidget *parent) : QsciScintilla(parent), d_(d) {}

    // Copy and cut of the selected bytes as display text (Scintilla's own
    // copy does not carry every byte value).

    bool copyBytes();
    void pasteBytes();
    void cutBytes();

    QColor selectionBack, selectionFore;

protected:
    QByteArray fromMimeData(const QMimeData *source, bool &rectangular) const override;
    QMimeData *toMimeData(const QByteArray &text, bool rectangular) const override;
    // Text with a character the program's encoding cannot hold is not taken
    // (drops of it are refused while they are dragged).
    bool canInsertFromMimeData(const QMimeData *source) const override;

    static bool changesText(QEvent::Type t);
    // Events with which the component may change the text by itself.
    static bool mayEdit(QEvent::Type t);
    static bool leavesText(QEvent *e);
    bool event(QEvent *e) override;
    bool viewportEvent(QEvent *e) override;

    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override { e->accept(); } // the window's own menu
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void changeEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    // A list of files is taken as files to open (FilesDropped), not as text;
    // text is not dropped into a program while long work is under way.
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void typeChar(QChar c, QKeyEvent *e);
    // What a character the encoding cannot hold gets, typed, pasted or dropped.
    static void refuseCharacter();
    // Paints over what Scintilla shows, in the shown text's own positions:
    // the one place that speaks to Scintilla without the text store.
    void drawHighGlyphs(const QRect &area);
    void insertBytes(const QByteArray &bytes);

    Editor::Impl *d_;
};

}
