#include "documents/saving.h"

#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/lineends.h"
#include "documents/statusbar.h"

#include <QStringList>
#include <exception>

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

// Notes that a guarded body returned rather than threw.
class CompletionMark {
public:
    explicit CompletionMark(bool &done) : done_(done), pending_(std::uncaught_exceptions()) {}
    ~CompletionMark()
    {
        if (std::uncaught_exceptions() == pending_)
            done_ = true;
    }

private:
    bool &done_;
    int pending_;
};

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

QByteArray textForSave(const Editor *txtText, int lineEndType)
{
    // The buffer's own bytes: a lone CR or a byte of any value stays as it is.
    // The document puts the program's byte-order mark back in front.
    QByteArray bytes = convertLineEnds(txtText->textView(), lineEndType == kLineEndLf ? kLineEndLf : kLineEndCrLf);
    if (txtText->document().hasByteOrderMark())
        bytes.prepend(NcDocument::kByteOrderMark);
    return bytes;
}

void RkErrorBox(const QString &description)
{
    RkMsgBox(description, MbButtons::Ok, MbIcon::Critical, QString());
}

bool RkSaveDocument(frmDocument *doc, bool &saveAs, int &result)
{
    // A failure that ends up in the error report counts as "not written", so
    // that a closing window stays open with its text.
    bool finished = false;
    const bool written = RkGuard("RkSaveDocument()", [&]() -> bool {
        const CompletionMark mark(finished);
        if (doc->bHexView || doc->bReadOnly) {
            RkMsgBox(QStringLiteral("Denna filen är inte tillåten att spara."), MbButtons::Ok, MbIcon::Critical,
                     QStringLiteral("Spara"), 0, doc);
            return false;
        }
        const QString filter = saveDialogFilter(gsFileExtension);
        const QString caption = doc->caption();
        if (caption == gsUntitled || !doc->bNamed)
            saveAs = true;

        QString target = caption;
        if (saveAs) {
            target = askFileName(doc, QStringLiteral("Ange filnamn"), caption, GetDefaultPath(QStringLiteral("rec")),
                                 filter);
            if (target.isEmpty()) {
                result = 2;
                return false;
            }
        }

        WaitCursor wait;
        const int type = gSaveAsUnixType == kLineEndLf ? kLineEndLf : kLineEndCrLf;
        doc->txtText->setTextType(type);

        const QString native = RkNativePath(target);
        if (!IsDirectory(GetPathPart(native)) || !IsValidFileName(GetFileNamePart(native))) {
            RkMsgBox(QStringLiteral("Felaktigt filnamn! Programmet är inte sparat!"), MbButtons::Ok,
                     MbIcon::Information, QStringLiteral("Fel i filnamn"), 0, doc);
            result = 2;
            return false;
        }

        try {
            writeFileAtomic(native, textForSave(doc->txtText, type));
        } catch (const RkError &e) {
            RkErrorBox(e.description());
            result = 2;
            return false;
        }

        if (saveAs)
            doc->setCaption(target);
        doc->bNamed = true;
        doc->ForceFileStamp();
        if (gSavedFile)
            gSavedFile(doc->caption());
        doc->txtText->setIsDirty(false);
        RkUpdateGlobalStatus();
        return true;
    });
    if (!finished)
        result = 2;
    return written;
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
    bool saveAs = !gsUntitled.isEmpty() && doc->caption().contains(gsUntitled);
    RkSaveDocument(doc, saveAs, cancel);
}
}

void OfferSaveBeforeForcedExit(frmDocument *doc)
{
    while (doc->txtText->IsDirty() && askToSave(doc, MbButtons::YesNo) == MbYes) {
        int result = 0;
        saveAsAsked(doc, result);
    }
}

void SaveOrNot(frmDocument *doc, int &cancel)
{
    bool finished = false;
    RkGuard("SaveOrNot()", [&] {
        const CompletionMark mark(finished);
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
    });
    if (!finished)
        cancel = 2; // the question failed: nothing is thrown away
}

}
