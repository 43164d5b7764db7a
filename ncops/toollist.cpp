// The tool-list command.
#include "ncops/toollist.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "ncops/lineframe.h"

namespace lumrik {

void RkGetToolList(frmDocument *doc)
{
    RkGuard("RkGetToolList()", [&] {
        if (!doc || refuseReadOnlyOrHex(doc))
            return;
        if (gsToolListChrs.isEmpty()) {
            RkMsgBox(QStringLiteral("Inga tecken för verktygslistan är definierade i inställningarna"),
                     MbButtons::Ok, MbIcon::Question, {}, 0, doc);
            return;
        }
        WaitCursor wait;
        LongWork busy;

        Editor *ed = doc->txtText;
        LineFrame frame(ed);
        const QList<QByteArray> tokens = toolListTokens(gsToolListChrs);
        std::vector<QByteArray> entries;
        const int n = ed->Count();
        for (int i = 1; i <= n; ++i) {
            collectToolEntries(ed->lineView(i), tokens, entries);
            if (i % 64 == 0)
                serveLongWork();
        }
        ed->setTextIndex(n); // where reading the lines one by one leaves it
        if (entries.empty())
            return;
        // The whole block, closing frame included, goes in front of line 1 as
        // one insertion; the editor writes the document's own line ends.
        QByteArray block = toolListFrameLine();
        for (const QByteArray &e : entries)
            block.append("\r\n").append(e);
        block.append("\r\n").append(toolListFrameLine());
        ed->setInsertMode(true);
        ed->setTextIndex(1);
        ed->setText(block);
    });
}

}
