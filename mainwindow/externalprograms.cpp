#include "mainwindow/externalprograms.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/services.h"
#include "core/sessionstate.h"
#include "core/trustedcode.h"
#include "documents/editor.h"
#include "documents/frmdocument.h"
#include "documents/statusbar.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/frmmain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>

namespace lumrik {

const QString kHomePageUrl = QStringLiteral("https://www.lumrik.se");
const QString kHowToPageUrl = QStringLiteral("https://www.lumrik.se/fragor-och-svar");

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A failure message, followed by why the program was not started when it
// was refused.
QString withRefusal(const QString &text, const QString &refusal)
{
    return refusal.isEmpty() ? text : text + kCrLf + kCrLf + refusal;
}

// Opens a file of the program folder with the desktop's program for it; says
// so when the file is missing or nothing can show it.
void openProgramFile(frmMain *w, const QString &name)
{
    const QString path = findFileNoCase(gsDataPath, name);
    if (!QFileInfo(path).isFile()) {
        RkMsgBox(QStringLiteral("Filen ") + name + QStringLiteral(" finns inte i ") + RkNativePath(gsDataPath)
                     + QStringLiteral("."),
                 MbButtons::Ok, MbIcon::Exclamation, {}, 0, w);
        return;
    }
    if (!RkShellOpen(path))
        RkMsgBox(QStringLiteral("Det finns inget program som kan visa ") + path + QStringLiteral("."), MbButtons::Ok,
                 MbIcon::Exclamation, {}, 0, w);
}

void openWebPage(frmMain *w, const QString &url)
{
    if (!RkShellOpen(url))
        RkMsgBox(QStringLiteral("Webbsidan ") + url + QStringLiteral(" kunde inte öppnas."), MbButtons::Ok,
                 MbIcon::Exclamation, {}, 0, w);
}

}

QString findProgram(const QString &folder, const QString &name)
{
    if (folder.trimmed().isEmpty())
        return {};
    const QString path = findFileNoCase(settingFolder(folder), name);
    return QFileInfo(path).isFile() ? path : QString();
}

QString startableProgram(const QString &folder, const QString &name, QString &refusal)
{
    refusal.clear();
    const QString program = findProgram(folder, name);
    if (program.isEmpty())
        return {};
    const QString why = untrustedCodeReason(program);
    if (!why.isEmpty()) {
        refusal = untrustedProgramText(program, why);
        return {};
    }
    return program;
}

QString kalmeroFailureText(int fel, int errCode)
{
    return QStringLiteral("Kalmero kunde ej startas !") + kCrLf + QStringLiteral("\n")
           + QStringLiteral("Välj inställningar och ange sökvägen till") + kCrLf
           + QStringLiteral("exe filen 'PENDROF.EXE' eller 'Kalmero32.exe' ") + kCrLf + QStringLiteral("Fel = ")
           + QString::number(fel) + QStringLiteral(" ErrCode = ") + QString::number(errCode);
}

QStringList updaterCheckArguments() { return {QStringLiteral("/check")}; }

QStringList updaterUpdateArguments()
{
    return {QStringLiteral("/update"), QStringLiteral("/version=") + programVersionNumber(),
            QStringLiteral("/prod=KV")};
}

bool runAndWait(const QString &program, const QStringList &arguments, const QString &folder, int &exitCode)
{
    const bool ran = RkRunAndWait(program, arguments, folder, exitCode);
    if (!ran)
        exitCode = 0;
    return ran;
}

// ---------------------------------------------------------------------------
// Compare

void mnuCompare_Click(frmMain *w)
{
    RkGuard("mnuCompare_Click()", [&] {
        const QList<frmDocument *> docs = w->documents(); // oldest first
        if (docs.size() < 2)
            return;
        QString refusal;
        const QString program = startableProgram(gsDataPath, QStringLiteral("Vindre.exe"), refusal);
        auto failed = [w, &refusal] {
            RkMsgBox(withRefusal(QStringLiteral("Vindre.exe kunde ej startas !"), refusal), MbButtons::Ok,
                     MbIcon::Critical, QStringLiteral("Fel vid laddning av Vindre.exe"), 0, w);
        };
        if (program.isEmpty()) {
            failed();
            return;
        }
        // The editors' current texts, not the files on disk; the documents keep their changed state.
        const QString files[2] = {tmpFile(QStringLiteral("1.JTmp")), tmpFile(QStringLiteral("2.JTmp"))};
        for (int i = 0; i < 2; ++i) {
            Editor *e = docs[i]->txtText;
            const bool dirty = e->IsDirty();
            e->FileSave(files[i]);
            if (e->IsDirty() != dirty)
                e->setIsDirty(dirty);
        }
        if (!RkStartProgram(program, {RkNativePath(files[0]), RkNativePath(files[1])}, gsDataPath))
            failed();
    });
}

// ---------------------------------------------------------------------------
// File-database program

namespace {
void startDalvinger(const QStringList &arguments)
{
    const QString name = QStringLiteral("Dalvinger32.exe");
    QString refusal;
    const QString program = startableProgram(programSession().settings().values().programInfoPath, name, refusal);
    if (!refusal.isEmpty())
        throw RkExpected(kErrPermissionDenied, refusal);
    if (program.isEmpty())
        throw RkExpected(kErrFileNotFound, QStringLiteral("Programmet %1 finns inte i mappen \"%2\"")
                                            .arg(name, settingFolder(programSession().settings().values().programInfoPath)));
    if (!RkStartProgram(program, arguments, GetPathPart(program)))
        throw RkExpected(kErrFileNotFound, QStringLiteral("Programmet %1 kunde inte startas").arg(program));
}
}

void mnuFindDB_Click(frmMain *w)
{
    Q_UNUSED(w);
    RkGuard("mnuFindDB_Click()", [&] { startDalvinger({QStringLiteral("/FIND")}); });
}

void mnuInfo_Click(frmMain *w)
{
    RkGuard("mnuInfo_Click()", [&] {
        frmDocument *d = w->activeDocument();
        if (!d)
            return;
        if (d->caption() == programSession().words().values().untitled) {
            RkMsgBox(QStringLiteral("Programmet måste vara sparat först."), MbButtons::Ok, MbIcon::Exclamation,
                     QStringLiteral("Fel"), 0, w);
            return;
        }
        // The path is one argument, blanks and all.
        startDalvinger({RkNativePath(d->caption())});
    });
}

// ---------------------------------------------------------------------------
// Calculation program

void StartKalmero(frmMain *w)
{
    const QString oldFolder = QDir::currentPath();
    int fel = 0;
    int errCode = 0;
    bool failed = false;
    QString refusal;
    try {
        if (!findProgram(gsDataPath, QStringLiteral("Pendrof.exe")).isEmpty())
            programSession().settings().change([](SettingValues &s) { s.kalmeroPath = gsDataPath; });
        const QString D = settingFolder(programSession().settings().values().kalmeroPath);
        if (D.isEmpty() || !QDir::setCurrent(D))
            throw RkExpected(kErrPathNotFound, QStringLiteral("Sökvägen hittades inte"));
        // A program that is refused changes nothing, not even an old result.
        const QString pendrof = startableProgram(D, QStringLiteral("pendrof.exe"), refusal);
        const QString geo = findFileNoCase(D, QStringLiteral("Geo.nc"));
        // A result left by an earlier run must not be taken for this run's.
        if (refusal.isEmpty() && QFileInfo::exists(geo) && !QFile::remove(geo))
            throw RkExpected(kErrPermissionDenied, QStringLiteral("Åtkomst nekad"));
        bool started = false;
        if (!refusal.isEmpty()) {
            fel = 1;
            failed = true;
        } else if (!pendrof.isEmpty()) {
            const int r = [&] {
                WaitCursor busy;
                return ExecCmd(pendrof, {}, D);
            }();
            if (r != 0) {
                fel = r;
                failed = true;
            } else {
                started = true;
                const QString result = findFileNoCase(D, QStringLiteral("Geo.nc"));
                if (QFileInfo(result).isFile()) {
                    if (frmDocument *doc = w->LoadNewDoc()) {
                        try {
                            doc->txtText->FileLoad(result);
                        } catch (...) {
                            // No empty window stands for a result that could not be read.
                            if (auto *sub = qobject_cast<QMdiSubWindow *>(doc->parentWidget()))
                                sub->close();
                            throw;
                        }
                        RkUpdateGlobalStatus();
                    }
                }
            }
        }
        if (!failed) {
            const QString kalmero = startableProgram(D, QStringLiteral("kalmero32.exe"), refusal);
            if (!kalmero.isEmpty() && RkStartProgram(kalmero, {}, D))
                started = true;
            if (!started) {
                fel = 1;
                failed = true;
            }
        }
    } catch (const RkError &e) {
        failed = true;
        errCode = int(e.number());
    } catch (const std::exception &) {
        failed = true;
        errCode = kErrInvalidCall;
    }
    if (failed)
        RkMsgBox(withRefusal(kalmeroFailureText(fel, errCode), refusal), MbButtons::Ok, MbIcon::Critical,
                 QStringLiteral("Fel vid laddning av Kalmero"), 0, w);
    QDir::setCurrent(oldFolder);
}

void mnuOptionKalmero_Click(frmMain *w) { StartKalmero(w); }

// ---------------------------------------------------------------------------
// Help

void mnuHelpContents_Click(frmMain *w) { openProgramFile(w, QStringLiteral("lumrik32.pdf")); }

// The desktop's PDF viewers take no search parameter on their command line:
// the manual opens, and its viewer's own search is at hand.
void mnuHelpSearch_Click(frmMain *w) { openProgramFile(w, QStringLiteral("lumrik32.pdf")); }

void mnuHelpHowToDo_Click(frmMain *w) { openWebPage(w, kHowToPageUrl); }

void mnuHelpWeb_Click(frmMain *w) { openWebPage(w, kHomePageUrl); }

void mnuHelpUpdates_Click(frmMain *w)
{
    const QString title = QStringLiteral("Uppdateringar");
    QString refusal;
    const QString updater = startableProgram(gsDataPath, QStringLiteral("Update.exe"), refusal);
    int exitCode = 0;
    bool checked = false;
    if (!updater.isEmpty()) {
        WaitCursor busy;
        checked = runAndWait(updater, updaterCheckArguments(), gsDataPath, exitCode);
    }
    // A check that did not run says so; it never reads as "no new updates".
    if (!checked) {
        RkMsgBox(withRefusal(QStringLiteral("Update.exe kunde ej startas !") + kCrLf
                                 + QStringLiteral("Sökningen efter uppdateringar kunde inte göras."),
                             refusal),
                 MbButtons::Ok, MbIcon::Critical, title, 0, w);
        return;
    }
    if (exitCode == 0) {
        RkMsgBox(QStringLiteral("Det finns inga nya uppdateringar."), MbButtons::Ok, MbIcon::Information, title, 0, w);
        return;
    }
    const QString question = QStringLiteral("Det finns nya uppdateringar.") + kCrLf
                             + QStringLiteral("Vill du hämta de nu?") + kCrLf
                             + QStringLiteral("Lumrik kan eventuellt komma att avslutas, så spara alla osparade "
                                              "filer innan du fortsätter.");
    if (RkMsgBox(question, MbButtons::YesNo, MbIcon::Information, title, 0, w) != MbYes)
        return;
    // Judged again: the answer may have taken a while.
    const QString again = startableProgram(gsDataPath, QStringLiteral("Update.exe"), refusal);
    if (again.isEmpty() || !RkStartProgram(again, updaterUpdateArguments(), gsDataPath)) {
        RkMsgBox(withRefusal(QStringLiteral("Update.exe kunde ej startas !"), refusal), MbButtons::Ok, MbIcon::Critical, title, 0, w);
        return;
    }
    w->mnuFileExit_Click();
}

void mnuHelpAbout_Click(frmMain *w)
{
    frmAbout about(w);
    about.exec();
}

}
