#include "documents/frmfind.h"

#include "core/globals.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "documents/host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace lumrik {

namespace {
QPointer<frmFind> &theDialog()
{
    static QPointer<frmFind> dlg;
    return dlg;
}
}

frmFind *frmFind::instance()
{
    auto &dlg = theDialog();
    if (!dlg)
        dlg = new frmFind(documentHost() ? documentHost()->mainWidget() : nullptr);
    return dlg;
}

void frmFind::unload() { delete theDialog().data(); }

frmFind::frmFind(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Sök"));
    setModal(true);

    fraSearch = new QGroupBox(QStringLiteral("Sök"), this);
    fraSearch->setObjectName(QStringLiteral("fraSearch"));
    comboText = new QComboBox(fraSearch);
    comboText->setObjectName(QStringLiteral("comboText"));
    comboText->setEditable(true);
    comboText->setInsertPolicy(QComboBox::NoInsert); // the history is kept by OK
    comboText->setMinimumContentsLength(28);
    auto *searchLay = new QVBoxLayout(fraSearch);
    searchLay->addWidget(comboText);

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
    optOrigin[1]->setChecked(true); // OK then walks from match to match

    cmdFind = new QPushButton(QStringLiteral("&OK"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFind->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Avbryt"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdFind);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto *below = new QHBoxLayout;
    below->addWidget(fraOptions, 1);
    below->addWidget(fraOrigin, 1);
    auto *left = new QVBoxLayout;
    left->addWidget(fraSearch);
    left->addLayout(below);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    connect(comboText, &QComboBox::editTextChanged, this, [this] { comboText_Change(); });
    connect(comboText, &QComboBox::activated, this, [this] { comboText_Change(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    // Load.
    cmdFind->setEnabled(false);
    gFindDirection = 1;
}

void frmFind::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        Form_Activate();
}

void frmFind::Form_Activate()
{
    DocumentHost *host = documentHost();
    frmDocument *doc = host ? host->activeDocument() : nullptr;
    if (doc)
        comboText->setEditText(findProposal(doc->txtText));
    comboText_Change();
    comboText->setFocus();
    comboText->lineEdit()->selectAll();
}

void frmFind::comboText_Change() { cmdFind->setEnabled(!comboText->currentText().isEmpty()); }

void frmFind::cmdFind_Click()
{
    const QString text = comboText->currentText();
    UpdateComboList(comboText, text);
    FindIt(text, chkWholeWords->isChecked() ? 1 : 0, false, optOrigin[0]->isChecked(), QString(), false);
}

void frmFind::cmdCancel_Click()
{
    gFindString = comboText->currentText();
    hide();
}

void frmFind::reject() { cmdCancel_Click(); }

}
