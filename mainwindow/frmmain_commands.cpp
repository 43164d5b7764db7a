// The main window's own commands: opening documents, the File menu, the
// clipboard commands of the Edit menu, the window arrangement and the split
// buttons.
#include "mainwindow/frmmain.h"
#include "mainwindow/commands_ncdnc.h"
#include "mainwindow/commands_cncsetup.h"
#include "mainwindow/commands_generators.h"
#include "mainwindow/commands_editsetup.h"
#include "mainwindow/commands_print.h"
#include "mainwindow/commands_macro.h"
#include "mainwindow/commands_shell.h"
#include "mainwindow/commands_find.h"
#include "mainwindow/commands_plugins.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/msgbox.h"
#include "core/paths.h"
#include "core/progress.h"
#include "core/sessionstate.h"
#include "documents/frmdocument.h"
#include "documents/loading.h"
#include "documents/saving.h"
#include "documents/statusbar.h"
#include "mainwindow/arrange.h"
#include "mainwindow/icons.h"
#include "mainwindow/recentfiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace lumrik {

namespace {
QMdiSubWindow *subWindowOf(frmDocument *d)
{
    return d ? qobject_cast<QMdiSubWindow *>(d->parentWidget()) : nullptr;
}

// The open dialog used until the file selector exists: rooted at the
// machine's folder, offering the machine's patterns (in any letter case).
void plainOpenDialog(QWidget *owner, const QString &rootPath, const QString &preSelectedPath,
                     QString &selectedPath, QString &selectedFile, QString &machine)
{
    QStringList filters;
    QStringList patterns;
    for (const QString &p : currentMachine().keys().fileExtension.split(';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (t.isEmpty() || t == QLatin1String("*.*"))
            continue;
        patterns << t << t.toLower() << t.toUpper();
    }
    patterns.removeDuplicates();
    if (!patterns.isEmpty())
        filters << QStringLiteral("NC-program (%1)").arg(patterns.join(' '));
    filters << QStringLiteral("Alla filer (*)");
    QString start = preSelectedPath;
    if (!IsDirectory(start))
        start = rootPath;
    if (!IsDirectory(start))
        start = programSession().active().path();
    const QString file = QFileDialog::getOpenFileName(owner, QStringLiteral("Öppna"), RkNativePath(start),
                                                      filters.join(QStringLiteral(";;")));
    if (file.isEmpty()) {
        selectedFile.clear();
        return;
    }
    selectedPath = GetPathPart(file);
    if (!selectedPath.endsWith('/'))
        selectedPath += '/';
    selectedFile = GetFileNamePart(file);
    machine = currentMachine().selected();
}

}

void frmMain::registerBuiltInCommands()
{
    auto cmd = [this](const char *name, void (frmMain::*slot)()) {
        commands_.setHandler(QString::fromLatin1(name), [this, slot](int) { (this->*slot)(); });
    };
    cmd("mnuFileNew", &frmMain::mnuFileNew_Click);
    cmd("mnuFileOpen", &frmMain::mnuFileOpen_Click);
    cmd("mnuFileClose", &frmMain::mnuFileClose_Click);
    cmd("mnuFileCloseAll", &frmMain::mnuFileCloseAll_Click);
    cmd("mnuFileSave", &frmMain::mnuFileSave_Click);
    cmd("mnuFileSaveAs", &frmMain::mnuFileSaveAs_Click);
    cmd("mnuFileExit", &frmMain::mnuFileExit_Click);
    commands_.setHandler("mnuFileMRU", [this](int i) { mnuFileMRU_Click(i); });
    cmd("mnuEditUndo", &frmMain::mnuEditUndo_Click);
    cmd("mnuEditCut", &frmMain::mnuEditCut_Click);
    cmd("mnuEditCopy", &frmMain::mnuEditCopy_Click);
    cmd("mnuEditPaste", &frmMain::mnuEditPaste_Click);
    cmd("mnuEditDelete", &frmMain::mnuEditDelete_Click);
    cmd("mnuEditMarkAll", &frmMain::mnuEditMarkAll_Click);
    cmd("mnuPopCopy", &frmMain::mnuPopCopy_Click);
    cmd("mnuPopPaste", &frmMain::mnuPopPaste_Click);
    cmd("mnuPopCut", &frmMain::mnuPopCut_Click);
    cmd("mnuViewToolbar", &frmMain::mnuViewToolbar_Click);
    cmd("mnuViewStatusBar", &frmMain::mnuViewStatusBar_Click);
    cmd("mnuViewAutoColorNC", &frmMain::mnuViewAutoColorNC_Click);
    cmd("mnuWindowCascade", &frmMain::mnuWindowCascade_Click);
    cmd("mnuWindowTileHorizontal", &frmMain::mnuWindowTileHorizontal_Click);
    cmd("mnuWindowTileVertical", &frmMain::mnuWindowTileVertical_Click);
    cmd("SplitV", &frmMain::splitV_Click);
    cmd("SplitH", &frmMain::splitH_Click);
    cmd("NoSplit", &frmMain::noSplit_Click);
    installNcCommands(this);
    installTransferCommands(this);
    installCncSetupCommands(this);
    installGeneratorCommands(this);
    installEditSetupCommands(this);
    installPrintCommands(this);
    installMacroCommands(this);
    installShellCommands(this);
    installFindCommands(this);
    commands_.updateAllEnabled();
    // The plug-ins are looked for last in the load (MDIForm_Load), once the
    // machine is selected: they may take over any command registered above.
}

// ---------------------------------------------------------------------------
// Opening

void frmMain::setFileFormat(const QString &path)
{
    // A missing file has nothing to classify; its load reports it (once).
    if (RkFileExists(ExpandExePath(path)))
        RkSetFileFormat(path);
}

frmDocument *frmMain::LoadNewDoc()
{
    return RkGuard("LoadNewDoc()", [&]() -> frmDocument * {
        auto *doc = new frmDocument;
        doc->setCaption(session_.words().values().untitled);
        QMdiSubWindow *sub = mdiArea->addSubWindow(doc);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setObjectName("frmDocumentFrame");
        sub->setWindowIcon(documentIcon());
        // The document's own window menu leaves the main menus' keys to them (Ctrl+W).
        if (QMenu *own = sub->systemMenu())
            for (QAction *a : own->actions()) {
                QList<QKeySequence> keys = a->shortcuts();
                keys.removeIf([this](const QKeySequence &k) {
                    for (QAction *m : commands_.actions())
                        if (m->shortcuts().contains(k))
                            return true;
                    return false;
                });
                a->setShortcuts(keys);
            }
        sub->show();
        mdiArea->setActiveSubWindow(sub);
        doc->txtText->setFocus(Qt::OtherFocusReason);
        RkUpdateValidSelections();
        Arrange(arrangementOf(session_.settings().values().defaultTile));
        return doc;
    });
}

frmDocument *frmMain::openDocument(const QString &path, const QString &machine)
{
    frmDocument *doc = LoadNewDoc();
    if (!doc)
        return nullptr;
    doc->setCaption(path);
    doc->sMaskin = machine;
    try {
        doc->FileOpen(path);
    } catch (...) {
        // A window that could not load its file would show an empty text under
        // the file's name, and a save would then overwrite the file: it goes.
        {
            const RkTraceKeep keep;
            if (QMdiSubWindow *sub = subWindowOf(doc)) {
                sub->hide();
                sub->deleteLater();
            }
            RkUpdateValidSelections();
        }
        throw;
    }
    doc->UpdateText();
    RkUpdateGlobalStatus(); // the status bar shows the new text before any key
    return doc;
}

void frmMain::AddToMruList(const QString &sFileToAdd)
{
    RkGuard("AddToMruList()", [&] {
        const QStringList l = addToMru(mruList(), sFileToAdd);
        for (int i = 0; i < kMruCount; ++i)
            setMruCaption(i, l.value(i));
    });
}

QStringList frmMain::mruList() const
{
    QStringList l;
    for (QAction *a : mnuFileMRU)
        l << a->data().toString();
    return l;
}

bool frmMain::RkOkToOpenFile(const QString &path)
{
    for (frmDocument *d : documents()) {
        if (d->caption().toUpper() != path.toUpper())
            continue;
        const int answer = RkMsgBox(QStringLiteral("Filen \"") + path + QStringLiteral("\" är redan öppen.\r\n")
                                        + QStringLiteral("Vill du öppna en kopia?"),
                                    MbButtons::YesNo, MbIcon::Question, appTitle(), 0, this);
        if (answer == MbYes)
            return true;
        if (QMdiSubWindow *sub = subWindowOf(d)) {
            if (sub->isMinimized())
                sub->showNormal();
            mdiArea->setActiveSubWindow(sub);
        }
        d->txtText->setFocus();
        return false;
    }
    return true;
}

static QString withoutQuotes(QString s)
{
    s.remove('"');
    return s;
}

// A file that cannot be opened (missing, a folder, not a regular file,
// unreadable) is told in a plain message, and nothing else happens.
static bool toldUnopenable(QWidget *owner, const QString &path)
{
    const QString problem = RkOpenProblem(path);
    if (problem.isEmpty())
        return false;
    RkMsgBox(openProblemText(path, problem), MbButtons::Ok, MbIcon::Exclamation, appTitle(), 0, owner);
    return true;
}

void frmMain::openOutsidePath(const char *proc, const QString &commandLine)
{
    RkGuard(proc, [&] {
        // The name exactly as given: blanks at either end belong to it.
        QString path = withoutQuotes(commandLine);
        if (path.trimmed().isEmpty())
            return;
        // Captions and the recent-files list hold full paths.
        path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (toldUnopenable(this, path))
            return;
        // Classified like every other way of opening, so the file keeps its line ends.
        setFileFormat(path);
        const auto &hooks = fileSelectorHooks();
        openDocument(path, hooks.machine ? hooks.machine() : QString());
    });
}

void frmMain::openCommandLine(const QString &commandLine) { openOutsidePath("MDIForm_Load()", commandLine); }

void frmMain::openHandedOver(const QString &commandLine) { openOutsidePath("openHandedOver()", commandLine); }

void frmMain::dropFiles(const QStringList &files)
{
    RkTraceProc("dropFiles()");
    const auto &hooks = fileSelectorHooks();
    if (hooks.isVisible && hooks.isVisible())
        return;
    for (const QString &f : files) {
        // One file that fails is reported; the others still open.
        RkGuard("dropFiles()", [&] {
            if (toldUnopenable(this, f))
                return;
            setFileFormat(f);
            openDocument(f, machine());
            AddToMruList(f);
        });
    }
}

void frmMain::dragEnterEvent(QDragEnterEvent *e)
{
    if (!localFilesOf(e->mimeData()).isEmpty()) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void frmMain::dragMoveEvent(QDragMoveEvent *e)
{
    if (!localFilesOf(e->mimeData()).isEmpty()) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void frmMain::dropEvent(QDropEvent *e)
{
    const QStringList files = localFilesOf(e->mimeData());
    if (files.isEmpty()) {
        e->ignore();
        return;
    }
    e->setDropAction(Qt::CopyAction);
    e->accept();
    openDroppedFiles(files);
}

void frmMain::openDroppedFiles(const QStringList &files)
{
    // During long work the files open once it is over, in order with what
    // else waits for its end (a close, a hand-over); otherwise the drop is
    // finished first: what the files show (a message, a question) comes from
    // the event loop, not from inside the drag.
    if (LongWork::underWay())
        LongWork::whenDone(this, [this, files] { dropFiles(files); });
    else
        QTimer::singleShot(0, this, [this, files] { dropFiles(files); });
}

// ---------------------------------------------------------------------------
// File menu

void frmMain::mnuFileNew_Click()
{
    RkGuard("mnuFileNew_Click()", [&] {
        frmDocument *doc = LoadNewDoc();
        if (!doc)
            return;
        doc->sMaskin = machine();
        doc->UpdateText();
        RkUpdateGlobalStatus();
    });
}

void frmMain::mnuFileOpen_Click()
{
    RkGuard("mnuFileOpen_Click()", [&] {
        auto &hooks = fileSelectorHooks();
        QString path, file, chosenMachine;
        const QString root = GetDefaultPath("root"), send = GetDefaultPath("send");
        // The selector shows the normal pointer; the busy one covers the loading.
        if (hooks.choose)
            hooks.choose(this, root, send, path, file, chosenMachine);
        else
            plainOpenDialog(this, root, send, path, file, chosenMachine);
        if (file.isEmpty())
            return; // closed without a choice
        ActiveProgram &active = session_.active();
        active.setFileName(file);
        active.setPath(path);
        if (!RkOkToOpenFile(active.path() + active.fileName()))
            return;
        active.setFile(active.path() + active.fileName());
        WaitCursor busy;
        const QString opened = active.file();
        setFileFormat(opened);
        openDocument(opened, chosenMachine);
        AddToMruList(opened);
    });
}

void frmMain::mnuFileClose_Click()
{
    if (QMdiSubWindow *sub = mdiArea->currentSubWindow(); sub && docOfSub(sub))
        closeSubWindow(sub);
}

bool frmMain::closeSubWindow(QMdiSubWindow *w)
{
    if (!w->close())
        return false;
    RkUpdateValidSelections();
    return true;
}

bool frmMain::closeDocumentsPass()
{
    const auto subs = mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (auto it = subs.crbegin(); it != subs.crend(); ++it) {
        QMdiSubWindow *w = *it;
        if (!w->isHidden() && docOfSub(w))
            closeSubWindow(w); // a cancelled prompt keeps that one; the pass goes on
    }
    return documents().isEmpty();
}

void frmMain::mnuFileCloseAll_Click()
{
    RkGuard("mnuFileCloseAll_Click()", [&] { closeDocumentsPass(); });
}

void frmMain::mnuFileSave_Click()
{
    RkGuard("mnuFileSave_Click()", [&] {
        frmDocument *d = activeDocument();
        if (!d)
            return;
        bool saveAs = false;
        int result = 0;
        RkSaveDocument(d, saveAs, result);
    });
}

void frmMain::mnuFileSaveAs_Click()
{
    RkGuard("mnuFileSaveAs_Click()", [&] {
        frmDocument *d = activeDocument();
        if (!d)
            return;
        bool saveAs = true;
        int result = 0;
        RkSaveDocument(d, saveAs, result);
    });
}

void frmMain::mnuFileMRU_Click(int index)
{
    RkGuard("mnuFileMRU_Click()", [&] {
        if (index < 0 || index >= kMruCount)
            return;
        const QString path = mnuFileMRU[size_t(index)]->data().toString();
        if (!RkFileExists(path)) {
            RkMsgBox(path + QStringLiteral(" kan ej hittas"), MbButtons::Ok, MbIcon::Exclamation, appTitle(), 0,
                     this);
            return;
        }
        if (toldUnopenable(this, path))
            return;
        if (!RkOkToOpenFile(path))
            return;
        session_.active().setFile(path);
        setFileFormat(path);
        openDocument(path, machine());
        AddToMruList(path);
    });
}

void frmMain::mnuFileExit_Click()
{
    RkTraceProc("mnuFileExit_Click()");
    close();
}

// ---------------------------------------------------------------------------
// Edit menu

void frmMain::mnuEditUndo_Click()
{
    if (frmDocument *d = activeDocument())
        d->txtText->setAction(6);
}

namespace {

// A clipboard command of the Edit menu: editor action `action` on the active
// document when `possible` allows it, else a message why it cannot be done.
void clipboardCommand(frmMain *w, const char *name, int action, bool (*possible)(frmDocument *),
                      const QString &message, const QString &title)
{
    RkGuard(name, [&] {
        frmDocument *d = w->activeDocument();
        if (!d)
            return;
        if (possible(d))
            d->txtText->setAction(action);
        else
            RkMsgBox(message, MbButtons::Ok, MbIcon::Information, title, 0, w);
    });
}

bool hasSelection(frmDocument *d) { return d->txtText->SelMark() != 0; }
bool clipboardHasText(frmDocument *) { return !QApplication::clipboard()->text().isEmpty(); }

}

void frmMain::mnuEditCut_Click()
{
    clipboardCommand(this, "mnuEditCut_Click()", 3, hasSelection, QStringLiteral("Ingen text är markerad!"),
                     QStringLiteral("Kan ej klippa ut"));
}

void frmMain::mnuEditCopy_Click()
{
    clipboardCommand(this, "mnuEditCopy_Click()", 1, hasSelection, QStringLiteral("Ingen text är markerad!"),
                     QStringLiteral("Kan ej kopiera till klippbordet"));
}

void frmMain::mnuEditPaste_Click()
{
    clipboardCommand(this, "mnuEditPaste_Click()", 2, clipboardHasText, QStringLiteral("Klippbordet är tomt !"),
                     QStringLiteral("Kan ej klstra in"));
}

void frmMain::mnuEditDelete_Click()
{
    RkGuard("mnuEditDelete_Click()", [&] {
        frmDocument *d = activeDocument();
        if (d && d->txtText->SelMark() != 0)
            d->txtText->setAction(4);
    });
}

void frmMain::mnuEditMarkAll_Click()
{
    RkGuard("mnuEditMarkAll_Click()", [&] {
        frmDocument *d = activeDocument();
        if (!d)
            return;
        Editor *e = d->txtText;
        e->setSelMark(0);
        e->setSelMark(1);
        e->setSelStartX(1);
        e->setSelStartY(1);
        e->setSelEndY(e->Count());
        e->setTextIndex(e->Count());
        e->setSelEndX(int(e->Text().size()) + 1);
        RkUpdateGlobalStatus();
        MnUpdateValidSelections(true);
    });
}

void frmMain::mnuPopCopy_Click() { mnuEditCopy_Click(); }
void frmMain::mnuPopPaste_Click() { mnuEditPaste_Click(); }
void frmMain::mnuPopCut_Click() { mnuEditCut_Click(); }

// ---------------------------------------------------------------------------
// View and windows

void frmMain::mnuViewToolbar_Click()
{
    QAction *a = menuAction("mnuViewToolbar");
    // A checkable item has toggled itself already: follow its new state.
    setCoolBarVisible(a->isChecked());
}

void frmMain::mnuViewStatusBar_Click()
{
    QAction *a = menuAction("mnuViewStatusBar");
    sbStatusBar->setVisible(a->isChecked());
}

void frmMain::mnuViewAutoColorNC_Click()
{
    // The check mark is the switch itself; nothing else to do.
}

void frmMain::mnuWindowCascade_Click()
{
    arrangeNow(kArrangeCascade, false);
    session_.settings().change([](SettingValues &s) { s.defaultTile = QStringLiteral("0"); });
}

void frmMain::mnuWindowTileHorizontal_Click()
{
    arrangeNow(kArrangeTileHorizontal, false);
    session_.settings().change([](SettingValues &s) { s.defaultTile = QStringLiteral("1"); });
}

void frmMain::mnuWindowTileVertical_Click()
{
    arrangeNow(kArrangeTileVertical, false);
    session_.settings().change([](SettingValues &s) { s.defaultTile = QStringLiteral("2"); });
}

void frmMain::splitActive(int type, const QString &key)
{
    frmDocument *d = activeDocument();
    if (!d)
        return;
    d->txtText->setSplitterType(type);
    for (QAction *a : {toolButton("tbrWin", key), toolButton("tbToolBar", key)})
        if (a)
            a->setChecked(true);
    tbrWin->update();
    MnUpdateValidSelections(true);
}

void frmMain::splitV_Click() { splitActive(1, QStringLiteral("SplitV")); }
void frmMain::splitH_Click() { splitActive(2, QStringLiteral("SplitH")); }
void frmMain::noSplit_Click() { splitActive(0, QStringLiteral("NoSplit")); }

}
