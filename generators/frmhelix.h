#pragma once
// The thread-milling dialog "Helix": the data of one thread in, a complete NC
// subprogram for one helical thread-milling pass out, written to the hand-off
// file "helix.tmp" of the temporary folder on "&Ok". Closed without "&Ok",
// nothing is written. Create one for each opening and show it with exec().
#include "generators/helix.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lumrik {

class frmHelix : public QDialog {
    Q_OBJECT
public:
    explicit frmHelix(QWidget *parent = nullptr);

    static double Deg2Rad(double dDeg) { return lumrik::Deg2Rad(dDeg); }
    // The key filter of the text boxes: the character to type, or 0 (with a
    // beep) for one that cannot belong to a number. A "," after the keypad's
    // decimal key becomes "." when the setting "NumKbdDec" is on.
    int OnlyNumbers(int &iKey);
    static QString MakeNc(double dValue) { return lumrik::MakeNc(dValue); }

    // The file the program goes to (gsTmpPath & "/helix.tmp").
    static QString helixFile();

    // The data of the last check.
    HelixData data;
    // Set by the keypad's decimal key (with "NumKbdDec" on), used by the comma it types.
    bool bKeypadDecimal = false;

    QLabel *lblGx, *lblGy, *lblGdiam, *lblGs, *lblSafeZ, *lblEndZ, *lblInR, *lblCompNo;
    QLineEdit *txtGx, *txtGy, *txtGdiam, *txtGs, *txtSafeZ, *txtEndZ, *txtInR, *txtCompNo;
    QGroupBox *fraGangTyp, *fraArbetssatt;
    // GangTyp(0) "IN  vändig gänga", GangTyp(1) "UT vändig gänga" (objectNames GangTyp_0, GangTyp_1).
    QRadioButton *GangTyp[2];
    QCheckBox *chkUseG1;
    // optGradDelning(0) 1.0 degree, (1) 0.5 degree (objectNames optGradDelning_0, _1).
    QRadioButton *optGradDelning[2];
    QPushButton *btnOk, *btnAbort, *btnHelp;

    void GangTyp_Click();
    void chkUseG1_Click();
    void optGradDelning_Click();
    void btnOk_Click();
    void btnAbort_Click();
    void btnHelp_Click();

    // The fields as the input check reads them.
    HelixFields fields() const;
    // The check; shows its message and returns false when the input makes no program.
    bool CheckHelixInput();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QLineEdit *> boxes_;
};

}
