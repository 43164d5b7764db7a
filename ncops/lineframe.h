#pragma once
// The frame in which the whole-program operations rewrite a document: painting
// off, insert mode remembered and switched off, the text assigned to itself
// (colours cleared), then the lines rewritten in order,
// and everything given back at the end. All changes of one frame are one undo
// step, and the rewritten lines go into the text as one replacement, so that
// undo and redo cost one replacement. An abort leaves the lines done rewritten
// and the rest as they were.
#include <QByteArray>
#include <QByteArrayView>
#include <functional>

class QWidget;

namespace lumrik {

class Editor;
class frmDocument;

// Read-only documents and hex views: shows "Denna funktion är inte tillåten på
// denna filtyp." and returns true.
bool refuseReadOnlyOrHex(frmDocument *doc);

// The text assigned to itself: colours cleared, the bytes (line ends included)
// left as they are.
void assignTextToItself(Editor *ed);

class LineFrame {
public:
    // selfAssign: assign the text to itself first (every framed command does).
    explicit LineFrame(Editor *editor, bool selfAssign = true);
    ~LineFrame();
    LineFrame(const LineFrame &) = delete;
    LineFrame &operator=(const LineFrame &) = delete;

    // The rule gives the new text of a line (from 1). Lines 1..count are
    // rewritten in order, in one go; `goOn` (when given) is asked after each
    // line and stops the rewrite there when it returns false. Returns the
    // number of lines done (which may be more than the lines afterwards: see
    // Editor::rewriteLines).
    using Rule = std::function<QByteArray(QByteArrayView line, int lineNo)>; // as Editor::LineRule
    int run(const Rule &rule, const std::function<bool(int line)> &goOn = {});

    // The insert mode the editor had before the frame.
    bool savedInsertMode() const { return insertMode_; }
    // Leaves the editor's insert mode as it is at the end (the caller sets it).
    void keepInsertMode() { restoreInsert_ = false; }

private:
    Editor *ed_;
    bool insertMode_;
    bool restoreInsert_ = true;
};

}
