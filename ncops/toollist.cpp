// The tool-list command.
#include "ncops/toollist.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "ncops/linework.h"

#include <memory>

namespace lumrik {

void RkGetToolList(frmDocument *doc)
{
    RkGuard("RkGetToolList()", [&] {
        if (!doc || refuseReadOnlyOrHex(doc))
            return;
        if (programSession().settings().values().toolListChrs.isEmpty()) {
            RkMsgBox(QStringLiteral("Inga tecken för verktygslistan är definierade i inställningarna"),
                     MbButtons::Ok, MbIcon::Question, {}, 0, doc);
            return;
        }
        // The lines are read by a rule that leaves them as they are (on the
        // worker thread, for a large program); the block goes in after, in
        // the same undo step.
        auto entries = std::make_shared<std::vector<QByteArray>>();
        LineWork work;
        work.traceName = "RkGetToolList()";
        work.rule = [entries, tokens = toolListTokens(programSession().settings().values().toolListChrs)](QByteArrayView line, int) {
            collectToolEntries(line, tokens, *entries);
            return line.toByteArray();
        };
        work.after = [entries](Editor *ed, int, bool) {
            ed->setTextIndex(ed->Count()); // where reading the lines one by one leaves it
            if (entries->empty())
                return;
            // The whole block, closing frame included, goes in front of line 1
            // as one insertion; the editor writes the document's own line ends.
            QByteArray block = toolListFrameLine();
            for (const QByteArray &e : *entries)
                block.append("\r\n").append(e);
            block.append("\r\n").append(toolListFrameLine());
            ed->setInsertMode(true);
            ed->setTextIndex(1);
            ed->setText(block);
        };
        startLineWork(doc, std::move(work));
    });
}

}
