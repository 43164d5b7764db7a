#include "ncops/frmxyz.h"

#include "ncops/mdlmnfix.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumrik {

frmXYZ::frmXYZ(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmXYZ"));
    setWindowTitle(QStringLiteral("XYZ område"));
    setModal(true);

    auto box = [](QWidget *owner, const char *name) {
        auto *e = new QLineEdit(owner);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        return e;
    };
    auto place = [](QGridLayout *g, int row, int col, const QString &label, QLineEdit *e) {
        auto *l = new QLabel(label);
        l->setBuddy(e);
        g->addWidget(l, row, col * 2);
        g->addWidget(e, row, col * 2 + 1);
    };

    Frame1 = new QGroupBox(QStringLiteral("Min/Max"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    txtMinX = box(Frame1, "txtMinX");
    txtMinY = box(Frame1, "txtMinY");
    txtMinZ = box(Frame1, "txtMinZ");
    txtMaxX = box(Frame1, "txtMaxX");
    txtMaxY = box(Frame1, "txtMaxY");
    txtMaxZ = box(Frame1, "txtMaxZ");
    txtMinR = box(Frame1, "txtMinR");
    txtMaxR = box(Frame1, "txtMaxR");
    auto *g1 = new QGridLayout(Frame1);
    place(g1, 0, 0, QStringLiteral("Min X:"), txtMinX);
    place(g1, 1, 0, QStringLiteral("Min Y:"), txtMinY);
    place(g1, 2, 0, QStringLiteral("Min Z:"), txtMinZ);
    place(g1, 3, 0, QStringLiteral("Min R:"), txtMinR);
    place(g1, 0, 1, QStringLiteral("Max X:"), txtMaxX);
    place(g1, 1, 1, QStringLiteral("Max Y:"), txtMaxY);
    place(g1, 2, 1, QStringLiteral("Max Z:"), txtMaxZ);
    place(g1, 3, 1, QStringLiteral("Max R:"), txtMaxR);

    Frame2 = new QGroupBox(QStringLiteral("Matning/varvtal"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    txtMinF = box(Frame2, "txtMinF");
    txtMinS = box(Frame2, "txtMinS");
    txtMaxF = box(Frame2, "txtMaxF");
    txtMaxS = box(Frame2, "txtMaxS");
    auto *g2 = new QGridLayout(Frame2);
    place(g2, 0, 0, QStringLiteral("Min F:"), txtMinF);
    place(g2, 1, 0, QStringLiteral("Min S:"), txtMinS);
    place(g2, 0, 1, QStringLiteral("Max F:"), txtMaxF);
    place(g2, 1, 1, QStringLiteral("Max S:"), txtMaxS);

    Command1 = new QPushButton(QStringLiteral("Stäng"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmXYZ::Command1_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(Frame1);
    lay->addWidget(Frame2);
    lay->addLayout(buttons);
}

QString frmXYZ::valueText(float v)
{
    // Seven significant digits with the system's decimal separator and a
    // capital exponent for large and small values ("1E+07"); the sign stays
    // the plain "-" of NC text.
    QString text = QString::number(double(v), 'G', 7);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

void frmXYZ::fill(const XyzRange &range)
{
    QLineEdit *mins[6] = {txtMinX, txtMinY, txtMinZ, txtMinR, txtMinF, txtMinS};
    QLineEdit *maxs[6] = {txtMaxX, txtMaxY, txtMaxZ, txtMaxR, txtMaxF, txtMaxS};
    for (int k = 0; k < 6; ++k) {
        for (QLineEdit *e : {mins[k], maxs[k]}) {
            e->setEnabled(range.seen[k]);
            e->clear();
        }
        if (range.seen[k]) {
            mins[k]->setText(valueText(range.min[k]));
            maxs[k]->setText(valueText(range.max[k]));
        }
    }
}

void frmXYZ::Command1_Click() { accept(); }

}
