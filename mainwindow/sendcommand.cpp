#include "mainwindow/sendcommand.h"

#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/paths.h"
#include "core/session.h"
#include "dnc/frmtxd2cnc.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

namespace lumrik {

void sendActiveDocument(Session &session, frmDocument *doc)
{
    RkGuard("sendActiveDocument()", [&] {
        if (!doc || !doc->txtText)
            return;
        Editor *ed = doc->txtText;
        const bool wasDirty = ed->IsDirty();
        const QString word = gbNotSwedish ? RkGetLanguage(726).toUpper() : QStringLiteral("SÄND");
        frmTxd2Cnc *w = txd2CncWindow(session);
        const QString caption = word + QStringLiteral(" [ ") + doc->windowTitle() + QStringLiteral(" ]");

        // The text with CR LF line ends, taken without touching the document:
        // its line-end form and its changed flag stay as they are.
        const int oldType = ed->TextType();
        if (oldType != 1)
            ed->setTextType(1);
        const QByteArray text = ed->TextAll();
        if (oldType != 1)
            ed->setTextType(oldType);
        try {
            writeHandOffFile(tmpFile(kTxdTmp), text);
        } catch (const RkError &e) {
            // Told as the write's own failure was: a full disk stays a plain box.
            const QString why = QStringLiteral("Filen kan inte skrivas: %1 (%2)").arg(tmpFile(kTxdTmp), e.description());
            if (RkIsExpectedError(e))
                throw RkExpected(e.number(), why);
            throw RkError(e.number(), why);
        }

        w->showModal(caption, ed->document().encoding());
        if (ed->IsDirty() != wasDirty)
            ed->setIsDirty(wasDirty);
    });
}

}
