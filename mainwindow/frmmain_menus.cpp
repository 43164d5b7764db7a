// The main window's menus: where each menu, menu item and named separator
// goes, in the order the menu bar shows them. Each item is its command's one
// action, made by the command registry from the command table
// (commanddefs.cpp: caption, key, picture, flags).
#include "mainwindow/frmmain.h"

#include "core/language.h"
#include "documents/frmdocument.h"
#include "mainwindow/commanddefs.h"
#include "mainwindow/mainlanguage.h"

#include <QAction>
#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace lumrik {

QAction *frmMain::addItem(QMenu *menu, const char *name)
{
    const CommandEntry *entry = commandEntry(name);
    Q_ASSERT(entry);
    QAction *a = commands_.create(*entry, menu);
    menu->addAction(a);
    const QString n = QString::fromLatin1(name);
    connect(a, &QAction::triggered, this, [this, n] { runCommand(n); });
    return a;
}

QMenu *frmMain::addMenu(QMenu *parent, const char *name)
{
    const CommandEntry *entry = commandEntry(name);
    Q_ASSERT(entry);
    const QString n = QString::fromLatin1(name);
    const QString text = entry->caption ? QString::fromUtf8(entry->caption) : builtInCaption(name);
    QMenu *m = parent ? parent->addMenu(text) : menuBar()->addMenu(text);
    m->setObjectName(n);
    m->menuAction()->setObjectName(n);
    for (const MenuText &t : mainMenuTexts())
        if (qstrcmp(t.name, name) == 0)
            setTag(m->menuAction(), t.id);
    commands_.insert(n, m->menuAction());
    menus_.insert(n, m);
    return m;
}

// A separator with a name (the command state and plug-ins address some),
// registered under that name.
static void namedSeparator(CommandRegistry &commands, QMenu *menu, const QString &name, bool visible)
{
    QAction *s = menu->addSeparator();
    s->setObjectName(name);
    s->setVisible(visible);
    commands.insert(name, s);
}

// The separator of a menu after which plug-ins put their items there: the
// menu's name followed by "Plugins0".
static void pluginsSeparator(CommandRegistry &commands, QMenu *menu, bool visible)
{
    namedSeparator(commands, menu, menu->objectName() + QStringLiteral("Plugins0"), visible);
}

void frmMain::buildMenus()
{
    // Arkiv
    QMenu *file = addMenu(nullptr, "mnuFile");
    addItem(file, "mnuFileNew");
    addItem(file, "mnuFileOpen");
    addItem(file, "mnuFileClose");
    addItem(file, "mnuFileCloseAll");
    file->addSeparator();
    addItem(file, "mnuFileSave");
    addItem(file, "mnuFileSaveAs");
    file->addSeparator();
    addItem(file, "mnuFilePrintSetup");
    addItem(file, "mnuFilePrintPreview");
    addItem(file, "mnuFilePrint");
    namedSeparator(commands_, file, "mnuFileBar4", true);
    addItem(file, "mnuEditSetup");
    addItem(file, "mnuCncSetup");
    pluginsSeparator(commands_, file, false);
    file->addSeparator();
    for (int i = 0; i < 4; ++i) {
        QAction *a = file->addAction(QString());
        a->setObjectName(QStringLiteral("mnuFileMRU%1").arg(i));
        CommandRegistry::setCommandOf(a, "mnuFileMRU");
        a->setVisible(false);
        commands_.insert(a->objectName(), a);
        connect(a, &QAction::triggered, this, [this, i] { runCommand("mnuFileMRU", i); });
        mnuFileMRU[i] = a;
    }
    file->addSeparator();
    addItem(file, "mnuFileExit");

    // Redigera
    QMenu *edit = addMenu(nullptr, "mnuEdit");
    addItem(edit, "mnuEditUndo");
    edit->addSeparator();
    addItem(edit, "mnuEditCut");
    addItem(edit, "mnuEditCopy");
    addItem(edit, "mnuEditPaste");
    addItem(edit, "mnuEditDelete");
    edit->addSeparator();
    addItem(edit, "mnuEditMarkAll");
    edit->addSeparator();
    addItem(edit, "mnuEditFind");
    addItem(edit, "mnuEditReplace");
    pluginsSeparator(commands_, edit, false);

    // Visa
    QMenu *view = addMenu(nullptr, "mnuView");
    addItem(view, "mnuViewToolbar");
    addItem(view, "mnuViewStatusBar");
    view->addSeparator();
    addItem(view, "mnuViewLines");
    addItem(view, "mnuViewBoldComments");
    addItem(view, "mnuViewColorNC");
    mnuViewAutoColorNC = addItem(view, "mnuViewAutoColorNC");
    pluginsSeparator(commands_, view, false);

    // NcOption
    QMenu *nc = addMenu(nullptr, "mnuNcOptions");
    addItem(nc, "mnuNcOptionsOmnum");
    addItem(nc, "mnuNcOptionsToolList");
    addItem(nc, "mnuViewXYZ");
    nc->addSeparator();
    addItem(nc, "mnuViewClearchars");
    addItem(nc, "mnuViewUppercase");
    addItem(nc, "mnuViewUnPack");
    addItem(nc, "mnuViewPack");
    addItem(nc, "mnuOptionPunktKoll");
    nc->addSeparator();
    addItem(nc, "mnuHelix");
    addItem(nc, "mnuBult");
    addItem(nc, "mnuOptionSkardata");
    addItem(nc, "mnuUnderProg");
    nc->addSeparator();
    addItem(nc, "mnuOptionKalmero");
    mnuCompare = addItem(nc, "mnuCompare");
    pluginsSeparator(commands_, nc, false);

    // Macro
    QMenu *macro = addMenu(nullptr, "mnuMacro");
    for (int i = 0; i < 10; ++i) {
        QAction *a = macro->addAction(i == 0 ? QStringLiteral("Standard") : QString());
        a->setObjectName(QStringLiteral("mnuSubMacro%1").arg(i));
        CommandRegistry::setCommandOf(a, "mnuSubMacro");
        a->setVisible(i == 0);
        commands_.insert(a->objectName(), a);
        connect(a, &QAction::triggered, this, [this, i] { runCommand("mnuSubMacro", i); });
        mnuSubMacro[i] = a;
    }
    pluginsSeparator(commands_, macro, false);

    // Kommunikation
    QMenu *comm = addMenu(nullptr, "mnuTxdRxd");
    addItem(comm, "mnuTxd2Cnc");
    addItem(comm, "mnuRxdFromCnc");
    pluginsSeparator(commands_, comm, true);

    // Simulering: kept in the layout, hidden.
    QMenu *sim = addMenu(nullptr, "mnuSimulera");
    addItem(sim, "mnuSimulate");
    addItem(sim, "mnuSimulate2");
    sim->addSeparator();
    addItem(sim, "mnuSimMaskin");
    addItem(sim, "mnuSimTools");
    addItem(sim, "mnuSimMaterial");
    addItem(sim, "mnuSimSetup");
    sim->addSeparator();
    addItem(sim, "mnuSimOpenProj");
    addItem(sim, "mnuSimSaveProj");
    pluginsSeparator(commands_, sim, false);
    sim->menuAction()->setVisible(false);

    // Verktyg: only plug-ins put anything here; hidden until one does.
    QMenu *tools = addMenu(nullptr, "mnuTools");
    pluginsSeparator(commands_, tools, true);
    tools->menuAction()->setVisible(false);

    // Fönster, with the list of open documents below its three entries.
    QMenu *win = addMenu(nullptr, "mnuWindow");
    addItem(win, "mnuWindowCascade");
    addItem(win, "mnuWindowTileHorizontal");
    addItem(win, "mnuWindowTileVertical");
    QAction *listStart = win->addSeparator();
    listStart->setObjectName("mnuWindowListBar");
    connect(win, &QMenu::aboutToShow, this, [this, win, listStart] {
        // Rebuild the list below the separator.
        const auto all = win->actions();
        for (qsizetype i = all.indexOf(listStart) + 1; i < all.size(); ++i) {
            win->removeAction(all[i]);
            all[i]->deleteLater();
        }
        delete win->findChild<QActionGroup *>("mnuWindowListGroup");
        auto *group = new QActionGroup(win);
        group->setObjectName("mnuWindowListGroup");
        const auto docs = documents();
        listStart->setVisible(!docs.isEmpty());
        int n = 0;
        for (frmDocument *d : docs) {
            ++n;
            QString title = d->windowTitle();
            title.replace('&', "&&");
            QAction *a = win->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title) : title);
            a->setObjectName(QStringLiteral("mnuWindowList%1").arg(n));
            a->setCheckable(true);
            a->setChecked(d == activeDocument());
            a->setActionGroup(group);
            QPointer<frmDocument> doc(d);
            connect(a, &QAction::triggered, this, [this, doc] {
                QMdiSubWindow *sub = doc ? qobject_cast<QMdiSubWindow *>(doc->parentWidget()) : nullptr;
                if (!sub)
                    return;
                if (sub->isMinimized())
                    sub->showNormal();
                mdiArea->setActiveSubWindow(sub);
                doc->txtText->setFocus();
            });
        }
    });

    // Hjälp
    QMenu *help = addMenu(nullptr, "mnuHelp");
    addItem(help, "mnuHelpContents");
    addItem(help, "mnuHelpSearch");
    addItem(help, "mnuHelpHowToDo");
    help->addSeparator();
    addItem(help, "mnuHelpWeb");
    addItem(help, "mnuHelpUpdates");
    help->addSeparator();
    addItem(help, "mnuHelpAbout");

    // The editor's context menu, never in the menu bar.
    mnuPopup = new QMenu(QStringLiteral("PopUp"), this);
    mnuPopup->setObjectName("mnuPopup");
    menus_.insert("mnuPopup", mnuPopup);
    addItem(mnuPopup, "mnuPopCopy");
    addItem(mnuPopup, "mnuPopPaste");
    addItem(mnuPopup, "mnuPopCut");
    mnuPopup->addSeparator();
    addItem(mnuPopup, "mnuPopSearch");
    addItem(mnuPopup, "mnuPopSearchNext");
    addItem(mnuPopup, "mnuColorIt");
}


}
