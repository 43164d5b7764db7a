#include "mainwindow/receivecommand.h"

#include "core/atomicfile.h"
#include "core/codepage.h"
#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/lineends.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/sessionstate.h"
#include "dnc/frmrxdfromcnc.h"
#include "dnc/headerlines.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace lumrik {

namespace {
void removeAnySpelling(const QString &path)
{
    for (;;) {
        const QString found = findFileNoCase(path);
        if (!QFile::exists(found) || !QFile::remove(found))
            return;
    }
}

// A binary reception on disk: the document's bytes as they are, with no line
// end changed (a save by the settings' line ends would turn a lone LF into
// CR LF).
void saveBytesAsTheyCame(frmDocument *doc)
{
    RkGuard("saveBytesAsTheyCame()", [&] {
        const QString target = RkNativePath(doc->caption());
        try {
            writeFileAtomic(target, doc->program()->textView());
        } catch (const RkError &e) {
            RkMsgBox(e.description() + QStringLiteral("\r\n\r\nDet mottagna programmet är inte sparat; "
                                                      "det finns kvar i fönstret."),
                     MbButtons::Ok, MbIcon::Critical, QString(), 0, doc);
            return;
        }
        doc->ForceFileStamp();
        doc->program()->setModified(false);
    });
}
}

frmRxdFromCnc *rxdFromCncWindow(Session &session, QWidget *owner)
{
    static QPointer<frmRxdFromCnc> window;
    if (!window || window->parentWidget() != owner) {
        delete window.data();
        window = new frmRxdFromCnc(session, owner);
    }
    return window;
}

RxdCommandResult RunRxdFromCnc(Session &session, QWidget *owner, QComboBox *comboMaskiner)
{
    RxdCommandResult r;
    r.rxdFile = tmpFile(kRxdTmp);
    // Never take a work file of an earlier run for this reception.
    removeAnySpelling(r.rxdFile);
    frmRxdFromCnc *w = rxdFromCncWindow(session, owner);
    w->comboMaskiner = comboMaskiner;
    w->Form_Load();
    w->exec();
    const ActiveProgram &active = session.active();
    r.targetPath = RkNativePath(active.path() + active.file());
    r.named = !active.file().isEmpty() && active.file() != session.words().values().untitled;
    r.headerSource = w->replacedFile();
    r.binary = w->binaryReception();
    const QString file = findFileNoCase(r.rxdFile);
    if (w->received() && QFileInfo(file).size() > 4) {
        r.received = true;
        r.rxdFile = file;
    } else if (!w->received()) {
        removeAnySpelling(r.rxdFile);
    }
    return r;
}

frmDocument *OpenReceivedProgram(const RxdCommandResult &result, const QString &machine,
                                 const std::function<frmDocument *()> &loadNewDoc,
                                 const std::function<void()> &saveActive)
{
    if (!result.received) {
        removeAnySpelling(result.rxdFile);
        return nullptr;
    }
    ActiveProgram &active = programSession().active();
    const int oldType = active.textType();
    active.setTextType(1);
    struct RestoreType {
        ActiveProgram &active;
        int type;
        ~RestoreType() { active.setTextType(type); }
    } restore{active, oldType};

    frmDocument *doc = loadNewDoc ? loadNewDoc() : nullptr;
    if (!doc)
        return nullptr;   // the work file stays: nothing received is lost
    Editor *ed = doc->txtText;
    ed->FileLoad(result.rxdFile);
    doc->sMaskin = machine;
    doc->bNamed = false;
    // The comment lines never reached the machine; they come back from the
    // old file, in the encoding the whole text is to have.
    const QByteArrayView received = doc->program()->textView();
    const std::optional<TextEncoding> into =
        hasHighBytes(received) ? std::optional(textEncodingOf(received)) : std::nullopt;
    if (!result.binary
        && RkSaveHeaderLines(result.headerSource.isEmpty() ? result.targetPath : result.headerSource, into)) {
        const QString header = findFileNoCase(tmpFile(kHeaderTmp));
        ed->setCaret(1, 1);
        if (!into)
            ed->setEncoding(textEncodingOf(readFileBytes(header)));
        ed->FileInsert(header);
    }
    removeAnySpelling(tmpFile(kHeaderTmp)); // also one emptied by a file without a header
    doc->setCaption(result.targetPath);
    doc->txtText->setIsDirty(true);
    doc->setFocus();
    doc->txtText->setFocus();
    // The received text is in the document now.
    removeAnySpelling(result.rxdFile);
    if (result.named) {
        doc->bNamed = true;
        if (result.binary)
            saveBytesAsTheyCame(doc);
        else if (saveActive)
            saveActive();
    }
    return doc;
}

frmDocument *RecoverInterruptedReception(QWidget *owner, const std::function<frmDocument *()> &loadNewDoc)
{
    RxdCommandResult r;
    r.rxdFile = findFileNoCase(tmpFile(kRxdTmp));
    const qint64 size = QFileInfo(r.rxdFile).size();
    if (size <= 4)
        return nullptr;
    const int answer = RkMsgBox(
        QStringLiteral("En tidigare mottagning avslutades aldrig (programmet stängdes under mottagningen). "
                       "Det som togs emot då, %1 byte, finns kvar.\r\n\r\n"
                       "Vill du öppna det som ett nytt namnlöst dokument? Svarar du Nej tas det bort.")
            .arg(size),
        MbButtons::YesNo, MbIcon::Question, QStringLiteral("Mottaget program finns kvar"), 0, owner);
    if (answer != MbYes) {
        removeAnySpelling(r.rxdFile);
        return nullptr;
    }
    r.received = true;
    r.targetPath = RkNativePath(programSession().active().path() + programSession().words().values().untitled);
    return OpenReceivedProgram(r, currentMachine().name(), loadNewDoc, {});
}

frmDocument *RxdFromCncCommand(Session &session, QWidget *owner, QComboBox *comboMaskiner,
                               const std::function<frmDocument *()> &loadNewDoc,
                               const std::function<void()> &saveActive)
{
    return RkGuard("RxdFromCncCommand()", [&]() -> frmDocument * {
        RecoverInterruptedReception(owner, loadNewDoc);
        const RxdCommandResult r = RunRxdFromCnc(session, owner, comboMaskiner);
        // The machine received from; the selector's spelling when it shows it.
        QString machine = session.machine().name();
        const QString shown = session.machine().selected();
        if (comboMaskiner && shown.compare(machine, Qt::CaseInsensitive) == 0)
            machine = shown;
        return OpenReceivedProgram(r, machine, loadNewDoc, saveActive);
    });
}

}
