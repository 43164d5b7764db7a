#pragma once
// The main window: the document area, the menus, the toolbars, the machine
// selector and the status bar. Commands are click handlers named after their
// menu item; every menu item and toolbar button is an action of the command
// registry (commandregistry.h). A button that behaves like its menu item places
// that item's action; the others run the command of their key (QAction::data()). Commands that other parts of the program
// provide are plugged in with setCommand(); until then they stay disabled.
#include "core/sessionstate.h"
#include "documents/host.h"
#include "mainwindow/commandregistry.h"
#include "mainwindow/commandstate.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStatusBar;
class QToolBar;
class QWheelEvent;

namespace lumrik {

struct ToolButtonSpec;

class CMdiBackground;
class frmDocument;

// What File > Open, the drop and the hand-over need of the file selector. The
// file selector fills these in when it exists; until then File > Open shows a
// plain open dialog rooted at the machine's folder.
struct FileSelectorHooks {
    // Shows the selector modally: in the root and preselected folders; out the
    // chosen folder (ending in "/"), file name ("" when none) and machine.
    std::function<void(QWidget *owner, const QString &rootPath, const QString &preSelectedPath,
                       QString &selectedPath, QString &selectedFile, QString &machine)>
        choose;
    // True while the selector is shown (a drop then does nothing).
    std::function<bool()> isVisible;
    // The selector's machine list text (the machine of documents opened from the
    // command line or handed over by a second start).
    std::function<QString()> machine;
};
FileSelectorHooks &fileSelectorHooks();

class frmMain : public QMainWindow, public DocumentHost {
    Q_OBJECT
public:
    // The main window of `session`: its commands and the windows it opens
    // read and change the program's state there.
    explicit frmMain(Session &session, const QString &commandLineFile = {}, QWidget *parent = nullptr);
    // ... of the program's session.
    explicit frmMain(const QString &commandLineFile = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    Session &session() const { return session_; }

    // The one main window (nullptr before it is created).
    static frmMain *instance();

    // Start-up steps (in this order).
    void applyTexts();
    void hideCompareWhenMissing();
    void applyTitle();
    void fillRecentFiles();
    void fillMacroMenu();
    void showAtStart();

    // DocumentHost
    QWidget *mainWidget() override { return this; }
    frmDocument *activeDocument() override;
    QList<frmDocument *> documents() override;    // in the order they were opened
    void MnUpdateValidSelections(bool bCurStatus) override;
    void RkUpdateValidSelections() override;
    void setStatusPanel(int panel, const QString &text) override; // panel 1..4
    QString statusPanel(int panel) const override;
    void setSaveButtonsEnabled(bool enabled) override;
    void showDocumentPopup(const QPoint &globalPos, bool canPaste, bool canCutCopy) override;
    void Arrange(int arrangement) override;
    // A drop of files, on the window or on a document's text: opened after
    // the drop (and after long work under way), in the order they came.
    void openDroppedFiles(const QStringList &files) override;

    // Opening documents.
    frmDocument *LoadNewDoc();
    void AddToMruList(const QString &sFileToAdd);
    QStringList mruList() const;                  // the four captions, empty ones included
    // The core of every way of opening: a new window for `path` with `machine`.
    frmDocument *openDocument(const QString &path, const QString &machine);
    void openCommandLine(const QString &commandLine); // at start
    void openHandedOver(const QString &commandLine);  // from a second start
    void dropFiles(const QStringList &files);
    // False when the file is open already and the user wants no copy (that window comes to the front).
    bool RkOkToOpenFile(const QString &path);

    // Commands.
    // Makes a command available (menu item name, e.g. "mnuTxd2Cnc"); its menu
    // item and toolbar buttons follow the command state from then on. An empty
    // handler withdraws the command.
    void setCommand(const QString &name, std::function<void()> handler);
    // The same for an item array (mnuFileMRU, mnuSubMacro): the handler gets the index.
    void setIndexedCommand(const QString &name, std::function<void(int)> handler);
    bool hasCommand(const QString &name) const;
    void runCommand(const QString &name, int index = -1);
    // The common toolbar dispatcher: runs the command of a button key.
    void tbToolBar_ButtonClick(const QString &key);
    // The menu command a toolbar key runs ("" for none).
    static QString commandOfKey(const QString &key);

    // Controls by name.
    QAction *menuAction(const QString &name) const;      // menu items and menus (their menuAction)
    QMenu *menu(const QString &name) const;
    QAction *toolButton(const QString &key) const;       // a button of tbToolBar
    QAction *toolButton(const QString &toolbar, const QString &key) const;
    QToolBar *toolBar(const QString &name) const;
    QList<QToolBar *> coolBarBands() const { return bands_; }
    bool coolBarVisible() const { return coolBarVisible_; }
    void setCoolBarVisible(bool visible);

    // The machine the selector shows (kept by the current machine).
    QString machine() const;
    // Lines per mouse-wheel step, read at load (0 without a wheel).
    int wheelLines() const { return wheelLines_; }
    // The painter of the document area's background (made at load).
    CMdiBackground *background() const { return background_; }

    QMdiArea *mdiArea = nullptr;
    QStatusBar *sbStatusBar = nullptr;
    QComboBox *comboMaskiner = nullptr;
    QToolBar *tbToolBar = nullptr;
    QToolBar *tbrFile = nullptr, *tbrEdit = nullptr, *tbrComm = nullptr, *tbrOptions = nullptr,
             *tbrWin = nullptr, *tbrShow = nullptr, *tbrMaskin = nullptr, *tbrSim = nullptr,
             *tbPlugins = nullptr;
    std::array<QAction *, 4> mnuFileMRU{};
    std::array<QAction *, 10> mnuSubMacro{};
    QAction *mnuCompare = nullptr;
    QAction *mnuViewAutoColorNC = nullptr;
    QMenu *mnuPopup = nullptr;

public Q_SLOTS:
    // File
    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileClose_Click();
    void mnuFileCloseAll_Click();
    void mnuFileSave_Click();
    void mnuFileSaveAs_Click();
    void mnuFileMRU_Click(int index);
    void mnuFileExit_Click();
    // Edit
    void mnuEditUndo_Click();
    void mnuEditCut_Click();
    void mnuEditCopy_Click();
    void mnuEditPaste_Click();
    void mnuEditDelete_Click();
    void mnuEditMarkAll_Click();
    void mnuPopCopy_Click();
    void mnuPopPaste_Click();
    void mnuPopCut_Click();
    // View and windows
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    void mnuViewAutoColorNC_Click();
    void splitV_Click();
    void splitH_Click();
    void noSplit_Click();
    void mnuWindowCascade_Click();
    void mnuWindowTileHorizontal_Click();
    void mnuWindowTileVertical_Click();
    // The machine selector's choice.
    void comboMaskiner_Click();
    // Tells the current machine what the selector shows (after a fill that
    // blocked the selector's signals).
    void reportShownMachine();

protected:
    void closeEvent(QCloseEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    Session &session_;
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void registerBuiltInCommands();
    // Places the command `name` of the command table in `menu`.
    QAction *addItem(QMenu *menu, const char *name);
    QMenu *addMenu(QMenu *parent, const char *name);
    QToolBar *addBand(const char *name, const QString &title);
    QAction *addButton(QToolBar *bar, const QString &key, const QString &tip, bool visible = true);
    // A band's button that is one more place of its menu item's action.
    QAction *placeMenuItem(QToolBar *bar, const QString &key, const QString &tip);
    // The buttons in order; `dispatch`: a click runs the command of the key.
    void addButtons(QToolBar *bar, const std::vector<ToolButtonSpec> &buttons, bool dispatch);
    void MDIForm_Load();
    bool MDIForm_Unload();
    void fillMachineSelector();
    void applyStates(const std::vector<ItemState> &states);
    void setMruCaption(int index, const QString &path);
    void setFileFormat(const QString &path);
    // The command line and the hand-over: one path, quotes removed, the selector's machine.
    void openOutsidePath(const char *proc, const QString &commandLine);
    SelectionInputs selectionInputs();
    bool closeDocumentsPass();     // true when no document is left
    bool closeSubWindow(QMdiSubWindow *w);
    void placeAtStart();
    void savePlacement();
    void splitActive(int type, const QString &key);
    static frmDocument *docOfSub(QMdiSubWindow *w);
    void arrangeNow(int arrangement, bool automatic);
    // Window-message hook: activation and the mouse wheel, after the window's own handling.
    void iSuperClass_Activate();
    bool iSuperClass_Wheel(QWheelEvent *e);

    QString commandLineFile_;
    CommandRegistry commands_;                               // every command's action and handler
    QHash<QString, QMenu *> menus_;
    QList<QToolBar *> bands_;                                 // CoolBar1's bands, in order
    QHash<QToolBar *, bool> bandShown_;
    bool coolBarVisible_ = true;
    std::array<QLabel *, 4> panels_{};
    int wheelLines_ = 0;
    int wheelRest_ = 0;                 // part of a notch from a fine-grained wheel
    CMdiBackground *background_ = nullptr;
    bool unloaded_ = false;
    bool destroying_ = false;
};

}
