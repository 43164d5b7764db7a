#include "mainwindow/sendcommand.h"

#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/lineends.h"
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
        ProgramDocument *program = doc->program();
        const bool wasDirty = program->isModified();
        const QString word = gbNotSwedish ? RkGetLanguage(726).toUpper() : QStringLiteral("SÄND");
        frmTxd2Cnc *w = txd2CncWindow(session);
        const QString caption = word + QStringLiteral(" [ ") + doc->windowTitle() + QStringLiteral(" ]");

        // The text with CR LF line ends, without the byte-order mark: the
        // document's line-end form and its changed flag stay as they are.
        const QByteArray text = program->text(kLineEndCrLf);
        try {
            writeHandOffFile(tmpFile(kTxdTmp), text);
        } catch (const RkError &e) {
            // Told as the write's own failure was: a full disk stays a plain box.
            const QString why = QStringLiteral("Filen kan inte skrivas: %1 (%2)").arg(tmpFile(kTxdTmp), e.description());
            if (RkIsExpectedError(e))
                throw RkExpected(e.number(), why);
            throw RkError(e.number(), why);
        }

        w->showModal(caption, program->encoding());
        if (program->isModified() != wasDirty)
            program->setModified(wasDirty);
    });
}

}
