#pragma once
// The editor component of a document window: an adapter over QsciScintilla.
// The text is bytes: a file's bytes are the document's bytes, shown, typed and
// searched in the text's encoding (UTF-8 or Windows-1252, see encoding()). Lines
// and columns count from 1; an end column is exclusive. The rest of the program
// talks to this class only, never to Scintilla directly. A text holding a line
// too long for Scintilla to lay out is shown in rows (documents/textrows.h);
// every member still speaks of the text itself.
//
// The editor is a view: the text, its undo and its changed state belong to
// the program it shows (documents/programdocument.h), which outlives it and
// may be shown by other editors at the same time. An editor made without one
// makes a program of its own.
#include "core/codepage.h"
#include "core/ncdocument.h"
#include "documents/programdocument.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QMimeData;
class QPainter;

namespace lumrik {

namespace detail { class SciView; struct DocumentStore; }

// The local files a drop carries (its URLs that name local files), in order.
QStringList localFilesOf(const QMimeData *md);

class Editor : public QWidget {
    Q_OBJECT
public:
    explicit Editor(QWidget *parent = nullptr);
    // A view of `document`, which must outlive it or let it go first.
    explicit Editor(ProgramDocument *document, QWidget *parent = nullptr);
    ~Editor() override;

    // The program shown. setDocument shows another one (nullptr: a new empty
    // program of the editor's own); the one shown before keeps its text.
    ProgramDocument *program() const;
    void setDocument(ProgramDocument *document);

    // Keys that the program's menus use: every editor, those that exist and
    // those made later, leaves them to the menus instead of its own key map.
    static void releaseKeys(const QList<QKeySequence> &keys);
    // For tests: the size of the pieces in which large changes go into the
    // text (0 gives the usual size back).
    static void setPieceBytesForTests(qsizetype bytes);
    // The size of those pieces.
    static qsizetype pieceBytes();
    // The editing keys the editor keeps of its component's own key map:
    // arrows, Home/End, Page Up/Down, Ctrl with arrows and Home/End, Shift
    // with any of these, Delete, Backspace, Return and Tab (Insert is the
    // document window's; Shift+Insert pastes, Ctrl+Insert copies), and
    // Ctrl+Z and Ctrl+Y (undo, the Edit menu's key, and redo). Every other binding of the component is taken
    // out, so that no key changes the text or the clipboard unless a menu
    // command (Ctrl+X, Ctrl+C, Ctrl+V) or this list says so.
    static bool isEditingKey(int combinedKey);
    // Every key of the component's own default key map.
    static QList<int> componentDefaultKeys();

    // Lines. A line outside 1..Count() throws RkError (subscript out of range).
    int Count() const;
    int TextIndex() const;
    void setTextIndex(int line);          // never moves the caret or the selection
    QByteArray Text() const;              // line TextIndex, without its line end
    // Replaces line TextIndex; with InsertMode on, inserts the bytes before it
    // instead (CR LF in them splits lines).
    void setText(const QByteArray &bytes);
    QByteArray TextAll() const;           // lines joined with the line end of TextType
    void setTextAll(const QByteArray &bytes); // also clears character attributes
    qint64 TextLength() const;
    // Characters of the text: in a UTF-8 program a character of several bytes
    // counts once (TextLength counts bytes). The byte-order mark is no
    // character of the text.
    qint64 CountBytes() const;

    // Read-only views of the text's own bytes, without a copy: valid until the
    // text changes or the next view is taken. The whole text keeps its line
    // ends as they are in the document; a line is without its line end.
    QByteArrayView textView() const;
    QByteArrayView lineView(int line) const;
    // Rewrites the lines from the first on, in order, as one undo step. The
    // lines go into the text a piece (about a megabyte) at a time, each piece
    // as one replacement of the stretch that changed in it, all in one go:
    // the event loop does not run between pieces.
    // `rule` gets each line's bytes (read in place, without its line end) and
    // number and gives its new bytes, without line ends; the line ends stay as
    // they are. After each line but the last `goOn` (when given) is asked and
    // stops the pass by returning false: the lines done are rewritten and the
    // rest is left as it is. Also in a read-only editor. The caret, the anchor
    // and the top line keep their lines and columns, TextIndex stands on the
    // line the last line done is on now. Returns the number of lines done.
    // A line is what Scintilla counts as one: it ends in CR LF, LF or a lone
    // CR. A line the rule empties between a lone CR and an LF leaves the two
    // side by side, one CR LF: the bytes are the rule's, and the lines after
    // the pass one fewer. Undo and redo of the pass put the caret, the
    // selection and the top line back where they stood before and after it.
    // When the text changes under the rewrite while it asks `goOn` (anything
    // but the rewrite itself), it stops with RkError
    // instead of writing where the text no longer is; the pieces written
    // before stay, in the one undo step.
    using LineRule = std::function<QByteArray(QByteArrayView line, int lineNo)>;
    int rewriteLines(const LineRule &rule, const std::function<bool(int line)> &goOn = {});

    // The same rewrite in two halves side by side, for a rule that runs on
    // another thread while the window goes on: rewriteTextInPieces makes of a
    // copy of textView() what rewriteLines would make of the text (on any
    // thread; `goOn` as there), a piece of whole lines (about half a piece of
    // the old text) at a time, as soon as the piece is made, and a
    // PieceRewrite puts each piece into the text as it comes, as one undo
    // step, while the rule goes on with the next. The window's events run
    // between the pieces from the event loop itself. After a stop by `goOn`
    // the last piece ends with the last line done: the rest of the text stays
    // as it is. The caret, the anchor, the top line, TextIndex and undo and
    // redo end as after rewriteLines.
    struct RewrittenPiece {
        qsizetype oldBytes = 0; // the bytes of the old text the piece replaces
        QByteArray text;        // their new bytes
        int lines = 0;          // the lines done so far
        qint64 lastStart = 0;   // where the last line done starts in the whole new text
        bool last = false;      // no piece follows
    };
    static void rewriteTextInPieces(QByteArrayView text, const LineRule &rule,
                                    const std::function<bool(int line)> &goOn,
                                    const std::function<void(RewrittenPiece)> &take);
    class PieceWriter;
    class PieceRewrite {
    public:
        // The pieces will be made from the text as it is now.
        explicit PieceRewrite(Editor *editor);
        // One left unfinished keeps what is in, in its one undo step.
        ~PieceRewrite();
        PieceRewrite(const PieceRewrite &) = delete;
        PieceRewrite &operator=(const PieceRewrite &) = delete;
        // Puts the next piece in, in order; after the last one the places are
        // set. Throws RkError when the text was changed by anything else since
        // the last piece (nothing more is written then).
        void put(const RewrittenPiece &piece);
        int lines() const { return lines_; }

    private:
        Editor *ed_;
        QByteArray rows_;  // shown in rows: the pieces go in together at the end
        long from_ = 0;    // where the next piece goes in the text as it is now
        int lines_ = 0;
        bool changed_ = false, open_ = false;
        quint64 mine_ = 0;
        struct At { long caretLine, caretColumn, anchorLine, anchorColumn, top; } at_{};
    };
    // A number that changes with every change of the text.
    quint64 editGeneration() const;

    // Undo. Changes between begin and end undo as one step (pairs may nest);
    // undoing it puts the caret, the selection and the top line back where
    // they stood at begin, redoing it where they stood at end.
    void beginUndoAction();
    void endUndoAction();
    // Forgets every change so far: nothing to undo back to.
    void emptyUndoBuffer();

    // Caret and selection (columns from 1).
    int CaretX() const;                   // in bytes, as setCaret takes it
    int CaretY() const;
    // The caret's column counted in characters (from 1): in a UTF-8 program
    // a character of several bytes is one column.
    int caretColumn() const;
    void setCaret(int x, int y);
    int SelMark() const;                  // 0 none
    void setSelMark(int mark);            // 0 clears the selection; 1 starts one at the caret
    int SelStartX() const;
    int SelStartY() const;
    int SelEndX() const;
    int SelEndY() const;
    void setSelStartX(int x);
    void setSelStartY(int y);
    void setSelEndX(int x);
    void setSelEndY(int y);
    qint64 SelStartOffset() const;
    qint64 SelEndOffset() const;
    // The selection by byte offsets from 0 with its direction: the anchor is
    // where it started, the caret where it ends. Setting them does not scroll.
    qint64 anchorOffset() const;
    qint64 caretOffset() const;
    void setSelectionOffsets(qint64 anchor, qint64 caret);
    QByteArray SelText() const;
    void setSelText(const QByteArray &bytes); // replaces the selection

    // View.
    int TopY() const;
    void setTopY(int line);
    int VisibleLines() const;
    int LineHeight() const;
    bool Redraw() const;
    // Off: no painting and no change notifications (fast whole-text work);
    // on: one repaint and one round of notifications.
    void setRedraw(bool on);
    int SplitterType() const;
    void setSplitterType(int type);       // 0 none, 1 vertical, 2 horizontal
    int LeftMargin() const;
    void setLeftMargin(int pixels);
    int ScrollBars() const;
    void setScrollBars(int mode);         // 2 or 4
    bool InsertMode() const;
    void setInsertMode(bool on);
    bool ReadOnly() const;
    void setReadOnly(bool on);
    QColor BackColor() const;
    void setBackColor(const QColor &c);
    QColor ForeColor() const;
    void setForeColor(const QColor &c);
    QString Font() const;
    void setFont(const QString &family);
    int FontSize() const;
    void setFontSize(int points);

    // Attributes of the selected characters.
    void setCharacterForeColor(const QColor &c);
    void setCharacterBold(bool on);
    void setCharacterItalic(bool on);
    QColor characterForeColorAt(int line, int column) const; // for checks and printing
    bool characterBoldAt(int line, int column) const;
    bool characterItalicAt(int line, int column) const;
    // Every character back to the plain text look; the text is not touched.
    void clearCharacterAttributes();

    // Bulk colouring without moving the selection: attributeStyle gives the
    // number of a colour/bold/italic combination (the same number as the
    // attribute members above give the characters), and setAttributeStyles
    // shows the bytes from `offset` (in textView()) on in the styles given,
    // one style number a byte (0 plain text), in one call.
    int attributeStyle(const QColor &colour, bool bold, bool italic);
    void setAttributeStyles(qint64 offset, QByteArrayView styles);
    // Where line `line` (from 1) starts in textView(); Count() + 1 gives the
    // length of the text. And the line an offset lies on.
    qint64 lineOffset(int line) const;
    int lineOfOffset(qint64 offset) const;

    // Files: FileLoad and FileSave are the program's load and save
    // (documents/programdocument.h), given on for the callers of the editor.
    // A failed read or write throws RkError; FileSave never truncates the
    // old file when the write fails. FileLoad takes the file's bytes as they
    // are and FileSave writes the text's bytes: every line end round-trips.
    // A UTF-8 byte-order mark is the document's (document()), not a character
    // of the text: FileLoad sets it apart, FileSave writes it back in front.
    // setTextAll takes a mark in front of its bytes the same way; without one
    // the program keeps its mark while the text stays UTF-8.
    // Text that comes in (FileInsert, pasting, inserted lines) takes the line
    // ends of TextType; TextAll gives the text with TextType's line ends.
    void FileLoad(const QString &path);
    void FileSave(const QString &path);
    void FileInsert(const QString &path);
    int TextType() const;                 // 1 CR LF, 2 LF
    void setTextType(int type);
    // The encoding of the text by the rule of core/codepage.h (textEncodingOf),
    // decided when the text is loaded or set as a whole (FileLoad, setTextAll)
    // and kept while it is edited: typed, pasted, found and replaced text goes
    // in and out in it. Windows-1252 shows every byte as one character.
    TextEncoding encoding() const;
    // The program shown: its encoding, byte-order mark and line ends, and
    // the rules that turn its bytes into text and back.
    const NcDocument &document() const;
    // For a text that shows bytes of another (a hex dump): the encoding it is
    // shown in, whatever the rule would make of it, until the text is next set
    // as a whole.
    void setEncoding(TextEncoding encoding);

    bool IsDirty() const;
    void setIsDirty(bool dirty);          // true sticks and raises ModifiedChanged

    // 1 copy, 2 paste, 3 cut, 4 delete, 6 undo, 9 find, 10 replace, 11 find next.
    void setAction(int code);

    // Search.
    QByteArray SearchTarget;
    QByteArray SearchReplacement;
    int SearchOrigin = 0;                 // 1 from the start, 0 from the caret
    int SearchTo = 1;
    bool SearchCaseSensitive = false;
    bool SearchWholeWordsOnly = false;
    bool SearchResult() const { return searchResult_; }
    // A replace (action 10) whose answer "all" goes on off the window: every
    // further match of a program larger than a piece is found on a worker
    // thread and the new text goes in a piece per round of the event loop,
    // as one change and one undo step. setAction(10) then returns before it
    // is over; ChangeDone comes when it is (the selection set, the count of
    // replacements final). Long work is under way meanwhile, and any further
    // action waits for the end.
    bool changeUnderWay() const;
    // Matches the last replace action (10) replaced.
    qsizetype searchReplacedCount() const { return searchReplaced_; }

    // The area the text is drawn in (for painting over it and for placing
    // popups by the mouse positions of MouseDown, which are in its coordinates).
    QWidget *viewport() const;

    // A number that stands for the component's window while it lives.
    long hWnd() const { return long(reinterpret_cast<quintptr>(this) & 0x7FFFFFFF) | 1; }

Q_SIGNALS:
    // Raised first for every key pressed; a handler that sets `handled` takes
    // the key: no KeyDown, KeyPress or editing follows.
    void KeyPreview(int keyCode, int shift, bool &handled);
    void KeyPress(int &charCode);
    void KeyDown(int keyCode, int shift); // shift bits: 1 Shift, 2 Ctrl, 4 Alt
    void MouseDown(int button, int shift, int x, int y);
    void CaretMoved();
    // The text changed and the caret stayed where it was (an undo or redo
    // that gives the caret its place back, a Delete).
    void TextChanged();
    void ModifiedChanged();
    void ReplaceQuery(int &answer);       // 1 replace, 2 skip, 4 replace all, 0 cancel
    void ChangeDone();                    // a replace off the window is over (changeUnderWay)
    void PaintBackground(QPainter *painter, bool &handled);
    void Activate();
    void GotFocus();
    void LostFocus();
    // Files (local paths) dropped on the text: they are not text to insert;
    // the window that holds the editor opens them.
    void FilesDropped(const QStringList &files);

private:
    friend class detail::SciView;
    friend class ProgramDocument;
    friend struct detail::DocumentStore;
    struct Impl;
    Impl *d;
    bool searchResult_ = false;
    qsizetype searchReplaced_ = 0;
};

}
