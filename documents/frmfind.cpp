#include "documents/frmfind.h"

#include "core/sessionstate.h"
#include "documents/findreplace.h"
#include "documents/frmdocument.h"
#include "documents/host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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
    comboText = newHistoryCombo(fraSearch, QStringLiteral("comboText"));
    auto *searchLay = new QVBoxLayout(fraSearch);
    searchLay->addWidget(comboText);

    const SearchDialogControls c = buildSearchDialog(this, QStringLiteral("cmdFind"));
    fraOptions = c.fraOptions;
    chkWholeWords = c.chkWholeWords;
    fraOrigin = c.fraOrigin;
    optOrigin = c.optOrigin;
    cmdFind = c.ok;
    cmdCancel = c.cancel;
    c.left->insertWidget(0, fraSearch);

    connect(comboText, &QComboBox::editTextChanged, this, [this] { comboText_Change(); });
    connect(comboText, &QComboBox::activated, this, [this] { comboText_Change(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    // Load.
    cmdFind->setEnabled(false);
    programSession().search().change([](SearchValues &v) { v.findDirection = 1; });
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
    // The dialog stays open for the next search: the keys go to the search box
    // again, also after the "Kan ej hitta" message.
    if (isVisible()) {
        activateWindow();
        comboText->setFocus();
        comboText->lineEdit()->selectAll();
    }
}

void frmFind::cmdCancel_Click()
{
    const QString text = comboText->currentText();
    programSession().search().change([&](SearchValues &v) { v.findString = text; });
    hide();
}

void frmFind::reject() { cmdCancel_Click(); }

}
