#include "generators/frmbult.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/language.h"
#include "core/msgbox.h"
#include "core/progress.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumrik {

frmBult::frmBult(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBult"));
    setWindowTitle(QStringLiteral("Bultcirkel"));
    setTag(this, 500);
    setModal(true);

    Label6 = new QLabel(QStringLiteral("Typ av hålbild "), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    setTag(Label6, 501);
    const char *optionTexts[2] = {"Cirkel", "Arc"};
    const char *optionTips[2] = {"Hel cirkel", "Del av Cirkel"};
    auto *options = new QHBoxLayout;
    options->addWidget(Label6);
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(QString::fromLatin1(optionTexts[i]), this);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1[i]->setProperty("index", i);
        Option1[i]->setToolTip(QString::fromLatin1(optionTips[i]));
        setTag(Option1[i], 502 + i);
        options->addWidget(Option1[i]);
        connect(Option1[i], &QRadioButton::clicked, this, &frmBult::Option1_Click);
    }
    options->addStretch();
    Option1[0]->setChecked(true);

    auto *grid = new QGridLayout;
    int row = 0;
    auto box = [&](QLabel *&label, QLineEdit *&edit, const char *labelName, const char *boxName, const char *text,
                   int id, const char *tip) {
        label = new QLabel(QString::fromUtf8(text), this);
        label->setObjectName(QLatin1String(labelName));
        setTag(label, id);
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(boxName));
        edit->setToolTip(QString::fromUtf8(tip));
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    };
    box(Label1, txtCentrumX, "Label1", "txtCentrumX", "ABS Centrum X", 504, "Absolut cirkel centrum i X");
    box(Label2, txtCentrumY, "Label2", "txtCentrumY", "ABS Centrum Y", 505, "Absolut cirkel centrum i Y");
    box(Label3, txtRadie, "Label3", "txtRadie", "Radie R", 506, "Ange radien");
    box(Label4, txtVinkel, "Label4", "txtVinkel", "Vinkel första hål", 507, "Vinkeln till första hålet");
    box(Label5, txtAntal, "Label5", "txtAntal", "Antal hål", 508, "Antal hål");
    box(Label7, txtMellanVinkel, "Label7", "txtMellanVinkel", "Vinkel mellan hål", 509, "Vinkeln mellan hålen");
    filtered_ = {txtCentrumX, txtCentrumY, txtRadie, txtVinkel, txtAntal};

    cmdDoIt = new QPushButton(QStringLiteral("Beräkna"), this);
    cmdDoIt->setObjectName(QStringLiteral("cmdDoIt"));
    setTag(cmdDoIt, 511);
    cmdDoIt->setDefault(true);
    txtDisp = new QPlainTextEdit(this);
    txtDisp->setObjectName(QStringLiteral("txtDisp"));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    txtDisp->setFont(mono);
    txtDisp->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDisp->setEnabled(false);
    // Disabled, but its lines stay as readable as typed text.
    QPalette pal = txtDisp->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    txtDisp->setPalette(pal);
    cmdCopy = new QPushButton(QStringLiteral("&Kopiera"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    setTag(cmdCopy, 510);
    cmdCopy->setEnabled(false);
    cmdAborrt = new QPushButton(QStringLiteral("&Avbryt"), this);
    cmdAborrt->setObjectName(QStringLiteral("cmdAborrt"));
    setTag(cmdAborrt, 5);
    connect(cmdDoIt, &QPushButton::clicked, this, &frmBult::cmdDoIt_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmBult::cmdCopy_Click);
    connect(cmdAborrt, &QPushButton::clicked, this, &frmBult::cmdAborrt_Click);
    connect(txtDisp, &QPlainTextEdit::textChanged, this, &frmBult::txtDisp_Change);

    auto *left = new QVBoxLayout;
    left->addLayout(options);
    left->addLayout(grid);
    left->addWidget(cmdDoIt, 0, Qt::AlignRight);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(txtDisp, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdAborrt);
    right->addLayout(buttons);
    auto *lay = new QHBoxLayout(this);
    lay->addLayout(left);
    lay->addLayout(right, 1);
    resize(560, 300);

    setTabOrder(Option1[0], Option1[1]);
    QWidget *order[] = {Option1[1], txtCentrumX, txtCentrumY, txtRadie, txtVinkel, txtAntal, txtMellanVinkel,
                        cmdDoIt, cmdCopy, cmdAborrt};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    for (QLineEdit *e : filtered_)
        e->installEventFilter(this);

    SetLanguage(this);
    Option1_Click();
}

int frmBult::OnlyNumbers(int iKey)
{
    // "," as well as ".": the computation reads both as the decimal point.
    // Refused, a "," typed in "12,5" would leave 125 in the box, and a beep
    // goes unheard beside the machines.
    if (iKey == 8 || (iKey > 0 && iKey < 128 && QStringLiteral("+-.,0123456789").contains(QChar(iKey))))
        return iKey;
    RkBeep();
    return 0;
}

BultFields frmBult::fields() const
{
    BultFields f;
    f.centreX = txtCentrumX->text();
    f.centreY = txtCentrumY->text();
    f.radius = txtRadie->text();
    f.firstAngle = txtVinkel->text();
    f.count = txtAntal->text();
    f.between = txtMellanVinkel->text();
    f.arc = Option1[1]->isChecked();
    return f;
}

void frmBult::Option1_Click()
{
    const bool arc = Option1[1]->isChecked();
    txtMellanVinkel->setVisible(arc);
    Label7->setVisible(arc);
}

void frmBult::cmdDoIt_Click()
{
    RkGuard("cmdDoIt_Click()", [&] {
        BultResult r;
        {
            WaitCursor busy;
            r = ComputeBult(fields());
        }
        if (!r.ok) {
            RkMsgBox(r.message, MbButtons::Ok, MbIcon::Critical, RkText(514, QStringLiteral("Bultcirkel")), 0, this);
            return; // the result box keeps its text
        }
        result_ = r.text;
        txtDisp->setPlainText(QString(result_).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    });
}

void frmBult::txtDisp_Change()
{
    cmdCopy->setEnabled(result_.size() > 1);
}

void frmBult::cmdCopy_Click()
{
    RkGuard("cmdCopy_Click()", [&] {
        if (result_.size() <= 1)
            return;
        txtDisp->selectAll();
        QClipboard *clip = QApplication::clipboard();
        clip->clear();
        clip->setText(result_);
        RkMsgBox(RkText(512, QStringLiteral("Resultatet kopierat till klippbordet.")), MbButtons::Ok, MbIcon::None,
                 {}, 0, this);
        accept();
    });
}

void frmBult::cmdAborrt_Click()
{
    reject();
}

bool frmBult::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !filtered_.contains(qobject_cast<QLineEdit *>(watched)))
        return QDialog::eventFilter(watched, event);
    auto *e = static_cast<QKeyEvent *>(event);
    if (e->text().size() != 1 || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    const int typed = e->text().at(0).unicode();
    if (typed < 32 && typed != 8)
        return false; // Enter, Tab and Escape keep their meaning
    return OnlyNumbers(typed) == 0;
}

void frmBult::keyPressEvent(QKeyEvent *e)
{
    // The window has no cancel button: Escape does not close it and lose the entries.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

}
