#include "documents/unfinishedsave.h"

#include "core/errors.h"
#include "core/filenames.h"
#include "core/msgbox.h"
#include "core/savecopy.h"

#include <QSet>
#include <QStringList>

namespace lumrik {

namespace {

void settle(const SaveCopy &copy, QWidget *parent)
{
    switch (RkSaveCopyState(copy)) {
    case SaveCopyState::Untouched:
    case SaveCopyState::Finished:
        RkDropSaveCopy(copy); // the file is whole: the copy is only left over
        return;
    case SaveCopyState::Gone:
        return; // not this file any more: the copy is left as it is
    case SaveCopyState::Unfinished:
        break;
    }
    const QString program = RkShownName(RkDecodeName(copy.filePath));
    const int answer = RkMsgBox(unfinishedSaveQuestion(program, RkShownName(RkDecodeName(copy.copyPath))),
                                MbButtons::YesNoCancel, MbIcon::Exclamation, QStringLiteral("Avbruten sparning"),
                                0, parent);
    if (answer == MbYes) {
        try {
            RkRestoreSaveCopy(copy);
        } catch (const RkError &e) {
            RkMsgBox(e.description(), MbButtons::Ok, MbIcon::Critical, QStringLiteral("Avbruten sparning"), 0,
                     parent);
        }
    } else if (answer == MbNo) {
        RkDropSaveCopy(copy);
    }
}

}

QString unfinishedSaveQuestion(const QString &program, const QString &copy)
{
    return QStringLiteral("Programmet \"%1\" sparades inte färdigt: sparningen avbröts innan hela den nya texten "
                          "var skriven, så filen kan innehålla ny text följd av gammal.\n\n"
                          "Den gamla texten finns kvar i kopian \"%2\".\n\n"
                          "Vill du lägga tillbaka den gamla texten?\n\n"
                          "Ja: filen får tillbaka sin gamla text.\n"
                          "Nej: filen behålls som den är och kopian tas bort.\n"
                          "Avbryt: inget ändras nu; frågan kommer igen nästa gång filen öppnas.")
        .arg(program, copy);
}

void settleUnfinishedSaves(const QString &path, QWidget *parent)
{
    for (const SaveCopy &copy : RkSaveCopiesFor(path))
        settle(copy, parent);
}

void settleUnfinishedSavesAtStart(const QStringList &files, QWidget *parent)
{
    QSet<QByteArray> seen;
    for (const SaveCopy &copy : RkPrivateSaveCopies()) {
        seen.insert(copy.copyPath);
        settle(copy, parent);
    }
    for (const QString &file : files)
        for (const SaveCopy &copy : RkSaveCopiesFor(file))
            if (!seen.contains(copy.copyPath)) {
                seen.insert(copy.copyPath);
                settle(copy, parent);
            }
}

}
