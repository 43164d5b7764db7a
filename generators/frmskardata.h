#pragma once
// "Räkna skärdata": nine small calculators for milling and turning data on
// two tabs. Each result is recomputed whenever one of its inputs changes; the
// picture buttons copy a result to the clipboard or carry it into the inputs
// of other calculators. Modeless; nothing is kept between openings.
#include "generators/skardata.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace lumrik {

class frmSkardata : public QDialog {
    Q_OBJECT
public:
    explicit frmSkardata(QWidget *parent = nullptr);

    // The tab control "Fräsning" / "Svarvning".
    QTabWidget *SSTab1;

    // Milling.
    QLineEdit *txtVarvtalSH, *txtVarvtalFD, *txtVarvtalV;                  // 1 spindle speed
    QLineEdit *txtSkarhV, *txtSkarFD, *txtSkarhS;                          // 2 cutting speed
    QLineEdit *txtBordmV, *txtBordmAT, *txtBordmMPT, *txtBormBM;           // 3 table feed
    QLineEdit *txtMatningpvMPT, *txtMatningpvAT, *txtMatningpvMPV;         // 4 feed per revolution
    QLineEdit *txtMatningptMST, *txtMatningptFD, *txtMatningptSB, *txtMatningptMPT; // 5 feed per tooth
    QLineEdit *txtMedelspMPT, *txtMedelspFD, *txtMedelspSB, *txtMedelspMST; // 6 mean chip thickness
    // Turning.
    QLineEdit *txtSvVarvtalSH, *txtSvVarvtalAD, *txtSvVarvtalV;            // 7 spindle speed
    QLineEdit *txtSvSkarhV, *txtSvSkarhAD, *txtSvSkarhSH;                  // 8 cutting speed
    QLineEdit *txtSvYtjF, *txtSvYtjNR, *txtSvYtjYJ;                        // 9 surface roughness

    QPushButton *Command1, *Command2;                  // "Stäng", "Rensa"
    QPushButton *Command3, *Command4, *Command6, *Command7; // carry a result on
    QPushButton *cmdCopy1, *cmdCopy2, *cmdCopy3, *cmdCopy4, *cmdCopy5, *CmdCopy6, *CmdCopy7, *CmdCopy8,
        *CmdCopy9;

    // Every box: inputs and results of the nine calculators.
    QList<QLineEdit *> boxes() const { return boxes_; }

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command6_Click();
    void Command7_Click();
    // The copy buttons: the result box's text on the clipboard.
    void copyResult(QLineEdit *result);

private:
    QList<QLineEdit *> boxes_;
};

}
