#pragma once
// The window that shows the X/Y/Z/R/F/S range of a program. Its texts are
// Swedish only.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace lumrik {

struct XyzRange;

class frmXYZ : public QDialog {
    Q_OBJECT
public:
    explicit frmXYZ(QWidget *parent = nullptr);

    // Writes each value that occurred into its box (seven significant digits,
    // the system's decimal separator); the boxes of the others are disabled
    // and empty.
    void fill(const XyzRange &range);

    QGroupBox *Frame1, *Frame2;
    QLineEdit *txtMinX, *txtMinY, *txtMinZ, *txtMaxX, *txtMaxY, *txtMaxZ, *txtMinR, *txtMaxR;
    QLineEdit *txtMinF, *txtMinS, *txtMaxF, *txtMaxS;
    QPushButton *Command1;

    void Command1_Click();

    // The text of a value in a box.
    static QString valueText(float v);
};

}
