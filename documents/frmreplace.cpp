#include "documents/frmreplace.h"

#include "documents/findreplace.h"
#include "documents/host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
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
    comboText = newHistoryCombo(this, QStringLiteral("comboText"));
    Label1->setBuddy(comboText);
    Label2 = new QLabel(QStringLiteral("&Ersätt med"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    comboNewText = newHistoryCombo(this, QStringLiteral("comboNewText"));
    Label2->setBuddy(comboNewText);

    const SearchDialogControls c = buildSearchDialog(this, QStringLiteral("cmdOk"));
    fraOptions = c.fraOptions;
    chkWholeWords = c.chkWholeWords;
    fraOrigin = c.fraOrigin;
    optOrigin = c.optOrigin;
    cmdOk = c.ok;
    cmdCancel = c.cancel;

    auto *texts = new QGridLayout;
    texts->addWidget(Label1, 0, 0);
    texts->addWidget(comboText, 0, 1);
    texts->addWidget(Label2, 1, 0);
    texts->addWidget(comboNewText, 1, 1);
    c.left->insertLayout(0, texts);

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
