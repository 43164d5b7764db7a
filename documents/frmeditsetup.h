#pragma once
// The editor settings dialog ("Inställningar Editor"): the editor's look and
// behaviour, the file-type filter of the file selector, a few options of
// other parts of the program, the import of macro packages and the plug-in
// list. Apply writes every value to the main settings file, sets the settings
// variables and gives every open document the new font and colours.
//
// The values themselves are read and written by readEditSetup() and
// applyEditSetup(), which need no window.
#include "core/sessionstate.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumrik {

// What the dialog shows, as read from the main settings file.
struct EditSetupValues {
    bool numberSort = false;
    bool showAllFiles = true;
    bool numKbdDec = false;
    bool upperCase = false;
    bool saveAsUnix = false;
    bool tileHorizontal = true;       // "DefaultTile" reads 1
    bool scanComments = false;
    bool kollegieBlock = false;
    bool alwaysShowScrollbar = false;
    bool printTime = false;
    bool autoColor = true;
    bool noBackground = false;
    bool extraComPorts = false;       // never read: it always starts unticked
    QString toolListChrs = QStringLiteral("T");
    QString decCheckChrs;
    QString kalmeroPath;              // expanded

    struct FileType {
        QString filter;               // "Filändelse"
        QString name;                 // "Beskrivning"
        bool checked = false;
    };
    QList<FileType> fileTypes;
};

// The values of the Loading table (defaults as this dialog reads them) and the
// file types of section "Filters" (keys 1..10 "_Name" and "_Filter"); without
// any, the one current pattern (showFileExt / showFileExtText), ticked.
EditSetupValues readEditSetup(const SettingValues &settings);
// The same, from the program's session.
EditSetupValues readEditSetup();

// Writes every key and sets the settings variables from `v` (the file type
// and the font and colours come from their variables, which their choices set
// at once). `v.decCheckChrs` comes back trimmed and in capitals. False when
// the settings file could not be written (the variables are set all the same).
bool applyEditSetup(Session &session, EditSetupValues &v);

// Gives every open document window the editor font, colours and scroll bars
// of `settings` and repaints it (lined paper); last opened first.
void applyEditorLookToDocuments(const SettingValues &settings);

// The platform dialogs the dialog uses; tests replace them.
struct EditSetupDialogs {
    // Font name, whole-number size and colour (stored form); false on cancel.
    std::function<bool(QWidget *owner, QString &family, int &size, int &colour)> chooseFont;
    // A colour (stored form); false on cancel.
    std::function<bool(QWidget *owner, int &colour)> chooseColor;
    // A folder; "" on cancel.
    std::function<QString(const QString &prompt, QWidget *owner, const QString &start)> browseFolder;
};
EditSetupDialogs &editSetupDialogs();
// Puts the platform dialogs back.
void resetEditSetupDialogs();

class frmEditSetup : public QDialog {
    Q_OBJECT
public:
    // `owner` is the main window: its menu items "mnuViewAutoColorNC" and
    // "mnuSubMacro0".."mnuSubMacro9" are found by name (through the document
    // host's main window when `owner` is not given). The values shown and
    // applied are `session`'s.
    explicit frmEditSetup(Session &session, QWidget *owner = nullptr);
    ~frmEditSetup() override;

    // "&Editor"
    QGroupBox *Frame4 = nullptr;
    QCheckBox *chkNumberSort = nullptr, *chkScanComments = nullptr, *chkShowAllfiles = nullptr;
    QGroupBox *Frame9 = nullptr;
    QCheckBox *chkNoBackground = nullptr, *chkAllwaysShowScrollbar = nullptr, *chkUpperCase = nullptr,
              *chkNumKbdDec = nullptr, *chkSaveAsUnix = nullptr;
    // "&Font och färg"
    QGroupBox *Frame5 = nullptr;
    QCheckBox *chkColorISO = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLabel *Label5 = nullptr, *Label4 = nullptr;
    QPushButton *cmdEditFontSel = nullptr, *cmdEditBackGround = nullptr;
    QCheckBox *chkKollegieBlock = nullptr, *ChkTileHorisontal = nullptr;
    // "&Options"
    QGroupBox *Frame10 = nullptr, *Frame2 = nullptr, *frmDecimalkoll = nullptr;
    QLabel *Label8 = nullptr, *Label9 = nullptr;
    QLineEdit *txtToolListChrs = nullptr, *txdPathToKalmero = nullptr, *txtDecCheckChrs = nullptr;
    QPushButton *btnBowseForKalmeroDir = nullptr;
    // "&Macro"
    QGroupBox *Frame11 = nullptr;
    QLabel *Label10 = nullptr, *Label11[2] = {};
    QLineEdit *txtImportFrom = nullptr;
    QPushButton *cmdImportFrom = nullptr, *cmdImport = nullptr;
    QLabel *lblSavePath = nullptr, *lblCncName = nullptr;
    // "&Plugin's" (filled by the plug-in host; its controls stay disabled until then)
    QGroupBox *Frame1 = nullptr;
    QTreeWidget *lvPluginList = nullptr;
    QPushButton *cmdSetupPlugin = nullptr, *cmdRegPlugins = nullptr;
    // "&Övrigt"
    QGroupBox *Frame12 = nullptr, *Frame14 = nullptr;
    QLabel *Label1 = nullptr;
    QTreeWidget *lvExtensions = nullptr;
    QCheckBox *chkPrintTime = nullptr, *chkExtraCommports = nullptr;
    QPushButton *cmdDeviceManager = nullptr;
    // Below the tabs
    QTabWidget *tabSetup = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr, *cmdApply = nullptr;

    // The values the controls show.
    EditSetupValues values() const;

public Q_SLOTS:
    void Form_Load();
    void cmdApply_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void chkColorISO_Click();
    void cmdEditFontSel_Click();
    void cmdEditBackGround_Click();
    void btnBowseForKalmeroDir_Click();
    void lvExtensions_ItemCheck(QTreeWidgetItem *item);
    void cmdDeviceManager_Click();
    void cmdImportFrom_Click();
    void cmdImport_Click();

private:
    void buildControls();
    QWidget *mainWindow() const;
    QAction *mainAction(const QString &name) const;
    void onExtensionChanged(QTreeWidgetItem *item, int column);

    Session &session_;
    QWidget *owner_ = nullptr;
    bool filling_ = false;
};

}
