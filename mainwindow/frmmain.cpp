#include "mainwindow/frmmain.h"
#include "mainwindow/commands_plugins.h"

#include "core/currentmachine.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/inifile.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/progress.h"
#include "core/paths.h"
#include "core/services.h"
#include "core/settings.h"
#include "documents/frmdocument.h"
#include "documents/saving.h"
#include "mainwindow/arrange.h"
#include "mainwindow/icons.h"
#include "mainwindow/integration.h"
#include "mainwindow/machinekeys.h"
#include "mainwindow/mainlanguage.h"
#include "mainwindow/mdibackground.h"
#include "mainwindow/recentfiles.h"
#include "mainwindow/toolbarlayout.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace lumrik {

namespace {
frmMain *gMainWindow = nullptr;

}

// The document window of a sub-window of the document area.
frmDocument *frmMain::docOfSub(QMdiSubWindow *w)
{
    return w ? qobject_cast<frmDocument *>(w->widget()) : nullptr;
}

FileSelectorHooks &fileSelectorHooks()
{
    static FileSelectorHooks h;
    return h;
}

frmMain *frmMain::instance() { return gMainWindow; }

frmMain::frmMain(const QString &commandLineFile, QWidget *parent)
    : frmMain(programSession(), commandLineFile, parent)
{
}

frmMain::frmMain(Session &session, const QString &commandLineFile, QWidget *parent)
    : QMainWindow(parent), session_(session), commandLineFile_(commandLineFile)
{
    setObjectName("frmMain");
    setWindowTitle("Lumrik-32");
    setAcceptDrops(true);
    // Without a desktop icon theme (a bare session) the common one is used when present.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, "icons", QStandardPaths::LocateDirectory))
            if (!paths.contains(dir))
                paths << dir;
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
    setWindowIcon(documentIcon());

    mdiArea = new QMdiArea(this);
    mdiArea->setObjectName("mdiArea");
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->installEventFilter(this);
    mdiArea->viewport()->installEventFilter(this); // window-message hook: the wheel
    setCentralWidget(mdiArea);
    connect(mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
        if (docOfSub(w))
            MnUpdateValidSelections(true);
    });

    buildMenus();
    buildToolBars();
    buildStatusBar();
    registerBuiltInCommands();
    // A key of a menu does what the menu does, also while an editor has the focus.
    QList<QKeySequence> keys;
    for (QAction *a : findChildren<QAction *>())
        if (a->shortcutContext() != Qt::WidgetShortcut)
            keys << a->shortcuts();
    Editor::releaseKeys(keys);

    gMainWindow = this;
    setDocumentHost(this);
    // The selector shows the machine another window chooses.
    session_.machine().setSelectorOwner(this);
    connect(&session_.machine(), &CurrentMachine::chosen, this, [this](const QString &name) {
        if (session_.machine().selectorOwner() == this)
            SelectComboItem(name, comboMaskiner);
    });
    setSavedFileHook([this](const QString &path) { AddToMruList(path); });
    // Ending the program from the error report never throws away typed text.
    setForcedExitPrompt([this] {
        for (frmDocument *d : documents())
            OfferSaveBeforeForcedExit(d);
    });
    MDIForm_Load();
}

frmMain::~frmMain()
{
    destroying_ = true;
    // Document windows go first, while the host is still registered.
    const auto subs = mdiArea->subWindowList();
    for (QMdiSubWindow *w : subs)
        delete w;
    session_.machine().releaseSelector(this);
    if (documentHost() == this) {
        setDocumentHost(nullptr);
        setSavedFileHook({});
    }
    if (gMainWindow == this) {
        setForcedExitPrompt({});
        gMainWindow = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Building the window

QToolBar *frmMain::addBand(const char *name, const QString &title)
{
    QToolBar *bar = new QToolBar(title, this);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    addToolBar(Qt::TopToolBarArea, bar);
    bands_ << bar;
    bandShown_.insert(bar, true);
    return bar;
}

QAction *frmMain::addButton(QToolBar *bar, const QString &key, const QString &tip, bool visible)
{
    QAction *a = bar->addAction(toolbarIcon(key), tip.isEmpty() ? key : tip);
    a->setData(key);
    a->setToolTip(tip);
    a->setObjectName(bar->objectName() + '_' + key);
    CommandRegistry::setCommandOf(a, commandOfKey(key));
    a->setVisible(visible);
    commands_.insert(bar->objectName() + ':' + key, a);
    return a;
}

QAction *frmMain::placeMenuItem(QToolBar *bar, const QString &key, const QString &tip)
{
    QAction *a = commands_.action(commandOfKey(key));
    Q_ASSERT(a); // its picture comes with the command (commanddefs.cpp)
    a->setToolTip(tip);
    a->setData(key);
    bar->addAction(a);
    // The button keeps the name the band gives it; the action keeps the item's.
    if (QWidget *button = bar->widgetForAction(a))
        button->setObjectName(bar->objectName() + '_' + key);
    commands_.insert(bar->objectName() + ':' + key, a);
    return a;
}

void frmMain::addButtons(QToolBar *bar, const std::vector<ToolButtonSpec> &buttons, bool dispatch)
{
    for (const ToolButtonSpec &b : buttons) {
        if (!b.key) {
            bar->addSeparator();
            continue;
        }
        const QString key = QString::fromUtf8(b.key);
        if (b.placesMenuItem) {
            placeMenuItem(bar, key, QString::fromUtf8(b.tip)); // runs its command as the menu item
            continue;
        }
        QAction *a = addButton(bar, key, QString::fromUtf8(b.tip), b.visible);
        if (b.checkable)
            a->setCheckable(true);
        if (dispatch)
            connect(a, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
    }
}

void frmMain::buildToolBars()
{
    // The hidden main toolbar: updated like the others, never shown.
    tbToolBar = new QToolBar(QStringLiteral("Verktygsfält"), this);
    tbToolBar->setObjectName("tbToolBar");
    addToolBar(Qt::TopToolBarArea, tbToolBar);
    addButtons(tbToolBar, mainToolBarButtons(), true);
    tbToolBar->hide();
    tbToolBar->toggleViewAction()->setVisible(false); // nothing shows it
    addToolBarBreak(Qt::TopToolBarArea);

    // CoolBar1's bands.
    QToolBar **const commandBars[] = {&tbrFile, &tbrEdit, &tbrComm, &tbrOptions, &tbrWin, &tbrShow};
    const std::vector<ToolBandSpec> &bands = commandBands();
    for (size_t i = 0; i < bands.size(); ++i) {
        *commandBars[i] = addBand(bands[i].name, QString::fromUtf8(bands[i].title));
        addButtons(*commandBars[i], bands[i].buttons, true);
    }

    tbrMaskin = addBand("tbrMaskin", QStringLiteral("Maskin"));
    QLabel *machineLabel = new QLabel(QStringLiteral(" Maskin: "), tbrMaskin);
    machineLabel->setObjectName("lblMaskin");
    tbrMaskin->addWidget(machineLabel);
    comboMaskiner = new QComboBox(tbrMaskin);
    comboMaskiner->setObjectName("comboMaskiner");
    comboMaskiner->setMinimumContentsLength(12);
    comboMaskiner->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboMaskiner->setToolTip(QStringLiteral("Aktiv maskin"));
    tbrMaskin->addWidget(comboMaskiner);
    connect(comboMaskiner, &QComboBox::currentIndexChanged, this, [this](int) {
        reportShownMachine();
        comboMaskiner_Click();
    });

    tbrSim = addBand(simulationBand().name, QString::fromUtf8(simulationBand().title));
    addButtons(tbrSim, simulationBand().buttons, false); // no click handling
    bandShown_[tbrSim] = false;
    tbrSim->hide();
    tbrSim->toggleViewAction()->setVisible(false);

    tbPlugins = addBand("tbPlugins", QStringLiteral("Plugins"));
    for (int i = 1; i <= 16; ++i) {
        QAction *a = tbPlugins->addAction(QString());
        a->setObjectName(QStringLiteral("tbPlugins_%1").arg(i));
        a->setVisible(false);
    }
    bandShown_[tbPlugins] = false;
    tbPlugins->hide();
    tbPlugins->toggleViewAction()->setVisible(false);
}

void frmMain::buildStatusBar()
{
    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName("sbStatusBar");
    setStatusBar(sbStatusBar);
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(sbStatusBar);
        panels_[i]->setObjectName(QStringLiteral("sbStatusBarPanel%1").arg(i + 1));
        panels_[i]->setContentsMargins(6, 0, 6, 0);
        if (i == 0)
            sbStatusBar->addWidget(panels_[i], 1);
        else
            sbStatusBar->addPermanentWidget(panels_[i]);
    }
    panels_[1]->setMinimumWidth(70);
    panels_[2]->setMinimumWidth(130);
    panels_[3]->setMinimumWidth(220);
}

// ---------------------------------------------------------------------------
// Controls by name

QAction *frmMain::menuAction(const QString &name) const
{
    // Menu items and menus only, not the toolbar buttons the registry also knows.
    return name.contains(QLatin1Char(':')) ? nullptr : commands_.action(name);
}
QMenu *frmMain::menu(const QString &name) const { return menus_.value(name); }

QToolBar *frmMain::toolBar(const QString &name) const
{
    if (name == QLatin1String("tbToolBar"))
        return tbToolBar;
    for (QToolBar *b : bands_)
        if (b->objectName() == name)
            return b;
    return nullptr;
}

QAction *frmMain::toolButton(const QString &key) const { return toolButton("tbToolBar", key); }

QAction *frmMain::toolButton(const QString &toolbar, const QString &key) const
{
    return commands_.action(toolbar + ':' + key);
}

void frmMain::setCoolBarVisible(bool visible)
{
    coolBarVisible_ = visible;
    for (QToolBar *b : bands_)
        b->setVisible(visible && bandShown_.value(b, true));
}

QString frmMain::machine() const
{
    // The selector is the current machine's view: what it shows is kept there.
    const CurrentMachine &m = session_.machine();
    return m.selectorOwner() == this ? m.shown() : comboMaskiner->currentText();
}

// ---------------------------------------------------------------------------
// Commands and their enabling

QString frmMain::commandOfKey(const QString &key) { return commandOfToolKey(key); }

void frmMain::setCommand(const QString &name, std::function<void()> handler)
{
    if (handler)
        commands_.setHandler(name, [h = std::move(handler)](int) { h(); });
    else
        commands_.setHandler(name, {});
}

void frmMain::setIndexedCommand(const QString &name, std::function<void(int)> handler)
{
    commands_.setHandler(name, std::move(handler));
}

bool frmMain::hasCommand(const QString &name) const { return commands_.has(name); }

void frmMain::runCommand(const QString &name, int index) { commands_.run(name, index); }

void frmMain::tbToolBar_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Subprogram"))
        return;
    const QString command = commandOfKey(key);
    if (command.isEmpty()) {
        RkMsgBox(QStringLiteral("Vald funktion finns ej!"), MbButtons::Ok, MbIcon::None, QString(), 0, this);
        return;
    }
    runCommand(command);
}

void frmMain::applyStates(const std::vector<ItemState> &states)
{
    // A button that places its menu item's action appears in the table under
    // both names: each flag of each action is set once, to the last value the
    // table gives it.
    struct Flag {
        QAction *action;
        ItemProp prop;
        bool value;
    };
    std::vector<Flag> flags;
    QHash<QPair<QAction *, int>, size_t> index;
    for (const ItemState &s : states) {
        if (QToolBar *band = s.item.contains(':') ? nullptr : toolBar(s.item)) {
            if (s.prop == ItemProp::Visible) {
                bandShown_[band] = s.value;
                band->setVisible(coolBarVisible_ && s.value);
            }
            continue;
        }
        QAction *action = commands_.action(s.item);
        if (!action)
            continue;
        const auto key = qMakePair(action, int(s.prop));
        if (const auto it = index.constFind(key); it != index.constEnd()) {
            flags[*it].value = s.value;
        } else {
            index.insert(key, flags.size());
            flags.push_back({action, s.prop, s.value});
        }
    }
    for (const Flag &f : flags) {
        switch (f.prop) {
        case ItemProp::Enabled:
            commands_.setAllowed(f.action, f.value);
            break;
        case ItemProp::Visible:
            f.action->setVisible(f.value);
            break;
        case ItemProp::Checked:
            if (f.action->isCheckable())
                f.action->setChecked(f.value);
            break;
        }
    }
}

SelectionInputs frmMain::selectionInputs()
{
    SelectionInputs in;
    frmDocument *d = activeDocument();
    if (!d || !d->txtText)
        return in;
    in.hasActive = true;
    in.hasSelection = d->txtText->SelStartOffset() != d->txtText->SelEndOffset();
    in.selMark = d->txtText->SelMark() != 0;
    in.splitterType = d->txtText->SplitterType();
    return in;
}

void frmMain::MnUpdateValidSelections(bool bCurStatus)
{
    if (destroying_)
        return;
    if (frmDocument *d = activeDocument())
        SelectComboItem(d->sMaskin, comboMaskiner);
    applyStates(selectionCommandState(bCurStatus, selectionInputs(), session_.settings().values().kollegieBlock));
}

void frmMain::RkUpdateValidSelections()
{
    if (destroying_)
        return;
    RkGuard("RkUpdateValidSelections()", [&] {
        CommandInputs in;
        in.documentCount = int(documents().size());
        if (in.documentCount == 0)
            session_.active().setEditor(0);
        if (frmDocument *d = activeDocument())
            SelectComboItem(d->sMaskin, comboMaskiner);
        in.selection = selectionInputs();
        const SettingValues &settings = session_.settings().values();
        in.kollegieBlock = settings.kollegieBlock;
        in.setupAllowed = settings.setupAllowed;
        in.useKalmero = settings.useKalmero;
        applyStates(fullCommandState(in));
    });
}

// ---------------------------------------------------------------------------
// Documents

frmDocument *frmMain::activeDocument()
{
    QMdiSubWindow *w = mdiArea->currentSubWindow();
    if (!w || w->isHidden())
        return nullptr;
    return docOfSub(w);
}

QList<frmDocument *> frmMain::documents()
{
    QList<frmDocument *> out;
    for (QMdiSubWindow *w : mdiArea->subWindowList(QMdiArea::CreationOrder))
        if (frmDocument *d = docOfSub(w); d && !w->isHidden())
            out << d;
    return out;
}

void frmMain::setStatusPanel(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 4)
        panels_[panel - 1]->setText(text);
}

QString frmMain::statusPanel(int panel) const
{
    return panel >= 1 && panel <= 4 ? panels_[panel - 1]->text() : QString();
}

void frmMain::setSaveButtonsEnabled(bool enabled)
{
    for (QAction *a : {toolButton("tbrFile", "Save"), toolButton("tbToolBar", "Save")})
        if (a) {
            commands_.setAllowed(a, enabled);
        }
}

void frmMain::showDocumentPopup(const QPoint &globalPos, bool canPaste, bool canCutCopy)
{
    applyStates({{"mnuPopPaste", ItemProp::Enabled, canPaste},
                 {"mnuPopCut", ItemProp::Enabled, canCutCopy},
                 {"mnuPopCopy", ItemProp::Enabled, canCutCopy}});
    mnuPopup->popup(globalPos);
}

// Arrangement when documents come and go: a maximised document stays so.
void frmMain::Arrange(int arrangement) { arrangeNow(arrangement, true); }

void frmMain::arrangeNow(int arrangement, bool automatic)
{
    QList<QMdiSubWindow *> wins;
    const auto stack = mdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) // the active window first
        if (!(*it)->isHidden() && !(*it)->isMinimized())
            wins << *it;
    if (wins.isEmpty())
        return;
    if (automatic)
        for (QMdiSubWindow *w : wins)
            if (w->isMaximized())
                return; // a maximised document keeps filling the area
    std::vector<QRect> rects;
    if (arrangement == kArrangeCascade) {
        // The bottom window first, so that the active one ends on top, one step further.
        std::reverse(wins.begin(), wins.end());
        QMdiSubWindow *w = wins.front();
        QStyleOptionTitleBar title;
        title.initFrom(w);
        const int step = w->style()->pixelMetric(QStyle::PM_TitleBarHeight, &title, w)
                         + w->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, w);
        rects = cascadeRects(mdiArea->viewport()->size(), int(wins.size()), step);
    } else {
        rects = tileRects(arrangement, mdiArea->viewport()->size(), int(wins.size()));
    }
    for (int i = 0; i < int(wins.size()) && i < int(rects.size()); ++i) {
        if (wins[i]->isMaximized())
            wins[i]->showNormal();
        wins[i]->setGeometry(rects[size_t(i)]);
    }
}

// ---------------------------------------------------------------------------
// Load, start and unload

void frmMain::MDIForm_Load()
{
    RkGuard("MDIForm_Load()", [&] {
        HelpInit(this);
        session_.features().change([](FeatureValues &f) {
            f.cncComm = f.decCheck = f.helix = f.macro = f.subFix = f.macBild = true;
        });
        RkUpdateValidSelections();
        mnuViewAutoColorNC->setChecked(
            toTruth(GetIniSetting("Settings", "AutoColor", "True")).value_or(true));
        fillMachineSelector();
        // Background of the document area.
        background_ = new CMdiBackground(this);
        background_->setClient(mdiArea);
        background_->setColor(0, session_.settings().values().noBack ? (80 | 80 << 8 | 80 << 16) : 0xC28D2B);
        background_->setColor(1, 0x473715);
        background_->setBackStyle(1);
        background_->setGraphicPosition(1);
        background_->setAutoRefresh(true);
        background_->setGraphic(imgBackPicture());
        bool present = false;
        int lines = 0;
        GetWheelScrollLines(present, lines);
        wheelLines_ = present ? lines : 0;
        // Last: a plug-in's sethost sees the selected machine's settings.
        installPluginHost(this);
    });
}

void frmMain::fillMachineSelector()
{
    {
        const QSignalBlocker block(comboMaskiner);
        FillComboWithFiles(gsDataPath, QStringLiteral("cfg"), comboMaskiner);
        comboMaskiner->setCurrentIndex(-1);
    }
    reportShownMachine();
    // A match raises the selector's click, which loads the machine's keys.
    SelectComboItem(GetIniSetting("Settings", "LastCnc"), comboMaskiner);
}

void frmMain::reportShownMachine()
{
    if (session_.machine().selectorOwner() == this)
        session_.machine().setShown(comboMaskiner->currentText());
}

void frmMain::comboMaskiner_Click()
{
    if (comboMaskiner->currentIndex() < 0)
        return;
    const QString name = comboMaskiner->currentText();
    selectMachine(name);
    if (frmDocument *d = activeDocument()) {
        d->sMaskin = name;
        d->UpdateText();
    }
}

static int twipsToPixels(double twips, double dpi) { return placementPixels(twips, 1440.0 / dpi); }

void frmMain::placeAtStart()
{
    if (gFirstStart) {
        RkFormFix(this);
        return;
    }
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dx = s ? s->logicalDotsPerInchX() : 96.0, dy = s ? s->logicalDotsPerInchY() : 96.0;
    const SettingValues &v = session_.settings().values();
    const QRect r(twipsToPixels(v.mainLeft, dx), twipsToPixels(v.mainTop, dy), twipsToPixels(v.mainWidth, dx),
                  twipsToPixels(v.mainHeight, dy));
    // A placement that lies off every screen (a screen removed since) is not used.
    bool onScreen = false;
    for (QScreen *sc : QGuiApplication::screens())
        if (sc->availableGeometry().intersects(r.adjusted(0, 0, -r.width() / 2, -r.height() / 2)))
            onScreen = true;
    if (!onScreen || r.width() < 100 || r.height() < 100) {
        RkFormFix(this);
        return;
    }
    resize(r.size());
    move(r.topLeft());
}

void frmMain::savePlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dx = s ? s->logicalDotsPerInchX() : 96.0, dy = s ? s->logicalDotsPerInchY() : 96.0;
    const QPoint p = pos();
    auto twips = [](int pixels, int stored, double dpi) {
        return QString::number(placementTwips(pixels, stored, 1440.0 / dpi));
    };
    const SettingValues &v = session_.settings().values();
    SaveIniSetting("Settings", "MainLeft", twips(p.x(), v.mainLeft, dx));
    SaveIniSetting("Settings", "MainTop", twips(p.y(), v.mainTop, dy));
    SaveIniSetting("Settings", "MainWidth", twips(width(), v.mainWidth, dx));
    SaveIniSetting("Settings", "MainHeight", twips(height(), v.mainHeight, dy));
}

void frmMain::applyTexts()
{
    if (gbNotSwedish)
        SetMainFormLanguage(this);
    else
        setBuiltInWords();
}

void frmMain::hideCompareWhenMissing()
{
    if (!RkFileExists(findFileNoCase(gsDataPath, "Vindre.exe"))) {
        if (QAction *fix = toolButton("Fix"))
            fix->setVisible(false);
        mnuCompare->setVisible(false);
    }
}

void frmMain::applyTitle()
{
    const QString &title = session_.settings().values().title;
    if (title.size() > 1)
        setWindowTitle("Lumrik-32 [ " + title + " ]");
    else
        setWindowTitle("Lumrik-32");
}

void frmMain::setMruCaption(int i, const QString &path)
{
    QString shown = path;
    shown.replace('&', QStringLiteral("&&"));
    mnuFileMRU[i]->setText(shown);
    mnuFileMRU[i]->setData(path);
}

void frmMain::fillRecentFiles()
{
    const QStringList l = loadMruList();
    for (int i = 0; i < 4; ++i)
        setMruCaption(i, l.value(i));
    for (int i = 0; i < 4; ++i)
        mnuFileMRU[i]->setVisible(!l.value(i).isEmpty());
}

void frmMain::fillMacroMenu()
{
    for (int n = 0; n < 10; ++n) {
        const QString key = QStringLiteral("%1_NAMN").arg(n);
        if (GetIniSetting("MACRO", key).size() > 1) {
            mnuSubMacro[n]->setText(GetIniSetting("MACRO", key, "FEL"));
            mnuSubMacro[n]->setVisible(true);
            const QString folder = GetIniSetting("MACRO", QStringLiteral("%1_PATH").arg(n));
            session_.macroFolders().change([&](MacroFolderValues &f) { f[size_t(n)] = folder; });
        }
    }
}

void frmMain::showAtStart()
{
    placeAtStart();
    const int state = session_.settings().values().mainWindowState;
    if (!gFirstStart && state == 2)
        showMaximized();
    else if (!gFirstStart && state == 1)
        showMinimized();
    else
        show();
    if (!commandLineFile_.isEmpty())
        openCommandLine(commandLineFile_);
}

bool frmMain::MDIForm_Unload()
{
    return RkGuard("MDIForm_Unload()", [&] {
        IniWriteBatch batch; // one write of the settings file, one report if it fails
        savePlacement();
        SaveIniSetting("Settings", "LastCnc", session_.machine().name());
        SaveIniSetting("Settings", "CurrentPath", CollapseExePath(session_.active().path()));
        SaveIniSetting("Settings", "FirstStart", "False");
        saveMruList(mruList());
        batch.commit();
        HelpQuit();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != this && w->isVisible() && !(w->windowType() == Qt::Popup))
                w->close();
        return true;
    });
}

void frmMain::closeEvent(QCloseEvent *e)
{
    if (unloaded_) {
        e->accept();
        return;
    }
    if (LongWork::underWay()) {
        // Nothing is closed under long work: the close comes once it is
        // over, in its turn among what else waited for the end.
        e->ignore();
        LongWork::whenDone(this, [this] { close(); });
        return;
    }
    // Every document first; each changed one asks whether to save it.
    if (!closeDocumentsPass()) {
        e->ignore();
        return;
    }
    // A file handed over while the documents were asked about stops the exit
    // and opens: the second start was told that it was taken.
    if (handOverWaiting()) {
        e->ignore();
        return;
    }
    stopHandOvers();
    MDIForm_Unload();
    unloaded_ = true;
    e->accept();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mdiArea && event->type() == QEvent::Resize && !destroying_)
        arrangeNow(arrangementOf(session_.settings().values().defaultTile), true);
    // Window-message hook: the wheel over the document area scrolls the active editor.
    if (watched == mdiArea->viewport() && event->type() == QEvent::Wheel && !destroying_
        && iSuperClass_Wheel(static_cast<QWheelEvent *>(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Window-message hook: activation and the mouse wheel

namespace {

// The bands of the cool bar wrap as a cool bar's do: a band that does not fit
// beside the ones before it starts a new row, so that no band (the machine
// selector among them) is squeezed into an overflow menu.
void wrapBands(QMainWindow *w, const QList<QToolBar *> &bands)
{
    QList<QToolBar *> row;
    for (QToolBar *b : bands)
        if (!b->isHidden() && w->toolBarArea(b) == Qt::TopToolBarArea)
            row << b;
    if (row.isEmpty())
        return;
    // In the order the user sees them (a band may have been dragged).
    std::stable_sort(row.begin(), row.end(), [](QToolBar *a, QToolBar *b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    const int spacing = w->style()->pixelMetric(QStyle::PM_ToolBarItemSpacing) + 2;
    int x = 0;
    for (QToolBar *b : row) {
        const int width = b->sizeHint().width() + spacing;
        const bool breakBefore = x > 0 && x + width > w->width();
        if (breakBefore)
            x = 0;
        x += width;
        if (b == row.first())
            continue; // the first band starts the cool bar's first row
        if (breakBefore != w->toolBarBreak(b)) {
            if (breakBefore)
                w->insertToolBarBreak(b);
            else
                w->removeToolBarBreak(b);
        }
    }
}

}

bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::DeferredDelete)
        return QMainWindow::event(event); // the window is gone after it: nothing of it may be touched
    const bool result = QMainWindow::event(event); // the window's own handling first
    if (destroying_)
        return result;
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
        wrapBands(this, bands_);
    if (event->type() == QEvent::WindowActivate) {
        // The menu bar in the desktop's button colour, then the focus back to the active editor.
        SetMenuBarColor(this, int(0x8000000Fu), true);
        iSuperClass_Activate();
    } else if (event->type() == QEvent::Wheel && !event->isAccepted()) {
        // A wheel turned over the toolbars or the status bar.
        if (iSuperClass_Wheel(static_cast<QWheelEvent *>(event)))
            return true;
    }
    return result;
}

void frmMain::iSuperClass_Activate()
{
    RkGuard("iSuperClass_Activate()", [&] {
        // The editor's focus is taken away whenever the window is left, so the
        // active document (not the last focus) decides.
        frmDocument *d = activeDocument();
        if (d && d->txtText)
            d->txtText->setFocus(Qt::ActiveWindowFocusReason);
    });
}

bool frmMain::iSuperClass_Wheel(QWheelEvent *e)
{
    if (session_.active().editor() <= 0 || wheelLines_ <= 0)
        return false;
    frmDocument *d = activeDocument();
    if (!d || !d->txtText)
        return false;
    const int dy = e->angleDelta().y();
    if (dy == 0)
        return false; // a sideways wheel
    // One step of "lines" per notch, whatever its size; a fine-grained wheel
    // (a touch pad) first gathers a whole notch.
    bool away;
    if (std::abs(dy) >= 120) {
        wheelRest_ = 0;
        away = dy > 0;
    } else {
        if (wheelRest_ != 0 && (wheelRest_ > 0) != (dy > 0))
            wheelRest_ = 0;
        wheelRest_ += dy;
        if (std::abs(wheelRest_) < 120) {
            e->accept();
            return true;
        }
        away = wheelRest_ > 0;
        wheelRest_ = 0;
    }
    RkGuard("iSuperClass_Wheel()", [&] {
        Editor *E = d->txtText;
        const int lines = wheelLines_;
        if (away)
            E->setTopY(E->TopY() > lines ? E->TopY() - lines : 1);
        else
            E->setTopY(E->TopY() + lines);
    });
    e->accept();
    return true;
}

}
