#include "ncops/lineframe.h"

#include "core/msgbox.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

#include <vector>

namespace lumrik {

namespace {
constexpr int kBlockLines = 1024;
}

bool refuseReadOnlyOrHex(frmDocument *doc)
{
    if (!doc->bReadOnly && !doc->bHexView)
        return false;
    RkMsgBox(QStringLiteral("Denna funktion är inte tillåten på denna filtyp."), MbButtons::Ok,
             MbIcon::Critical, QStringLiteral("Spara"), 0, doc);
    return true;
}

LineFrame::LineFrame(Editor *editor, bool selfAssign) : ed_(editor), insertMode_(editor->InsertMode())
{
    ed_->setRedraw(false);
    ed_->beginUndoAction();
    if (selfAssign)
        ed_->setTextAll(ed_->TextAll());
    ed_->setInsertMode(false);
}

LineFrame::~LineFrame()
{
    ed_->endUndoAction();
    if (restoreInsert_)
        ed_->setInsertMode(insertMode_);
    ed_->setRedraw(true);
}

int LineFrame::run(const Rule &rule, ProgressRun *progress)
{
    const int n = ed_->Count();
    const QByteArrayView eol = ed_->TextType() == 2 ? QByteArrayView("\n") : QByteArrayView("\r\n");
    std::vector<QByteArray> lines;
    lines.reserve(kBlockLines);
    QByteArray joined;
    int done = 0;
    bool changed = false;
    // Where the caret and the selection stand, by line and column: replacing
    // a block would otherwise move them to the block's start.
    const int mark = ed_->SelMark();
    const int caretX = ed_->CaretX(), caretY = ed_->CaretY();
    const int sx = ed_->SelStartX(), sy = ed_->SelStartY(), ex = ed_->SelEndX(), ey = ed_->SelEndY();
    for (int a = 1; a <= n; a += kBlockLines) {
        const int b = std::min(n, a + kBlockLines - 1);
        lines.clear();
        int firstChanged = 0, lastChanged = 0;
        qsizetype bytes = 0;
        for (int i = a; i <= b; ++i) {
            ed_->setTextIndex(i);
            // Read in place: the rule gets the line's bytes without a copy.
            const QByteArrayView old = ed_->lineView(i);
            QByteArray line = rule(old, i);
            if (line != old) {
                if (!firstChanged)
                    firstChanged = i;
                lastChanged = i;
            }
            bytes += line.size() + eol.size();
            lines.push_back(std::move(line));
        }
        if (firstChanged) {
            joined.clear();
            joined.reserve(bytes);
            for (int i = firstChanged; i <= lastChanged; ++i) {
                if (i != firstChanged)
                    joined.append(eol);
                joined.append(lines[size_t(i - a)]);
            }
            ed_->replaceLines(firstChanged, lastChanged, joined);
            changed = true;
        }
        done = b;
        if (progress && !progress->step(b))
            break;
    }
    if (changed) {
        if (mark) {
            ed_->setSelStartY(sy);
            ed_->setSelStartX(sx);
            ed_->setSelEndY(ey);
            ed_->setSelEndX(ex);
        } else {
            ed_->setCaret(caretX, caretY);
        }
    }
    if (done > 0)
        ed_->setTextIndex(done);
    return done;
}

}
