#pragma once
// Renumbering of NC programs: "N" words, or the bare line numbers of TNC
// programs. OmnumRun is the rule per line (no editor); RkOmnum is the command.
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace lumrik {

class frmDocument;

struct OmnumOptions {
    QByteArray skipBlock;      // lines whose code part holds this text are left alone
    qint32 firstBlockNr = 10;  // first new number; the counter restarts here
    qint32 fromBlockNr = 1;    // range of existing numbers renumbered, both included
    qint32 tomBlockNr = 9999;
    qint32 incr = 10;
    bool tnc = false;          // the number is the bare number at the start of the line
    QByteArray restartFrom = "%"; // one character: the counter restarts at lines beginning with it
    bool leadingZeros = false; // four digits with leading zeros
    bool removeBlockNr = false;
    bool addBlockNr = false;
};

// One renumbering pass, line after line in program order.
class OmnumRun {
public:
    explicit OmnumRun(const OmnumOptions &options);

    // Only lines firstLine..lastLine (from 1, either order) are renumbered; the
    // others are written back without leading blanks only.
    void setSelection(int firstLine, int lastLine);

    // The new text of line `lineNo` (from 1). Every line loses its leading blanks.
    QByteArray line(QByteArrayView text, int lineNo);

    qint64 counter() const { return counter_; }

private:
    OmnumOptions o_;
    QByteArray skip_; // skip text in capitals, trimmed
    qint64 counter_;
    bool selection_ = false;
    int selFirst_ = 0, selLast_ = 0;
};

// The block-delete mark at the start of a block's code: "/" and its skip level
// ("/1" to "/9") with the blanks after them; 0 when the block has none.
qsizetype blockDeleteLength(QByteArrayView code);

// The whole pass over a list of lines (lines changed in place).
void RkOmnumLines(std::vector<QByteArray> &lines, const OmnumOptions &options);

// The renumbering command on a document window: asks for the options in
// frmOmnum, then renumbers with the progress dialog. The result is one undo step;
// an abort leaves the lines done renumbered and the rest as they were.
void RkOmnum(frmDocument *doc);

}
