#pragma once
// The bolt-hole circle window "Bultcirkel": centre, radius, first angle and
// number of holes (and on an arc the angle between holes) in, one "X.. Y.."
// line per hole out, which "&Kopiera" puts on the clipboard. Create one for
// each opening and show it with exec(); it writes no file.
#include "generators/bult.h"
#include "generators/helix.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace lumrik {

class frmBult : public QDialog {
    Q_OBJECT
public:
    explicit frmBult(QWidget *parent = nullptr);

    static double Deg2Rad(double dDeg) { return lumrik::Deg2Rad(dDeg); }
    // The key filter of the number boxes: the character, or 0 (with a beep)
    // for one that cannot belong to a number.
    static int OnlyNumbers(int iKey);
    static QString MakeNc(double dValue) { return lumrik::MakeNc(dValue); }

    // The result of the last computation (CR LF lines), as "&Kopiera" copies it.
    QString resultText() const { return result_; }

    QLabel *Label6;
    // Option1(0) "Cirkel", Option1(1) "Arc" (objectNames Option1_0, Option1_1).
    QRadioButton *Option1[2];
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label7;
    QLineEdit *txtCentrumX, *txtCentrumY, *txtRadie, *txtVinkel, *txtAntal, *txtMellanVinkel;
    QPushButton *cmdDoIt, *cmdCopy, *cmdAborrt;
    QPlainTextEdit *txtDisp;

    void Option1_Click();
    void cmdDoIt_Click();
    void cmdCopy_Click();
    void cmdAborrt_Click();
    void txtDisp_Change();

    // The boxes as the computation reads them.
    BultFields fields() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    QList<QLineEdit *> filtered_;
    QString result_;
};

}
