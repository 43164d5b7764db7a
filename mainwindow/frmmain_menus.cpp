// The main window's menus: each menu, menu item and named separator, its
// built-in caption, language id and key, in the order the menu bar shows
// them. Each item is its command's one action in the command registry.
#include "mainwindow/frmmain.h"

#include "core/language.h"
#include "documents/frmdocument.h"
#include "mainwindow/mainlanguage.h"

#include <QAction>
#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace lumrik {

namespace {
// The address of the maker's home page, shown as the caption of its Help item.
const QString kHomePage = QStringLiteral("www.lumrik.se");
}

QAction *frmMain::addItem(QMenu *menu, const char *name, const QString &caption, const QKeySequence &key)
{
    const QString n = QString::fromLatin1(name);
    QAction *a = menu->addAction(caption.isEmpty() ? builtInCaption(name) : caption);
    a->setObjectName(n);
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    for (const MenuText &m : mainMenuTexts())
        if (qstrcmp(m.name, name) == 0)
            setTag(a, m.id);
    CommandRegistry::setCommandOf(a, n);
    commands_.insert(n, a);
    connect(a, &QAction::triggered, this, [this, n] { runCommand(n); });
    return a;
}

QMenu *frmMain::addMenu(QMenu *parent, const char *name, const QString &caption)
{
    const QString n = QString::fromLatin1(name);
    const QString text = caption.isEmpty() ? builtInCaption(name) : caption;
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

// A separator with a name (the command state and plug-ins address some).
static QAction *namedSeparator(QMenu *menu, const QString &name, bool visible)
{
    QAction *s = menu->addSeparator();
    s->setObjectName(name);
    s->setVisible(visible);
    return s;
}

void frmMain::buildMenus()
{
    // Arkiv
    QMenu *file = addMenu(nullptr, "mnuFile");
    addItem(file, "mnuFileNew", {}, QKeySequence(Qt::CTRL | Qt::Key_N));
    addItem(file, "mnuFileOpen", {}, QKeySequence(Qt::CTRL | Qt::Key_O));
    addItem(file, "mnuFileClose");
    addItem(file, "mnuFileCloseAll");
    file->addSeparator();
    addItem(file, "mnuFileSave", {}, QKeySequence(Qt::CTRL | Qt::Key_S));
    addItem(file, "mnuFileSaveAs");
    file->addSeparator();
    addItem(file, "mnuFilePrintSetup");
    addItem(file, "mnuFilePrintPreview", QStringLiteral("Print Pre&view"))->setVisible(false);
    addItem(file, "mnuFilePrint", {}, QKeySequence(Qt::CTRL | Qt::Key_P));
    commands_.insert("mnuFileBar4", namedSeparator(file, "mnuFileBar4", true));
    addItem(file, "mnuEditSetup");
    addItem(file, "mnuCncSetup");
    commands_.insert("mnuFilePlugins0", namedSeparator(file, "mnuFilePlugins0", false));
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
    addItem(edit, "mnuEditUndo", {}, QKeySequence(Qt::CTRL | Qt::Key_Z));
    edit->addSeparator();
    addItem(edit, "mnuEditCut", {}, QKeySequence(Qt::CTRL | Qt::Key_X));
    addItem(edit, "mnuEditCopy", {}, QKeySequence(Qt::CTRL | Qt::Key_C));
    addItem(edit, "mnuEditPaste", {}, QKeySequence(Qt::CTRL | Qt::Key_V));
    addItem(edit, "mnuEditDelete", {}, QKeySequence(Qt::CTRL | Qt::Key_D));
    edit->addSeparator();
    addItem(edit, "mnuEditMarkAll", {}, QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator();
    addItem(edit, "mnuEditFind", {}, QKeySequence(Qt::CTRL | Qt::Key_F));
    addItem(edit, "mnuEditReplace", {}, QKeySequence(Qt::CTRL | Qt::Key_E));
    commands_.insert("mnuEditPlugins0", namedSeparator(edit, "mnuEditPlugins0", false));

    // Visa
    QMenu *view = addMenu(nullptr, "mnuView");
    QAction *tb = addItem(view, "mnuViewToolbar");
    tb->setCheckable(true);
    tb->setChecked(true);
    QAction *sb = addItem(view, "mnuViewStatusBar");
    sb->setCheckable(true);
    sb->setChecked(true);
    view->addSeparator();
    addItem(view, "mnuViewLines")->setCheckable(true);
    addItem(view, "mnuViewBoldComments", {}, QKeySequence(Qt::Key_F12));
    addItem(view, "mnuViewColorNC", {}, QKeySequence(Qt::Key_F11));
    mnuViewAutoColorNC = addItem(view, "mnuViewAutoColorNC", QStringLiteral("Automatisk färgkodning"));
    mnuViewAutoColorNC->setCheckable(true);
    mnuViewAutoColorNC->setVisible(false);
    commands_.insert("mnuViewPlugins0", namedSeparator(view, "mnuViewPlugins0", false));

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
    addItem(nc, "mnuOptionPunktKoll", QStringLiteral("&Decimalpunkt"));
    nc->addSeparator();
    addItem(nc, "mnuHelix");
    addItem(nc, "mnuBult");
    addItem(nc, "mnuOptionSkardata");
    addItem(nc, "mnuUnderProg")->setVisible(false);
    nc->addSeparator();
    addItem(nc, "mnuOptionKalmero");
    mnuCompare = addItem(nc, "mnuCompare");
    commands_.insert("mnuNcOptionsPlugins0", namedSeparator(nc, "mnuNcOptionsPlugins0", false));

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
    commands_.insert("mnuMacroPlugins0", namedSeparator(macro, "mnuMacroPlugins0", false));

    // Kommunikation
    QMenu *comm = addMenu(nullptr, "mnuTxdRxd");
    addItem(comm, "mnuTxd2Cnc", {}, QKeySequence(Qt::Key_F5));
    addItem(comm, "mnuRxdFromCnc", {}, QKeySequence(Qt::Key_F8));
    commands_.insert("mnuTxdRxdPlugins0", namedSeparator(comm, "mnuTxdRxdPlugins0", true));

    // Simulering: kept in the layout, hidden.
    QMenu *sim = addMenu(nullptr, "mnuSimulera", QStringLiteral("&Simulering"));
    addItem(sim, "mnuSimulate", QStringLiteral("Simulera"));
    addItem(sim, "mnuSimulate2", QStringLiteral("Simulera snabb"));
    sim->addSeparator();
    addItem(sim, "mnuSimMaskin", QStringLiteral("Maskin..."));
    addItem(sim, "mnuSimTools", QStringLiteral("Verktyg..."));
    addItem(sim, "mnuSimMaterial", QStringLiteral("Material..."));
    addItem(sim, "mnuSimSetup", QStringLiteral("Inställningar..."));
    sim->addSeparator();
    addItem(sim, "mnuSimOpenProj", QStringLiteral("Öppna projekt..."));
    addItem(sim, "mnuSimSaveProj", QStringLiteral("Spara projekt..."));
    commands_.insert("mnuSimuleraPlugins0", namedSeparator(sim, "mnuSimuleraPlugins0", false));
    sim->menuAction()->setVisible(false);

    // Verktyg: only plug-ins put anything here; hidden until one does.
    QMenu *tools = addMenu(nullptr, "mnuTools", QStringLiteral("&Verktyg"));
    commands_.insert("mnuToolsPlugins0", namedSeparator(tools, "mnuToolsPlugins0", true));
    tools->menuAction()->setVisible(false);

    // Fönster, with the list of open documents below its three entries.
    QMenu *win = addMenu(nullptr, "mnuWindow");
    addItem(win, "mnuWindowCascade");
    addItem(win, "mnuWindowTileHorizontal");
    addItem(win, "mnuWindowTileVertical", {}, QKeySequence(Qt::CTRL | Qt::Key_W));
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
    addItem(help, "mnuHelpContents", QStringLiteral("&Innehåll"));
    addItem(help, "mnuHelpSearch", QStringLiteral("&Sök hjälp om..."));
    addItem(help, "mnuHelpHowToDo", QStringLiteral("&Hur gör jag för att..."));
    help->addSeparator();
    addItem(help, "mnuHelpWeb", kHomePage);
    addItem(help, "mnuHelpUpdates", QStringLiteral("Sök &uppdatering..."));
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
    QAction *next = addItem(mnuPopup, "mnuPopSearchNext");
    next->setShortcut(QKeySequence(Qt::Key_F3));
    next->setShortcutContext(Qt::WidgetShortcut); // the document window handles F3 itself
    addItem(mnuPopup, "mnuColorIt");
}


}
