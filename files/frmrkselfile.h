#pragma once
// The file selector: the machine list, the folder tree of the machine's
// program folder, the files of the chosen folder with the first comment of
// each program, date and size, a preview of the current program's first
// block, a search by the beginning of the name, and the file operations.
//
// Created on first use (rkSelFile()) and kept for the rest of the run; every
// exit only hides it. The caller sets sRootPath and sPreSelectedPath, shows it
// with exec(), and reads sSelectedPath + sSelectedFile afterwards
// (sSelectedFile "" = nothing chosen); the machine is cmbMaskiner's text.
#include "core/sessionstate.h"

#include <QDialog>
#include <QTimer>
#include <QStringList>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumrik {

class FolderTree;
class frmConfirmBackupDelete;

class frmRkSelFile : public QDialog {
    Q_OBJECT
public:
    // The machine picked here becomes `session`'s current machine.
    explicit frmRkSelFile(Session &session, QWidget *owner = nullptr);
    ~frmRkSelFile() override;

    // In: root of the folder tree and the folder to select when it opens.
    QString sRootPath;
    QString sPreSelectedPath;
    // Out: folder of the chosen file (ending with a separator) and its name
    // as it is on disk; sSelectedFile is "" when nothing was chosen.
    QString sSelectedPath;
    QString sSelectedFile;

    // Controls
    QComboBox *cmbMaskiner;
    FolderTree *FoTrVi;
    QSplitter *Splitter;
    QTreeWidget *lstViewFiles;
    QPlainTextEdit *txtPreView;
    QWidget *Picture1;
    QLabel *Label1;
    QLineEdit *txtSearch;
    QPushButton *cmdShowFiles;
    QPushButton *cmdSend;
    QPushButton *cmdOpen;
    QPushButton *cmdAbort;

    // Menus
    QMenuBar *menuBar;
    QMenu *mnuArkiv, *mnuPrint, *mnuVisa, *mnuPopup;
    QAction *mnuOpen, *mnuRename, *mnuDelete, *mnuPrintProg, *mnuPrintFDir, *bar, *mnuCleanOld,
        *mnubar2, *mnuClose, *mnuVisaPar, *mnuVisaFirstBlock, *mnuVisaUppdat, *mnuShowAllFiles,
        *mnuPopupRoot, *mnuPopupNewFolder;

    // Window state
    QString currentPath() const { return sCurrentPath; }
    QString currentFile() const { return sCurrentFile; }
    QString lastPath() const { return sLastPath; }
    QString searchPattern() const { return sSearchPattern; }
    bool showComments() const { return bShowComments; }
    bool showPreview() const { return bShowPreview; }
    bool showAllVersions() const { return bShowAllVersions; }
    double splitRatio() const { return sngSplitRatio; }
    // The real file name of a list row (0-based), "" outside the list.
    QString fileNameAt(int row) const;

    // Exits
    void cmdOpen_Click();
    void cmdAbort_Click();
    void mnuClose_Click();

    // Machine choice (a click in cmbMaskiner).
    void cmbMaskiner_Click();
    // A folder chosen in the tree.
    void FoTrVi_FolderClick(const QString &path);
    // The shown folder and the tree's root are still there and readable;
    // otherwise the one gone is told by name and the list emptied (false).
    // Also checked every second while the window is shown.
    bool checkShownFolder();

    // "Visa urval": the list rebuilt with the search box as name prefix.
    void cmdShowFiles_Click();
    // Rebuilds the list from `folder`; `pattern` is the name prefix pattern ("" = all).
    void FillFileList(const QString &folder, bool showComments, const QString &pattern);
    void ShowPreview();

    // Rename: starts the edit of the first selected name; the edit's end calls
    // lstViewFiles_AfterLabelEdit with the new text.
    void mnuRename_Click();
    // Renames sCurrentFile in the shown folder (refusing separators, "." and
    // "..", and never replacing another file), then refreshes the list.
    void lstViewFiles_AfterLabelEdit(const QString &newText);
    // Moves the selected files to the trash after a Yes; only while the list
    // has the keyboard focus.
    void mnuDelete_Click();
    void mnuPopupNewFolder_Click();
    // Creates `name` under the tree's selected folder and selects it; false
    // (with a message) when refused or when it cannot be created.
    bool CreateNewFolder(const QString &name);
    void mnuPopupRoot_Click();
    void cmdSend_Click();
    void mnuCleanOld_Click();
    // Lists the numbered backup copies of `folder` in the confirmation dialog
    // and shows it.
    void FindBackupFiles(const QString &folder);
    frmConfirmBackupDelete *backupDialog();

    // The list, as the operations read it (index from 1, column from 0).
    int GetFirstSelected(bool &found);
    QString GetListItemText(int index, int column) const;
    bool IsListItemSelected(int index) const;

    // Dialog seams (tests answer them without a display).
    std::function<QString(const QString &prompt, const QString &title)> inputBox;
    std::function<QString(const QString &prompt, const QString &initialFolder)> folderBrowser;

    // Column titles.
    QString sColFileName, sColComment, sColChanged, sColSize;

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    Session &session_;
    void Form_Load();
    void Form_Activate();
    void buildControls();
    void buildMenus();
    void applyLanguage();
    void setSelectionCommands(bool enabled);
    void lstViewFiles_ItemClick();
    void lstViewFiles_ColumnClick(int column);
    void sortList(int column, Qt::SortOrder order);
    void openCurrent();
    void savePlacement();
    // Roots the tree at a machine's program folder; false (told, the tree at
    // the home folder, the list empty) when it is missing or cannot be read.
    bool rootTree(const QString &root);
    void restorePlacement();
    void selectFileInList(const QString &name);
    QString searchText() const;

    QString sCurrentPath;
    QString sCurrentFile;
    QString sLastPath;
    QString sSearchPattern;
    bool bShowComments = false;
    bool bShowPreview = false;
    bool bShowAllVersions = false;
    double sngSplitRatio = 0.25;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool activating_ = false;
    bool filling_ = false;
    bool splitApplied_ = false;
    bool telling_ = false;
    QTimer folderCheck_;
    bool homeFallback_ = false; // the tree shows the home folder for a missing program folder
    frmConfirmBackupDelete *backupDialog_ = nullptr;
};

// The one file selector of the program, created on first use for `session`
// with `owner` as its owner (later calls may pass nullptr).
frmRkSelFile *rkSelFile(Session &session, QWidget *owner = nullptr);
// Whether the selector exists and is shown (the main window's drop handler
// does nothing then).
bool rkSelFileVisible();

}
