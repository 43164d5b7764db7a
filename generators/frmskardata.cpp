#include "generators/frmskardata.h"

#include "core/errors.h"
#include "core/language.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <functional>
#include <vector>

namespace lumrik {

namespace {

const char *const kPictureTip = "Fyll i värden i relevanta textrutor";

// The picture of the copy buttons: two sheets.
QIcon copyIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(Qt::white);
    p.drawRect(1, 1, 9, 10);
    p.drawRect(5, 4, 9, 10);
    return QIcon(pm);
}

// The picture of the carry buttons: an arrow up to the inputs.
QIcon carryIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 90, 160), 2));
    p.drawLine(8, 14, 8, 3);
    p.drawLine(8, 3, 4, 7);
    p.drawLine(8, 3, 12, 7);
    return QIcon(pm);
}

// One row of a calculator: label, box, unit.
struct Row {
    QLineEdit **box;
    const char *name;
    const char *label;
    int labelTag;
    const char *unit;
    int unitTag;
};

}

frmSkardata::frmSkardata(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSkardata"));
    setWindowTitle(QStringLiteral("Räkna skärdata"));
    setTag(this, 114);
    setModal(false);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    setTag(SSTab1, 1701);
    auto *milling = new QWidget;
    auto *turning = new QWidget;
    SSTab1->addTab(milling, QStringLiteral("Fräsning"));
    SSTab1->addTab(turning, QStringLiteral("Svarvning"));
    auto *millGrid = new QGridLayout(milling);
    auto *turnGrid = new QGridLayout(turning);

    const QString tip = QString::fromUtf8(kPictureTip);
    auto picture = [&](QWidget *parentWidget, const char *name, const QIcon &icon) {
        auto *b = new QPushButton(parentWidget);
        b->setObjectName(QLatin1String(name));
        b->setIcon(icon);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };

    // Builds one calculator's frame: its input rows, a line, its result row
    // with the copy button and, when given, the carry button. The result is
    // recomputed on every change of an input.
    using Calc = std::function<QString(const QStringList &)>;
    auto calculator = [&](QGridLayout *grid, int gridRow, int gridCol, QWidget *page, const char *title, int titleTag,
                          std::vector<Row> inputs, Row result, Calc calc, QPushButton *&copy, const char *copyName,
                          QPushButton **carry = nullptr, const char *carryName = nullptr) {
        auto *frame = new QGroupBox(QString::fromUtf8(title), page);
        setTag(frame, titleTag);
        auto *g = new QGridLayout(frame);
        int r = 0;
        auto addRow = [&](const Row &row) {
            auto *label = new QLabel(QString::fromUtf8(row.label), frame);
            if (row.labelTag)
                setTag(label, row.labelTag);
            auto *box = new QLineEdit(frame);
            box->setObjectName(QLatin1String(row.name));
            box->setMinimumWidth(80);
            auto *unit = new QLabel(QString::fromUtf8(row.unit), frame);
            if (row.unitTag)
                setTag(unit, row.unitTag);
            label->setBuddy(box);
            g->addWidget(label, r, 0);
            g->addWidget(box, r, 1);
            g->addWidget(unit, r, 2);
            *row.box = box;
            boxes_.append(box);
            ++r;
        };
        for (const Row &row : inputs)
            addRow(row);
        auto *line = new QFrame(frame);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        g->addWidget(line, r++, 0, 1, 5);
        addRow(result);
        QLineEdit *out = *result.box;
        out->setReadOnly(true); // a result is only copied or carried on
        copy = picture(frame, copyName, copyIcon());
        g->addWidget(copy, r - 1, 3);
        connect(copy, &QPushButton::clicked, this, [this, out] { copyResult(out); });
        if (carry) {
            *carry = picture(frame, carryName, carryIcon());
            g->addWidget(*carry, r - 1, 4);
        }
        g->setColumnStretch(1, 1);
        g->setRowStretch(r, 1);
        grid->addWidget(frame, gridRow, gridCol);

        QList<QLineEdit *> in;
        for (const Row &row : inputs)
            in.append(*row.box);
        auto run = [in, out, calc] {
            QStringList texts;
            for (QLineEdit *e : in)
                texts.append(e->text());
            out->setText(calc(texts));
        };
        for (QLineEdit *e : in)
            connect(e, &QLineEdit::textChanged, this, run);
    };

    calculator(millGrid, 0, 0, milling, "Varvtal", 1710,
               {{&txtVarvtalSH, "txtVarvtalSH", "Skärhastighet :", 1721, "(m/min)", 0},
                {&txtVarvtalFD, "txtVarvtalFD", "Fräsdiameter :", 1724, "(mm)", 0}},
               {&txtVarvtalV, "txtVarvtalV", "Varvtal :", 1720, "(varv/min)", 1731},
               [](const QStringList &v) { return MillCalcVarvtal(v[0], v[1]); }, cmdCopy1, "cmdCopy1", &Command3,
               "Command3");
    calculator(millGrid, 0, 1, milling, "Skärhastighet", 1711,
               {{&txtSkarhV, "txtSkarhV", "Varvtal :", 1720, "(varv/min)", 0},
                {&txtSkarFD, "txtSkarFD", "Fräsdiameter :", 1724, "(mm)", 0}},
               {&txtSkarhS, "txtSkarhS", "Skärhastighet :", 1721, "(m/min)", 1732},
               [](const QStringList &v) { return MillCalcSkarh(v[0], v[1]); }, cmdCopy2, "cmdCopy2", &Command4,
               "Command4");
    calculator(millGrid, 1, 0, milling, "Bordsmatning", 1712,
               {{&txtBordmV, "txtBordmV", "Varvtal :", 1720, "(varv/min)", 0},
                {&txtBordmAT, "txtBordmAT", "Antal tänder :", 1723, "(st)", 0},
                {&txtBordmMPT, "txtBordmMPT", "Matning per tand :", 1725, "(mm/tand)", 0}},
               {&txtBormBM, "txtBormBM", "Bordsmatning :", 1722, "(mm/min)", 0},
               [](const QStringList &v) { return MillCalcBordm(v[0], v[1], v[2]); }, cmdCopy3, "cmdCopy3");
    calculator(millGrid, 1, 1, milling, "Matning per varv", 1717,
               {{&txtMatningpvMPT, "txtMatningpvMPT", "Matning per tand :", 1725, "(mm/tand)", 0},
                {&txtMatningpvAT, "txtMatningpvAT", "Antal tänder :", 1723, "(st)", 0}},
               {&txtMatningpvMPV, "txtMatningpvMPV", "Matning/varv :", 1727, "(mm/varv)", 1733},
               [](const QStringList &v) { return MillCalcMatningpv(v[0], v[1]); }, cmdCopy4, "cmdCopy4");
    calculator(millGrid, 2, 0, milling, "Matning per tand", 1715,
               {{&txtMatningptMST, "txtMatningptMST", "Medelspåntjocklek :", 1728, "(mm)", 0},
                {&txtMatningptFD, "txtMatningptFD", "Fräsdiameter :", 1724, "(mm)", 0},
                {&txtMatningptSB, "txtMatningptSB", "Skärbredd (radiellt) :", 1729, "(mm)", 0}},
               {&txtMatningptMPT, "txtMatningptMPT", "Matning/tand :", 1725, "(mm/tand)", 1734},
               [](const QStringList &v) { return MillCalcMatningpt(v[0], v[1], v[2]); }, cmdCopy5, "cmdCopy5",
               &Command6, "Command6");
    calculator(millGrid, 2, 1, milling, "Medelspåntjocklek", 1718,
               {{&txtMedelspMPT, "txtMedelspMPT", "Matning per tand :", 1725, "(mm/tand)", 0},
                {&txtMedelspFD, "txtMedelspFD", "Fräsdiameter :", 1724, "(mm)", 0},
                {&txtMedelspSB, "txtMedelspSB", "Skärbredd (radiellt) :", 1729, "(mm)", 0}},
               {&txtMedelspMST, "txtMedelspMST", "Medelspåntj.:", 1728, "(mm)", 1735},
               [](const QStringList &v) { return MillCalcMedelsp(v[0], v[1], v[2]); }, CmdCopy6, "CmdCopy6",
               &Command7, "Command7");
    calculator(turnGrid, 0, 0, turning, "Varvtal", 1710,
               {{&txtSvVarvtalSH, "txtSvVarvtalSH", "Skärhastighet :", 1721, "(m/min)", 0},
                {&txtSvVarvtalAD, "txtSvVarvtalAD", "Arb.st. diameter :", 1707, "(mm)", 0}},
               {&txtSvVarvtalV, "txtSvVarvtalV", "Varvtal :", 1720, "(varv/min)", 1731},
               [](const QStringList &v) { return LatheCalcVarvtal(v[0], v[1]); }, CmdCopy7, "CmdCopy7");
    calculator(turnGrid, 0, 1, turning, "Skärhastighet", 1711,
               {{&txtSvSkarhV, "txtSvSkarhV", "Varvtal :", 1720, "(varv/min)", 0},
                {&txtSvSkarhAD, "txtSvSkarhAD", "Arb.st. diameter :", 1707, "(mm)", 0}},
               {&txtSvSkarhSH, "txtSvSkarhSH", "Skärhastighet :", 1721, "(m/min)", 1732},
               [](const QStringList &v) { return LatheCalcSkarh(v[0], v[1]); }, CmdCopy8, "CmdCopy8");
    calculator(turnGrid, 1, 0, turning, "Ytjämnhet", 1709,
               {{&txtSvYtjF, "txtSvYtjF", "Matning : ", 1726, "(mm/r)", 0},
                {&txtSvYtjNR, "txtSvYtjNR", "Vändskärets nosradie:", 1708, "(mm)", 0}},
               {&txtSvYtjYJ, "txtSvYtjYJ", "Ytjämnhet :", 1709, "(µm)", 1736},
               [](const QStringList &v) { return LatheCalcYtjamnhet(v[0], v[1]); }, CmdCopy9, "CmdCopy9");
    turnGrid->setRowStretch(2, 1);

    connect(Command3, &QPushButton::clicked, this, &frmSkardata::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmSkardata::Command4_Click);
    connect(Command6, &QPushButton::clicked, this, &frmSkardata::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &frmSkardata::Command7_Click);

    Command1 = new QPushButton(QStringLiteral("Stäng"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    setTag(Command1, 1740);
    Command2 = new QPushButton(QStringLiteral("Rensa"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    setTag(Command2, 1741);
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &frmSkardata::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmSkardata::Command2_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(SSTab1);
    lay->addLayout(buttons);

    SetLanguage(this);
}

void frmSkardata::Command1_Click()
{
    close();
}

void frmSkardata::Command2_Click()
{
    for (QLineEdit *e : boxes_)
        e->setText(QString());
}

void frmSkardata::Command3_Click()
{
    txtSkarhV->setText(txtVarvtalV->text());
    txtBordmV->setText(txtVarvtalV->text());
}

void frmSkardata::Command4_Click()
{
    txtVarvtalSH->setText(txtSkarhS->text());
}

void frmSkardata::Command6_Click()
{
    txtMatningpvMPT->setText(txtMatningptMPT->text());
    txtMedelspMPT->setText(txtMatningptMPT->text());
    txtBordmMPT->setText(txtMatningptMPT->text());
}

void frmSkardata::Command7_Click()
{
    txtMatningptMST->setText(txtMedelspMST->text());
}

void frmSkardata::copyResult(QLineEdit *result)
{
    QClipboard *clip = QApplication::clipboard();
    clip->clear();
    clip->setText(result->text());
}

}
