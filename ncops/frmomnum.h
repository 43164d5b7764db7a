#pragma once
// The renumbering dialog. It is created at the first renumbering and stays
// loaded: the text boxes keep what was typed between runs. Its options are kept
// per machine in the section "OmNum" of the machine's configuration file; when
// another machine has become current since they were read, they are read again
// from that machine's file when the dialog is shown.
#include "ncops/omnum.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumrik {

class frmDocument;

class frmOmnum : public QDialog {
    Q_OBJECT
public:
    explicit frmOmnum(QWidget *parent = nullptr);

    // The one dialog of the program (created on first use).
    static frmOmnum *instance();
    // Unloads it (tests, and the main window when it closes).
    static void unload();

    // Results, valid after the dialog has hidden itself.
    QString gSkipBlock;
    qint32 gFirstBlockNr = 10;
    qint32 gFromBlockNr = 1;
    qint32 gTomBlockNr = 9999;
    qint32 gIncr = 10;
    bool Cancel = true;
    bool gTNC = false;
    QString gRestartFrom;
    bool gLeadingZeros = false;
    bool gRemoveBlockNr = false;
    bool gAddBlockNr = false;

    // The results as the renumbering takes them.
    OmnumOptions options() const;

    // Set by the caller before showing: the active document has a selection
    // (the range boxes are then disabled; their values still apply).
    bool bDocHasSelection = false;
    // Set by the caller before showing: the document to renumber. Start asks
    // first when it refers to its own block numbers (see blockreferences.h).
    QPointer<frmDocument> targetDocument;
    // The question Start asks for such a document ("Nej" leaves it untouched).
    static QString referenceQuestion(int line, const QString &text);

    // The machine configuration file the options belong to ("" without a machine).
    static QString omnumConfigFile();

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QLineEdit *txtOmNumFrom, *txtOmNumTom, *txtOmNumIncr, *txtFirstBlockNr, *txtRestartFrom,
        *txtSkipBlock;
    QGroupBox *Frame1;
    QCheckBox *chkRemoveBlockNr, *chkAddBlockNr, *ChkLeadingZeros, *chkTncType;
    QPushButton *btnStartOmnum, *btnOmnumCancel;

    void btnStartOmnum_Click();
    void btnOmnumCancel_Click();
    void chkAddBlockNr_Click();
    void chkRemoveBlockNr_Click();
    void ChkLeadingZeros_Click();
    void chkTncType_Click();
    void Form_Activate();
    void Form_Load();

    // The leading number of a box's text as a decimal reader takes it ("12abc"
    // is 12, no number is 0), rounded halves to even, kept within 32 bits.
    static qint32 boxNumber(const QString &text);

protected:
    void showEvent(QShowEvent *e) override;
    void reject() override; // Esc and the close box cancel

private:
    void resetBoxes();
    bool referencesAccepted();
    QString loadedFile_;
};

}
