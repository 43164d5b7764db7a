#include "documents/saving.h"

#include "core/atomicfile.h"
#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/fileidentity.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/lineends.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/protectedlinks.h"
#include "core/services.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/statusbar.h"

#include <QFileInfo>
#include <QStringList>
#include <optional>

namespace lumrik {

namespace {

SaveDialogFn gSaveDialog;
std::function<void(const QString &)> gSavedFile;

QString askFileName(QWidget *owner, const QString &title, const QString &initialFile,
                    const QString &initialFolder, const QString &filter)
{
    if (gSaveDialog)
        return gSaveDialog(owner, title, initialFile, initialFolder, filter);
    QString file = initialFile;
    return ShowSaveFileDialog(owner, title, file, initialFolder, QString(), filter, 0);
}

// How a save ended. A failure that went to the error report counts as "not
// written" (RkGuard gives back the first value), so that a closing window
// stays open with its text.
enum class SaveOutcome { NotWritten = 0, Written, Refused };

// What to do about the file a save is to write.
enum class FileCheck { Write, SaveAs, Stop };

// The question when the document's own file is no longer as it was loaded or
// last saved: "Ja" saves, "Nej" (the default) saves nothing.
QString changedFileQuestion(const QString &shown, const FileIdentity &then, const FileIdentity &now,
                            const QString &path)
{
    if (now.sameFile(then))
        return QStringLiteral("Filen \"%1\" har ändrats utanför Lumrik-32 sedan den lästes in eller "
                              "sparades senast.\n\n"
                              "Om du sparar skrivs de ändringarna över.\n\nVill du ändå spara?")
            .arg(shown);
    QString where;
    if (const QString target = QFileInfo(RkNativePath(path)).symLinkTarget(); !target.isEmpty())
        where = QStringLiteral(" (en länk till \"%1\")").arg(RkShownName(target));
    return QStringLiteral("Filen \"%1\" är inte längre den fil som lästes in eller sparades: "
                          "namnet leder nu till en annan "
                          "fil%2.\n\nOm du sparar skrivs programmet i den filen.\n\nVill du ändå spara?")
        .arg(shown, where);
}

// Before a save writes `native`: never through another user's link in a
// shared folder; and the document's own file (`own`) must still be the file
// it loaded or last saved, unchanged, or the user is asked. `expected` is
// then the file as it is now, which the write must still find.
FileCheck checkTarget(frmDocument *doc, const QString &native, bool own, FileIdentity &expected)
{
    if (const QString why = RkForeignLinkProblem(native); !why.isEmpty()) {
        const int answer = RkMsgBox(QStringLiteral("Programmet sparades inte.\n\n") + why
                                        + QStringLiteral("\n\nVill du spara programmet under ett annat namn "
                                                         "(Spara som)?"),
                                    MbButtons::YesNo, MbIcon::Exclamation, QStringLiteral("Spara"), 0, doc);
        return answer == MbYes ? FileCheck::SaveAs : FileCheck::Stop;
    }
    if (!own || !doc->fileIdentity.valid)
        return FileCheck::Write;
    expected = RkFileIdentity(native);
    if (!expected.valid && !RkFileExists(native))
        return FileCheck::Write; // gone: the save puts it back
    if (expected.unchanged(doc->fileIdentity))
        return FileCheck::Write;
    const QString text = changedFileQuestion(RkShownName(native), doc->fileIdentity, expected, native);
    const int answer = RkMsgBox(text, MbButtons::YesNo, MbIcon::Exclamation, QStringLiteral("Spara"), 1, doc);
    return answer == MbYes ? FileCheck::Write : FileCheck::Stop;
}

}

void setSaveDialogHook(SaveDialogFn dialog) { gSaveDialog = std::move(dialog); }
void setSavedFileHook(std::function<void(const QString &)> hook) { gSavedFile = std::move(hook); }

QString saveDialogFilter(const QString &fileExtensions)
{
    QString filter;
    QStringList patterns;
    RkParseString(patterns, fileExtensions, QStringLiteral(";"));
    for (qsizetype i = 1; i < patterns.size(); ++i) {
        const QString p = patterns[i].trimmed();
        if (!p.isEmpty())
            filter += p + '|' + p + '|';
    }
    return filter + QStringLiteral("Alla filer (*.*)|*.*");
}

QByteArray textForSave(const ProgramDocument &program, int lineEndType)
{
    // The text's own bytes: a lone CR or a byte of any value stays as it is.
    // The program's byte-order mark goes back in front.
    QByteArray bytes = program.text(lineEndType);
    if (program.hasByteOrderMark())
        bytes.prepend(NcDocument::kByteOrderMark);
    return bytes;
}

bool RkSaveDocument(frmDocument *doc, bool &saveAs, int &result)
{
    const SaveOutcome outcome = RkGuard("RkSaveDocument()", [&]() -> SaveOutcome {
        if (doc->bHexView || doc->bReadOnly) {
            RkMsgBox(QStringLiteral("Denna filen är inte tillåten att spara."), MbButtons::Ok, MbIcon::Critical,
                     QStringLiteral("Spara"), 0, doc);
            return SaveOutcome::Refused;
        }
        const QString filter = saveDialogFilter(currentMachine().keys().fileExtension);
        const QString caption = doc->caption();
        if (caption == programSession().words().values().untitled || !doc->bNamed)
            saveAs = true;

        std::optional<WaitCursor> wait;
        QString target = caption;
        QString native;
        FileIdentity expected;
        bool checkedOwn = false;
        for (;;) {
            if (saveAs) {
                target = askFileName(doc, QStringLiteral("Ange filnamn"), caption,
                                     GetDefaultPath(QStringLiteral("rec")), filter);
                if (target.isEmpty())
                    return SaveOutcome::NotWritten;
            }

            wait.emplace();
            const int type = programSession().settings().values().saveAsUnixType == kLineEndLf ? kLineEndLf : kLineEndCrLf;
            doc->txtText->setTextType(type);

            native = RkNativePath(target);
            if (!IsDirectory(GetPathPart(native)) || !IsValidFileName(GetFileNamePart(native))) {
                wait.reset();
                RkMsgBox(QStringLiteral("Felaktigt filnamn! Programmet är inte sparat!"), MbButtons::Ok,
                         MbIcon::Information, QStringLiteral("Fel i filnamn"), 0, doc);
                return SaveOutcome::NotWritten;
            }
            const bool own = doc->bNamed && native == RkNativePath(caption);
            wait.reset();
            const FileCheck check = checkTarget(doc, native, own, expected);
            if (check == FileCheck::Stop)
                return SaveOutcome::NotWritten;
            if (check == FileCheck::SaveAs) {
                saveAs = true;
                continue;
            }
            checkedOwn = own && doc->fileIdentity.valid;
            wait.emplace();
            break;
        }

        FileIdentity written;
        try {
            written = writeFileAtomic(native, textForSave(*doc->program(), doc->program()->lineEnds()),
                                      checkedOwn ? &expected : nullptr);
        } catch (const RkError &e) {
            wait.reset();
            RkErrorBox(e.description());
            return SaveOutcome::NotWritten;
        }

        if (saveAs)
            doc->setCaption(target);
        doc->bNamed = true;
        doc->ForceFileStamp();
        if (written.valid)
            doc->fileIdentity = doc->seenIdentity = written;
        if (gSavedFile)
            gSavedFile(doc->caption());
        doc->program()->setModified(false);
        RkUpdateGlobalStatus();
        return SaveOutcome::Written;
    });
    if (outcome == SaveOutcome::NotWritten)
        result = 2;
    return outcome == SaveOutcome::Written;
}

namespace {
// The question of a changed document that is to go: Yes saves it.
int askToSave(frmDocument *doc, MbButtons buttons)
{
    QString title, prompt;
    if (gbNotSwedish) {
        title = RkGetLanguage(1021);
        prompt = doc->caption() + ' ' + RkGetLanguage(1020);
    } else {
        title = QStringLiteral("Programmet är ändrat !!");
        prompt = doc->caption() + QStringLiteral(" har ändrats, skall det sparas ? ");
    }
    return RkMsgBox(prompt, buttons, MbIcon::Exclamation, title, 0, doc);
}

void saveAsAsked(frmDocument *doc, int &cancel)
{
    const QString &untitled = programSession().words().values().untitled;
    bool saveAs = !untitled.isEmpty() && doc->caption().contains(untitled);
    RkSaveDocument(doc, saveAs, cancel);
}
}

void OfferSaveBeforeForcedExit(frmDocument *doc)
{
    while (doc->program()->isModified() && askToSave(doc, MbButtons::YesNo) == MbYes) {
        int result = 0;
        saveAsAsked(doc, result);
    }
}

void SaveOrNot(frmDocument *doc, int &cancel)
{
    const bool answered = RkGuard("SaveOrNot()", [&] {
        switch (askToSave(doc, MbButtons::YesNoCancel)) {
        case MbYes:
            saveAsAsked(doc, cancel);
            break;
        case MbNo:
            break;
        default:
            cancel = 2;
            break;
        }
        return true;
    });
    if (!answered)
        cancel = 2; // the question failed: nothing is thrown away
}

}
