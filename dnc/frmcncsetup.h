#pragma once
// The machine set-up dialog "Inställningar CNC": choose a machine, edit its
// configuration file in four tabs (communication, folders, advanced, colours),
// store it with "&Verkställ" or "&OK", create a machine with "&Ny CNC...".
//
// The unsaved-changes flag is the enabled state of cmdApply: every edit raises
// it, loading and storing lower it, and choosing another machine asks
// "Spara?" while it is raised. A list entry selected by the program runs the
// list's handler just as a user's choice does.
//
// From the main window: ShowCncSetup(session, owner, comboMaskiner), then refill the
// machine selector (the dialog may have created machines).
#include "core/sessionstate.h"
#include "dnc/cncsetup_fields.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace lumrik {

struct MachineSettings;

class frmCncSetup : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog and runs its opening steps: `session`'s current
    // machine is loaded when it has a file. A machine loaded or created here
    // becomes `session`'s current machine.
    explicit frmCncSetup(Session &session, QWidget *parent = nullptr, QComboBox *mainSelector = nullptr);
    ~frmCncSetup() override;

    // The main window's machine selector; a machine loaded here is selected
    // there too (which loads its settings into the program). May be null.
    QComboBox *comboMaskiner = nullptr;

    // Machine choice and buttons.
    QGroupBox *fraCfg;
    QComboBox *cmbCfgFiler;
    QPushButton *cmdCreateCNC;
    QPushButton *cmdOk, *cmdCancel, *cmdApply;
    QTabWidget *SSTab1;

    // "&Kommunikation"
    QComboBox *cmbComPort;
    QPushButton *cmdQueryPorts;
    QComboBox *cmbBaud, *cmbProtokoll, *cmbCodeSyst, *cmbDataBits, *cmbParity, *cmbStopBits;
    QGroupBox *fraTxd;
    QLineEdit *txtLeader, *txtTrailer;
    QComboBox *cmbEOB;
    QLineEdit *txtTxdFilter, *txtDoNotSend;
    QCheckBox *chk30Null;
    QLineEdit *txtSendTo;
    QPushButton *cmdSendToInfo;
    QGroupBox *fraRxd;
    QLineEdit *txtFilter, *txtStartRxdFrom;
    // The "?" buttons beside the hex fields: leader, trailer, send filter,
    // receive filter, start character.
    std::array<QPushButton *, 5> cmdHex{};

    // "&Sökvägar"
    QLineEdit *txtDefaultPath, *txtDefaultTxdCNCpath, *txtDefaultRxdCNCpath, *txtFileExtension;
    QPushButton *btnBrowseForNcPrg, *btnBrowse, *btnBrowseRxd;

    // "&Avancerat"
    QCheckBox *chkLoopSend, *chkTxdDisplay;
    QComboBox *cmbBufSize;
    QLineEdit *txtCloseDelay, *txtChrDelay, *txtRecDelay;

    // "Färger"
    QPushButton *cmdCommentColor;
    std::array<QLineEdit *, 8> txtCodeText{};
    std::array<QPushButton *, 8> cmdCodeColor{};
    QComboBox *ComboColorFile;

    // Public helpers of the port list.
    // Widens the drop-down part of a list to its widest item (plus 20 pixels,
    // at most the screen width less 20). False for a widget that is not a
    // list or a list without items.
    bool AutoSizeDropDownWidth(QWidget *Combo);
    // Selects the first item whose port number is exactly sPort; no match
    // leaves the selection as it is.
    void SelectComPort(const QString &sPort, QComboBox *Combo);

    // Handlers.
    void Form_Load();
    void cmbCfgFiler_Click();
    // Stores the fields into the current machine's file. False (nothing
    // written, the flag stays raised) when a value cannot be stored or the
    // write failed; the user has been told why.
    bool cmdApply_Click();
    void cmdOk_Click();
    void cmdCancel_Click();
    void cmdCreateCNC_Click();
    void cmdHex_Click(int index);
    void cmdQueryPorts_Click();
    void cmdSendToInfo_Click();
    void RefreshComPortList();
    void btnBrowseForNcPrg_Click();
    void btnBrowse_Click();
    void btnBrowseRxd_Click();
    void cmdCodeColor_Click(int index);   // 0..7
    void cmdCommentColor_Click();

    // The machine whose values the fields show ("" when none is loaded).
    QString shownMachine() const { return shownMachine_; }
    bool isChanged() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void buildCommunicationTab(QWidget *tab);
    void buildPathsTab(QWidget *tab);
    void buildAdvancedTab(QWidget *tab);
    void buildColoursTab(QWidget *tab);
    void connectChangeFlags();
    void raiseFlag();
    // "Spara?" for the machine shown: true to go on (stored or dropped),
    // false when the user cancelled or the store failed.
    bool askToSave();
    void normaliseField(QLineEdit *box);
    void showCodeColour(int index);
    void fillList(QComboBox *combo, const QStringList &items, const QString &initial);
    MachineSettings fieldValues() const;
    QString portText() const;
    void focusField(const QString &name);
    void browse(QLineEdit *box, const QString &prompt, bool onlyWhenNotRoot);

    void loadMachine(const QString &machine);

    Session &session_;
    QString shownMachine_;
    QString shownFile_;      // its file: Apply stores there
    QString loadedPort_;     // the stored port number of the machine shown
    QList<CncPort> ports_;   // the port list as offered
    bool choiceHandled_ = false; // a change of the machine list was just handled
};

// Shows the dialog modally over `owner`; returns when it has closed.
void ShowCncSetup(Session &session, QWidget *owner, QComboBox *comboMaskiner);

// The new-machine dialog "Skapa NY Cnc konfiguration".
class frmCreateCfg : public QDialog {
    Q_OBJECT
public:
    // The machine created becomes `session`'s current machine.
    explicit frmCreateCfg(Session &session, QWidget *parent = nullptr);

    QGroupBox *fraName;
    QLineEdit *txtCfgName;
    QPushButton *btnOk, *btnAbort;

    // The machine created ("" when none).
    QString created() const { return created_; }

    void Form_Load();
    void btnOk_Click();
    void btnAbort_Click();

private:
    Session &session_;
    QString created_;
};

}
