#include "documents/frmreplace.h"

#include "documents/findreplace.h"
#include "documents/host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace lumrik {

namespace {
QPointer<frmReplace> &theDialog()
{
    static QPointer<frmReplace> dlg;
    return dlg;
}

QComboBox *historyBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert); // the history is kept by OK
    box->setMinimumContentsLength(28);
    return box;
}
}

frmReplace *frmReplace::instance()
{
    auto &dlg = theDialog();
    if (!dlg)
        dlg = new frmReplace(documentHost() ? documentHost()->mainWidget() : nullptr);
    return dlg;
}

void frmReplace::unload() { delete theDialog().data(); }

frmReplace::frmReplace(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReplace"));
    setWindowTitle(QStringLiteral("Sök & Ersätt"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("&Sök"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    comboText = historyBox(this, "comboText");
    Label1->setBuddy(comboText);
    Label2 = new QLabel(QStringLiteral("&Ersätt med"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    comboNewText = historyBox(this, "comboNewText");
    Label2->setBuddy(comboNewText);

    fraOptions = new QGroupBox(QStringLiteral("Options"), this);
    fraOptions->setObjectName(QStringLiteral("fraOptions"));
    chkWholeWords = new QCheckBox(QStringLiteral("Avgränsade värden"), fraOptions);
    chkWholeWords->setObjectName(QStringLiteral("chkWholeWords"));
    auto *optionsLay = new QVBoxLayout(fraOptions);
    optionsLay->addWidget(chkWholeWords);
    optionsLay->addStretch();

    fraOrigin = new QGroupBox(QStringLiteral("Starta fr.o.m"), this);
    fraOrigin->setObjectName(QStringLiteral("fraOrigin"));
    optOrigin[0] = new QRadioButton(QStringLiteral("&Början"), fraOrigin);
    optOrigin[1] = new QRadioButton(QStringLiteral("&Markör"), fraOrigin);
    auto *originLay = new QVBoxLayout(fraOrigin);
    for (int i = 0; i < 2; ++i) {
        optOrigin[size_t(i)]->setObjectName(QStringLiteral("optOrigin_%1").arg(i));
        originLay->addWidget(optOrigin[size_t(i)]);
    }
    optOrigin[1]->setChecked(true);

    cmdOk = new QPushButton(QStringLiteral("&OK"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Avbryt"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    auto *texts = new QGridLayout;
    texts->addWidget(Label1, 0, 0);
    texts->addWidget(comboText, 0, 1);
    texts->addWidget(Label2, 1, 0);
    texts->addWidget(comboNewText, 1, 1);
    auto *below = new QHBoxLayout;
    below->addWidget(fraOptions, 1);
    below->addWidget(fraOrigin, 1);
    auto *left = new QVBoxLayout;
    left->addLayout(texts);
    left->addLayout(below);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    connect(comboText, &QComboBox::editTextChanged, this, [this] { comboText_Change(); });
    connect(comboText, &QComboBox::activated, this, [this] { comboText_Change(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    // Load.
    cmdOk->setEnabled(false);
}

void frmReplace::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) {
        comboText->setFocus();
        comboText->lineEdit()->selectAll();
    }
}

void frmReplace::comboText_Change() { cmdOk->setEnabled(!comboText->currentText().isEmpty()); }

void frmReplace::cmdOk_Click()
{
    const QString text = comboText->currentText();
    const QString newText = comboNewText->currentText();
    UpdateComboList(comboText, text);
    UpdateComboList(comboNewText, newText);
    hide();
    FindIt(text, chkWholeWords->isChecked() ? 1 : 0, false, optOrigin[0]->isChecked(), newText, true);
}

void frmReplace::cmdCancel_Click() { hide(); }

void frmReplace::reject() { cmdCancel_Click(); }

}
