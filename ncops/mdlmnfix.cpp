// The whole-document line commands and the value range.
#include "ncops/mdlmnfix.h"

#include "core/codepage.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/host.h"
#include "ncops/frmxyz.h"
#include "ncops/lineframe.h"
#include "ncops/linework.h"

#include <QApplication>
#include <QPointer>

#include <functional>
#include <memory>
#include "ncops/mdlrkfix.h"


namespace lumrik {

namespace {

// Where the keyboard is before a command asks anything.
QWidget *focusWidget()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) ? QApplication::focusWidget() : nullptr;
}

// Packing and unpacking would run the words of a conversational program
// together ("0 BEGIN PGM" -> "0BEGINPGM"): such a program is refused.
bool refuseConversational(frmDocument *doc)
{
    const Editor *ed = doc->txtText;
    const int n = ed->Count();
    for (int i = 1; i <= n; ++i) {
        const QByteArrayView line = ed->lineView(i);
        if (trimBlanks(line).isEmpty())
            continue;
        if (!isConversationalStart(line))
            return false;
        RkMsgBox(QStringLiteral("Denna funktion är inte tillåten på ett TNC-program i klartext."), MbButtons::Ok,
                 MbIcon::Critical, QStringLiteral("Rensa ASCII koder"), 0, doc);
        return true;
    }
    return false;
}

// The refusals and the question shared by the framed commands.
bool mayRun(frmDocument *doc, const QString &question, bool onlyIsoPrograms = false)
{
    if (!doc || refuseReadOnlyOrHex(doc) || (onlyIsoPrograms && refuseConversational(doc)))
        return false;
    return RkMsgBox(question, MbButtons::YesNo, MbIcon::Question, QStringLiteral("Rensa ASCII koder"), 0, doc)
           == MbYes;
}

// With the progress dialog and its "Avbryt": computed off the window.
void runWithProgress(frmDocument *doc, const char *traceName, LineFrame::Rule rule, QWidget *keyboard)
{
    LineWork work;
    work.keyboard = keyboard;
    work.rule = std::move(rule);
    work.traceName = traceName;
    work.progress = true;
    work.waitCursor = false;
    startLineWork(doc, std::move(work));
}

// Without a dialog, under the wait pointer: computed off the window too,
// what is typed meanwhile held for the finished text.
void runOffTheWindow(frmDocument *doc, const char *traceName, LineFrame::Rule rule,
                     std::function<void()> finished = {})
{
    LineWork work;
    work.rule = std::move(rule);
    work.traceName = traceName;
    work.finished = std::move(finished);
    startLineWork(doc, std::move(work));
}

}

void MnClearChars(frmDocument *doc)
{
    if (!mayRun(doc, QStringLiteral("Denna funktion kommer att ta bort alla tecken under ASCII 32. "
                                    "Är du säker att du vill göra detta?")))
        return;
    runOffTheWindow(doc, "MnClearChars()", [](QByteArrayView line, int) { return clearControlChars(line); });
}

void MnPack(frmDocument *doc)
{
    const QPointer<QWidget> keyboard = focusWidget();
    if (!mayRun(doc, QStringLiteral("Denna funktion kommer att tabort mellanrum mellan alla funktioner. "
                                    "Är du säker att du vill göra detta?"),
                true))
        return;
    runWithProgress(doc, "MnPack()", [](QByteArrayView line, int) { return PackBlock(line); }, keyboard);
}

void MnUnPack(frmDocument *doc)
{
    const QPointer<QWidget> keyboard = focusWidget();
    if (!mayRun(doc, QStringLiteral("Denna funktion kommer att infoga mellanrum mellan alla funktioner. "
                                    "Är du säker att du vill göra detta?"),
                true))
        return;
    runWithProgress(doc, "MnUnPack()", [](QByteArrayView line, int) { return UnpackPackedBlock(PackBlock(line)); },
                    keyboard);
}

void MnUppercase(frmDocument *doc)
{
    if (!mayRun(doc, QStringLiteral("Denna funktion kommer att ändra allt till VERSALER. "
                                    "Är du säker att du vill göra detta?")))
        return;
    // A program in UTF-8 is upper-cased as UTF-8; any other program as
    // Windows-1252.
    if (doc->txtText->encoding() == TextEncoding::Utf8)
        runOffTheWindow(doc, "MnUppercase()", [](QByteArrayView line, int) { return upperUtf8(line); });
    else
        runOffTheWindow(doc, "MnUppercase()", [](QByteArrayView line, int) { return upper1252(line); });
}

void MnPunktKoll(frmDocument *doc)
{
    if (!doc || refuseReadOnlyOrHex(doc))
        return;
    const QByteArray letters = toCp1252(programSession().settings().values().decCheckBlockChars);
    // Counted by the rule (on the worker thread, for a large program) and
    // read once the work is over.
    auto adjustments = std::make_shared<long>(0);
    QPointer<frmDocument> owner(doc);
    runOffTheWindow(
        doc, "MnPunktKoll()",
        [letters, adjustments](QByteArrayView line, int) {
            QByteArray l(line.data(), line.size());
            *adjustments += addDecimalPoints(l, letters);
            return l;
        },
        [adjustments, owner] {
            RkMsgBox(QString::number(*adjustments) + QStringLiteral(" justeringar är gjorda."), MbButtons::Ok,
                     MbIcon::None, {}, 0, owner);
        });
}

void MnXYZ(frmDocument *doc)
{
    if (!doc)
        return;
    Editor *ed = doc->txtText;
    XyzRange range;
    {
        WaitCursor wait;
        const int n = ed->Count();
        for (int i = 1; i <= n; ++i) {
            ed->setTextIndex(i);
            range.addLine(ed->Text());
        }
    }
    QWidget *owner = documentHost() ? documentHost()->mainWidget() : nullptr;
    frmXYZ window(owner ? owner : doc);
    window.fill(range);
    window.exec();
}

}
