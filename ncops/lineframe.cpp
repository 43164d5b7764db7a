#include "ncops/lineframe.h"

#include "core/msgbox.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/statusbar.h"

namespace lumrik {

bool refuseReadOnlyOrHex(frmDocument *doc)
{
    if (!doc->bReadOnly && !doc->bHexView)
        return false;
    RkMsgBox(QStringLiteral("Denna funktion är inte tillåten på denna filtyp."), MbButtons::Ok,
             MbIcon::Critical, QStringLiteral("Spara"), 0, doc);
    return true;
}

void assignTextToItself(Editor *ed)
{
    // The bytes stay: every line end as the program has it, whatever TextType
    // says. Only the colours go.
    ed->clearCharacterAttributes();
}

LineFrame::LineFrame(Editor *editor, bool selfAssign) : ed_(editor), insertMode_(editor->InsertMode())
{
    ed_->setRedraw(false);
    ed_->beginUndoAction();
    if (selfAssign)
        assignTextToItself(ed_);
    ed_->setInsertMode(false);
}

LineFrame::~LineFrame()
{
    ed_->endUndoAction();
    if (restoreInsert_)
        ed_->setInsertMode(insertMode_);
    ed_->setRedraw(true);
    RkUpdateGlobalStatus(); // lines and characters of the new text
}

int LineFrame::run(const Rule &rule, const std::function<bool(int line)> &goOn)
{
    // Every line is read and written back, and the lines go into the text as
    // one replacement. The caret, the selection and the top line keep their
    // lines and columns.
    return ed_->rewriteLines(rule, goOn);
}

}
